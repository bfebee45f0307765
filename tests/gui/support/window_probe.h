// Questions about a window that Wine will not carry between processes
// (WM_GETICON, WM_QUERYDRAGICON), asked inside the program through a hook.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

extern "C" {
#include "probe_hook/probe_report.h"
}

namespace gui_test {

// Installs the probe hook on the thread of `window` for its lifetime.
class WindowProbe {
public:
    explicit WindowProbe(HWND window);
    ~WindowProbe();
    WindowProbe(const WindowProbe&) = delete;
    WindowProbe& operator=(const WindowProbe&) = delete;

    bool Ready() const { return hook_ && report_; }
    const std::string& Error() const { return error_; }
    // Asks the window; nothing when the program did not answer in time.
    std::optional<ProbeReport> Ask();

private:
    HWND window_;
    HMODULE dll_ = nullptr;
    HHOOK hook_ = nullptr;
    HANDLE mapping_ = nullptr;
    ProbeReport* report_ = nullptr;
    std::string error_;
};

}  // namespace gui_test
