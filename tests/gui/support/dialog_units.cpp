#include "support/dialog_units.h"

#include <cstring>
#include <vector>

namespace gui_test {

namespace {

INT_PTR CALLBACK ProbeProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A DLGTEMPLATE with no controls and the font of the program's main dialog.
std::vector<WORD> ProbeTemplate() {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE header{};
    header.style = WS_POPUP | DS_SETFONT;
    header.cx = 100;
    header.cy = 100;
    std::memcpy(words.data(), &header, sizeof header);
    words.push_back(0);  // no menu
    words.push_back(0);  // the standard dialog class
    words.push_back(0);  // no title
    words.push_back(8);  // point size
    for (const wchar_t* face = L"MS Sans Serif"; *face; ++face) words.push_back(*face);
    words.push_back(0);
    return words;
}

}  // namespace

PixelBox DialogUnitsToPixels(int x, int y, int width, int height) {
    RECT rect{x, y, width, height};
    std::vector<WORD> words = ProbeTemplate();
    HWND probe = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                            reinterpret_cast<LPCDLGTEMPLATEA>(words.data()),
                                            nullptr, ProbeProc, 0);
    if (!probe) return PixelBox{-1, -1, -1, -1};
    MapDialogRect(probe, &rect);
    DestroyWindow(probe);
    return PixelBox{rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace gui_test
