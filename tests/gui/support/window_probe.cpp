#include "support/window_probe.h"

#include "support/test_environment.h"
#include "support/window_query.h"

namespace gui_test {

WindowProbe::WindowProbe(HWND window) : window_(window) {
    std::string name = QUILLBAR_PROBE_BLOCK_PREFIX + std::to_string(GetCurrentProcessId());
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(ProbeReport), name.c_str());
    if (!mapping_) {
        error_ = "CreateFileMapping failed: " + std::to_string(GetLastError());
        return;
    }
    report_ = static_cast<ProbeReport*>(
        MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(ProbeReport)));
    dll_ = LoadLibraryA(ProbeHookDll().c_str());
    if (!dll_) {
        error_ = "cannot load " + ProbeHookDll();
        return;
    }
    auto procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "ProbeCallWndProc")));
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    hook_ = procedure ? SetWindowsHookExA(WH_CALLWNDPROC, procedure, dll_, thread) : nullptr;
    if (!hook_) error_ = "cannot hook the program's thread: " + std::to_string(GetLastError());
}

WindowProbe::~WindowProbe() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (dll_) FreeLibrary(dll_);
    if (report_) UnmapViewOfFile(report_);
    if (mapping_) CloseHandle(mapping_);
}

std::optional<ProbeReport> WindowProbe::Ask() {
    if (!Ready()) return std::nullopt;
    *report_ = ProbeReport{};
    MemoryBarrier();
    DWORD_PTR ignored = 0;
    UINT message = RegisterWindowMessageA(QUILLBAR_PROBE_MESSAGE_NAME);
    // The hook runs before the window sees the message, on its own thread.
    if (!SendMessageTimeoutA(window_, message, GetCurrentProcessId(), 0, SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &ignored))
        return std::nullopt;
    MemoryBarrier();
    if (!report_->answered) return std::nullopt;
    return *report_;
}

}  // namespace gui_test
