// The main dialog as it opens: window, controls, focus and place.
#include <windows.h>
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "support/dialog_units.h"
#include "support/quillbar_session.h"
#include "support/running_dialog_test.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;  // nullptr: checked by its own test (the banner)
    int x, y, width, height;
    LONG furtherStyles;
};

// The template, in template order (which is also the Z order and tab order).
const ExpectedControl kControls[] = {
    {IDOK, "Button", "Quit", 228, 5, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {1000, "Button", "Help", 281, 5, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {1002, "Button", "Convert", 228, 19, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {-1, "Static", "CSV Input File:", 5, 8, 48, 8, SS_LEFT | WS_GROUP},
    {-1, "Static", "HTML Output File:", 6, 22, 59, 8, SS_LEFT | WS_GROUP},
    {1003, "Edit", "", 70, 5, 120, 14, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {1004, "Edit", "", 70, 19, 120, 14, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {1005, "Button", "Browse", 190, 5, 32, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {1006, "Button", "Browse", 190, 19, 32, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {1045, "Static", nullptr, 6, 39, 276, 8, SS_LEFT | WS_GROUP},
};
constexpr int kBannerIndex = 9;

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

class StartState : public RunningDialogTest {
protected:
};

TEST_F(StartState, TitleIsTheProductAndTheMakersAddress) {
    EXPECT_EQ(TextOf(session_.Dialog()).value_or("<no answer>"), ExpectedTitle());
}

TEST_F(StartState, WindowHasCaptionSystemMenuAndTaskbarButtonButNoSizing) {
    LONG style = StyleOf(session_.Dialog());
    const LONG required = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(style & required, required) << std::hex << style;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0)
        << std::hex << style;
    EXPECT_NE(ExStyleOf(session_.Dialog()) & WS_EX_APPWINDOW, 0)
        << std::hex << ExStyleOf(session_.Dialog());
    EXPECT_EQ(GetWindow(session_.Dialog(), GW_OWNER), nullptr);
    EXPECT_EQ(GetMenu(session_.Dialog()), nullptr);
}

TEST_F(StartState, ClientAreaIsTheTemplateSize) {
    PixelBox expected = DialogUnitsToPixels(0, 0, 338, 51);
    RECT client{};
    ASSERT_TRUE(GetClientRect(session_.Dialog(), &client));
    EXPECT_EQ(client.right - client.left, expected.width);
    EXPECT_EQ(client.bottom - client.top, expected.height);
}

TEST_F(StartState, DialogIsCentredInTheWorkArea) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    RECT window{};
    ASSERT_TRUE(GetWindowRect(session_.Dialog(), &window));
    // Halving may round either way: one pixel of leeway on each axis.
    int horizontalSlack = (window.left - work.left) - (work.right - window.right);
    int verticalSlack = (window.top - work.top) - (work.bottom - window.bottom);
    EXPECT_LE(std::abs(horizontalSlack), 1)
        << "window " << window.left << "," << window.top << "-" << window.right << ","
        << window.bottom << " in work area " << work.left << "," << work.top << "-" << work.right
        << "," << work.bottom;
    EXPECT_LE(std::abs(verticalSlack), 1)
        << "window " << window.left << "," << window.top << "-" << window.right << ","
        << window.bottom << " in work area " << work.left << "," << work.top << "-" << work.right
        << "," << work.bottom;
}

TEST_F(StartState, EveryControlIsInTemplateOrderWithItsIdClassTextStyleAndPlace) {
    std::vector<HWND> children = ChildrenOf(session_.Dialog());
    ASSERT_EQ(children.size(), std::size(kControls));
    for (size_t i = 0; i < children.size(); ++i) {
        const ExpectedControl& expected = kControls[i];
        HWND control = children[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1) + " (id " + std::to_string(expected.id) +
                     ")");
        EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(control)), static_cast<WORD>(expected.id));
        std::string className = ClassNameOf(control);
        EXPECT_TRUE(SameIgnoringCase(className, expected.className)) << className;
        if (expected.text) {
            EXPECT_EQ(TextOf(control).value_or("<no answer>"), expected.text);
        }
        LONG style = StyleOf(control);
        LONG exStyle = ExStyleOf(control);
        // An edit control draws its border itself: it may trade WS_BORDER
        // for the sunken WS_EX_CLIENTEDGE when it is created.
        LONG allowedExStyle = WS_EX_NOPARENTNOTIFY;  // added to every dialog control
        if (className == "Edit" && (expected.furtherStyles & WS_BORDER) && !(style & WS_BORDER) &&
            (exStyle & WS_EX_CLIENTEDGE)) {
            style |= WS_BORDER;
            allowedExStyle |= WS_EX_CLIENTEDGE;
        }
        EXPECT_EQ(style, WS_CHILD | WS_VISIBLE | expected.furtherStyles)
            << std::hex << "actual 0x" << StyleOf(control) << ", expected 0x"
            << (WS_CHILD | WS_VISIBLE | expected.furtherStyles);
        EXPECT_EQ(exStyle & ~allowedExStyle, 0) << std::hex << "extended style 0x" << exStyle;
        EXPECT_EQ(GetWindowContextHelpId(control), 0u);
        PixelBox place =
            DialogUnitsToPixels(expected.x, expected.y, expected.width, expected.height);
        RECT actual = RectIn(control, session_.Dialog());
        EXPECT_EQ(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        EXPECT_EQ(actual.right - actual.left, place.width);
        EXPECT_EQ(actual.bottom - actual.top, place.height);
    }
}

TEST_F(StartState, BannerNamesTheVersionAndCarriesACopyrightNotice) {
    std::string banner = session_.Text(kControls[kBannerIndex].id);
    const std::string version = "Quillbar v1.01";
    ASSERT_EQ(banner.substr(0, version.size()), version) << banner;
    EXPECT_GT(banner.size(), version.size() + 1) << "no notice after the version: " << banner;
    EXPECT_EQ(banner[version.size()], ' ') << banner;
}

TEST_F(StartState, BothPathBoxesAreEmpty) {
    EXPECT_EQ(session_.Text(1003), "");
    EXPECT_EQ(session_.Text(1004), "");
}

TEST_F(StartState, FocusIsOnQuitWhichIsTheDefaultButton) {
    ASSERT_TRUE(session_.WaitForFocus(IDOK))
        << "focus is on control id " << GetDlgCtrlID(session_.FocusedControl());
    DWORD_PTR defaultId = 0;
    ASSERT_TRUE(SendMessageTimeoutA(session_.Dialog(), DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG,
                                    kSendTimeoutMs, &defaultId));
    EXPECT_EQ(HIWORD(defaultId), DC_HASDEFID);
    EXPECT_EQ(LOWORD(defaultId), IDOK);
}

TEST_F(StartState, NoOtherWindowIsOpen) {
    for (HWND window : TopLevelWindowsOf(session_.Process().Id())) {
        if (window == session_.Dialog() || !IsWindowVisible(window)) continue;
        ADD_FAILURE() << "unexpected visible window of class " << ClassNameOf(window) << ": "
                      << TextOf(window).value_or("<no answer>");
    }
}

TEST(SecondInstance, RunsBesideTheFirstIndependently) {
    TempFolder firstFolder, secondFolder;
    QuillbarSession first(firstFolder), second(secondFolder);
    HWND firstDialog = first.WaitForDialog(kStartTimeoutMs);
    HWND secondDialog = second.WaitForDialog(kStartTimeoutMs);
    ASSERT_NE(firstDialog, nullptr);
    ASSERT_NE(secondDialog, nullptr);
    EXPECT_NE(firstDialog, secondDialog);
    PostMessageA(firstDialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(first.WaitForExit(kExitTimeoutMs));
    EXPECT_TRUE(second.Process().IsRunning()) << "closing one instance ended the other";
    EXPECT_TRUE(Answers(secondDialog));
    PostMessageA(secondDialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(second.WaitForExit(kExitTimeoutMs));
}

}  // namespace
}  // namespace gui_test
