// A program started by a test: never outlives the test that started it.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace gui_test {

class ChildProcess {
public:
    // Starts `exe` with the current folder `folder`; `extraEnvironment` adds
    // variables to (or replaces them in) this process's environment.
    ChildProcess(const std::string& exe, const std::string& folder,
                 const std::map<std::string, std::string>& extraEnvironment = {});
    ~ChildProcess();  // kills the program if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    const std::string& StartError() const { return startError_; }
    DWORD Id() const { return id_; }
    DWORD ThreadId() const { return threadId_; }
    bool IsRunning() const;
    // True when the program ended within the time; otherwise it still runs.
    bool WaitForExit(DWORD timeoutMs);
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    DWORD threadId_ = 0;
    std::string startError_;
};

}  // namespace gui_test
