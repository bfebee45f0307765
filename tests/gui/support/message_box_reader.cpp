#include "support/message_box_reader.h"

#include "support/window_query.h"

namespace gui_test {

namespace {

bool IsIconStatic(HWND control) {
    return ClassNameOf(control) == "Static" && (StyleOf(control) & SS_TYPEMASK) == SS_ICON;
}

// The icon as it appears on the screen, judged by its most saturated pixels:
// the system's exclamation icon is yellow, the error icon red, the
// information and question icons blue.
std::string JudgeIconKind(HWND iconControl) {
    RECT rect{};
    GetWindowRect(iconControl, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || width > 256 || height > 256) return "";
    HDC screen = GetDC(nullptr);
    long yellow = 0, red = 0, blue = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            COLORREF colour = GetPixel(screen, rect.left + x, rect.top + y);
            if (colour == CLR_INVALID) continue;
            int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
            if (r > 160 && g > 160 && b < 100)
                ++yellow;
            else if (r > 160 && g < 100 && b < 100)
                ++red;
            else if (b > 160 && r < 100)
                ++blue;
        }
    }
    ReleaseDC(nullptr, screen);
    long enough = width * height / 20;
    if (yellow >= enough && yellow > red && yellow > blue) return "exclamation";
    if (red >= enough && red > blue) return "error";
    if (blue >= enough) return "information";
    return "";
}

}  // namespace

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.owner = GetWindow(box, GW_OWNER);
    info.caption = TextOf(box).value_or("<no answer>");
    for (HWND child : ChildrenOf(box)) {
        bool visible = (StyleOf(child) & WS_VISIBLE) != 0;
        int id = GetDlgCtrlID(child);
        std::string className = ClassNameOf(child);
        if (id == 0xFFFF && className == "Static") {
            info.text = TextOf(child).value_or("<no answer>");
        } else if (IsIconStatic(child)) {
            DWORD_PTR icon = 0;
            SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &icon);
            if (visible && icon != 0) {
                info.hasIcon = true;
                // The box may not have painted itself yet.
                WaitUntil([&] { return !(info.iconKind = JudgeIconKind(child)).empty(); }, 3000,
                          100);
            }
        } else if (visible && className == "Button") {
            info.buttonIds.push_back(id);
            info.buttonTexts.push_back(TextOf(child).value_or("<no answer>"));
        }
    }
    return info;
}

bool PressOk(HWND box, DWORD timeoutMs) {
    HWND ok = GetDlgItem(box, IDOK);
    if (ok)
        PostMessageA(ok, BM_CLICK, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitUntil([box] { return !IsWindow(box); }, timeoutMs);
}

}  // namespace gui_test
