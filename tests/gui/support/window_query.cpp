#include "support/window_query.h"

#include "support/file_bytes.h"

namespace gui_test {

std::string ClassNameOf(HWND window) {
    char name[256] = {};
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

// Wide messages, so that the text of a Unicode window comes back whole; the
// texts are UTF-8 on this side.
std::optional<std::string> TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length))
        return std::nullopt;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
        return std::nullopt;
    text.resize(copied);
    return Narrow(text);
}

bool SetTextOf(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    const std::wstring wide = Widen(text);
    return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
           result != 0;
}

LONG StyleOf(HWND window) { return GetWindowLongA(window, GWL_STYLE); }
LONG ExStyleOf(HWND window) { return GetWindowLongA(window, GWL_EXSTYLE); }

RECT RectIn(HWND window, HWND parent) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {

struct Collector {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    auto* collector = reinterpret_cast<Collector*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == collector->processId) collector->windows.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
    Collector collector{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&collector));
    return collector.windows;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::vector<HWND> DialogWindowsOf(DWORD processId, HWND owner) {
    std::vector<HWND> dialogs;
    for (HWND window : TopLevelWindowsOf(processId)) {
        if (ClassNameOf(window) == "#32770" && GetWindow(window, GW_OWNER) == owner)
            dialogs.push_back(window);
    }
    return dialogs;
}

bool Answers(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return condition();
        Sleep(pollMs);
    }
}

void PostKey(HWND window, WORD virtualKey) {
    UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
    LPARAM up = down | (1u << 30) | (1u << 31);
    PostMessageA(window, WM_KEYDOWN, virtualKey, down);
    PostMessageA(window, WM_KEYUP, virtualKey, up);
}

bool SendKeyChord(const std::vector<WORD>& virtualKeys) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD key, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    for (WORD key : virtualKeys) add(key, 0);
    for (auto it = virtualKeys.rbegin(); it != virtualKeys.rend(); ++it) add(*it, KEYEVENTF_KEYUP);
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

}  // namespace gui_test
