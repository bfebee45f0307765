// What a message box of another process shows, and how to close it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gui_test {

struct MessageBoxInfo {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    // A visible icon control (SS_ICON static) that holds an icon.
    bool hasIcon = false;
    // The icon's colour family, judged from the screen: "exclamation"
    // (yellow), "error" (red), "information" (blue), or "" when unknown.
    std::string iconKind;
    // The visible push buttons, in Z order.
    std::vector<int> buttonIds;
    std::vector<std::string> buttonTexts;
};

MessageBoxInfo ReadMessageBox(HWND box);
// Presses the box's OK button. True when the box is gone within the time.
bool PressOk(HWND box, DWORD timeoutMs = 5000);

}  // namespace gui_test
