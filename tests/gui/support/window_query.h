// Reading and waiting on the windows of another process. Every call that
// sends a message to the other process has a time limit, so a hung program
// makes a test fail instead of hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gui_test {

constexpr DWORD kSendTimeoutMs = 3000;

std::string ClassNameOf(HWND window);
// The window's text (UTF-8) as the window itself reports it (WM_GETTEXT), or nothing
// when the window does not answer in time.
std::optional<std::string> TextOf(HWND window);
bool SetTextOf(HWND window, const std::string& text);
LONG StyleOf(HWND window);
LONG ExStyleOf(HWND window);
// The window's rectangle relative to the client area of `parent`.
RECT RectIn(HWND window, HWND parent);

// The top-level windows of a process, visible or not.
std::vector<HWND> TopLevelWindowsOf(DWORD processId);
// The direct children of a window, in Z order (for dialogs: template order).
std::vector<HWND> ChildrenOf(HWND parent);
// Top-level dialog-class windows ("#32770") of the process whose owner is
// `owner` (nullptr: windows with no owner).
std::vector<HWND> DialogWindowsOf(DWORD processId, HWND owner);

// True when the window's thread answers a message within the time.
bool Answers(HWND window, DWORD timeoutMs = kSendTimeoutMs);

// Polls `condition` until it holds or the time is up; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

// Posts a key press (down and up) to a window, as the keyboard would.
void PostKey(HWND window, WORD virtualKey);
// Presses the keys in order and releases them in reverse order through the
// system's input queue: they go to the foreground window, and the receiving
// thread's key state (Shift, Ctrl) follows them.
bool SendKeyChord(const std::vector<WORD>& virtualKeys);

}  // namespace gui_test
