#include "support/child_process.h"

#include <cstring>
#include <vector>

namespace gui_test {

namespace {

// This process's environment with the given variables added or replaced, as
// a block for CreateProcessA.
std::vector<char> EnvironmentBlock(const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> variables;
    char* strings = GetEnvironmentStringsA();
    for (const char* entry = strings; entry && *entry; entry += strlen(entry) + 1) {
        std::string text = entry;
        // Names of drive folders ("=C:") start with '=': keep them whole.
        size_t equals = text.find('=', 1);
        if (equals == std::string::npos) continue;
        variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    if (strings) FreeEnvironmentStringsA(strings);
    for (const auto& [name, value] : extra) {
        // Windows names ignore case: drop any spelling of the same name first.
        for (auto it = variables.begin(); it != variables.end();) {
            if (_stricmp(it->first.c_str(), name.c_str()) == 0)
                it = variables.erase(it);
            else
                ++it;
        }
        variables[name] = value;
    }
    std::vector<char> block;
    for (const auto& [name, value] : variables) {
        std::string entry = name + "=" + value;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& exe, const std::string& folder,
                           const std::map<std::string, std::string>& extraEnvironment) {
    std::string commandLine = "\"" + exe + "\"";
    std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back('\0');
    std::vector<char> environment;
    if (!extraEnvironment.empty()) environment = EnvironmentBlock(extraEnvironment);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE, 0,
                        environment.empty() ? nullptr : environment.data(), folder.c_str(),
                        &startup, &info)) {
        startError_ =
            "CreateProcess(" + exe + ") failed with error " + std::to_string(GetLastError());
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
}

ChildProcess::~ChildProcess() {
    if (!process_) return;
    if (IsRunning()) Kill();
    CloseHandle(process_);
}

bool ChildProcess::IsRunning() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

void ChildProcess::Kill() {
    if (!process_) return;
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
}

}  // namespace gui_test
