// The About entry of the system menu and the About box it opens.
#include <windows.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/dialog_units.h"
#include "support/quillbar_session.h"
#include "support/running_dialog_test.h"
#include "support/window_probe.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

constexpr WPARAM kAboutCommand = 16;
const char kAboutTitle[] = "About Quillbar";

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

class AboutBox : public RunningDialogTest {
protected:
    // Sends a system command to the main dialog and waits for the About box
    // it opens; null when none appears.
    HWND OpenWith(WPARAM command) {
        PostMessageA(session_.Dialog(), WM_SYSCOMMAND, command, 0);
        return WaitForAboutBox(kMessageTimeoutMs);
    }

    HWND WaitForAboutBox(DWORD timeoutMs) {
        HWND about = nullptr;
        WaitUntil(
            [&] {
                for (HWND window : DialogWindowsOf(session_.Process().Id(), session_.Dialog())) {
                    if (IsWindowVisible(window) && TextOf(window).value_or("") == kAboutTitle) {
                        about = window;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return about;
    }

    HWND FocusedWindow() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(session_.Dialog(), nullptr), &info))
            return nullptr;
        return info.hwndFocus;
    }

    // The box is gone and the main dialog takes input again.
    void ExpectClosed(HWND about) {
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, kMessageTimeoutMs))
            << "the About box stays open";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(session_.Dialog()) != FALSE; },
                              kMessageTimeoutMs))
            << "the main dialog stays disabled";
        EXPECT_TRUE(session_.Process().IsRunning()) << "closing the About box ended the program";
    }
};

TEST_F(AboutBox, SystemMenuEndsWithASeparatorAndTheAboutEntry) {
    WindowProbe probe(session_.Dialog());
    ASSERT_TRUE(probe.Ready()) << probe.Error();
    std::optional<ProbeReport> report = probe.Ask();
    ASSERT_TRUE(report) << "the program did not answer";
    ASSERT_GE(report->systemMenuItems, 3);
    // Appended after the system's own items (commands from 0xF000 up).
    EXPECT_GE(report->lastMenuItems[0].id, 0xF000u);
    EXPECT_EQ(report->lastMenuItems[1].separator, 1);
    EXPECT_EQ(report->lastMenuItems[2].separator, 0);
    EXPECT_EQ(report->lastMenuItems[2].id, kAboutCommand);
    EXPECT_STREQ(report->lastMenuItems[2].text, "&About Quillbar...");
}

// The low four bits of a system command are the system's: 16 to 31 all mean
// About. Each opening is a fresh box, centred over the main dialog.
TEST_F(AboutBox, EveryAboutCommandOpensTheBoxCentredOverTheDisabledDialog) {
    for (WPARAM command : {kAboutCommand, kAboutCommand + 5, kAboutCommand + 15}) {
        SCOPED_TRACE("system command " + std::to_string(command));
        HWND about = OpenWith(command);
        ASSERT_NE(about, nullptr) << "no About box appeared";
        EXPECT_EQ(GetWindow(about, GW_OWNER), session_.Dialog());
        EXPECT_FALSE(IsWindowEnabled(session_.Dialog()));
        EXPECT_TRUE(WaitUntil([&] { return FocusedWindow() == GetDlgItem(about, IDOK); },
                              kMessageTimeoutMs))
            << "the focus is not on OK";

        RECT owner{}, box{};
        GetWindowRect(session_.Dialog(), &owner);
        GetWindowRect(about, &box);
        EXPECT_EQ(box.left, (owner.left + owner.right) / 2 - Width(box) / 2);
        EXPECT_EQ(box.top, (owner.top + owner.bottom) / 2 - Height(box) / 2);

        PostKey(GetDlgItem(about, IDOK), VK_RETURN);
        ExpectClosed(about);
    }
}

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;  // nullptr: the icon, checked apart
    int x, y, width, height;
    LONG styles;  // besides WS_CHILD and WS_VISIBLE
};

const ExpectedControl kAboutControls[] = {
    {-1, "Static", nullptr, 11, 17, 20, 20, SS_ICON},
    {-1, "Static", "Quillbar Version 1.0", 40, 10, 119, 8, SS_LEFT | SS_NOPREFIX | WS_GROUP},
    {IDOK, "Button", "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
};

TEST_F(AboutBox, ShowsItsTemplate) {
    HWND about = OpenWith(kAboutCommand);
    ASSERT_NE(about, nullptr) << "no About box appeared";

    const LONG style = StyleOf(about);
    const LONG required =
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    EXPECT_EQ(style & required, required) << std::hex << style;
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD), 0)
        << std::hex << style;
    RECT client{};
    ASSERT_TRUE(GetClientRect(about, &client));
    const PixelBox size = DialogUnitsToPixels(0, 0, 235, 55);
    EXPECT_EQ(Width(client), size.width);
    EXPECT_EQ(Height(client), size.height);

    const std::vector<HWND> controls = ChildrenOf(about);
    ASSERT_EQ(controls.size(), std::size(kAboutControls));
    for (size_t i = 0; i < controls.size(); ++i) {
        const ExpectedControl& expected = kAboutControls[i];
        HWND control = controls[i];
        SCOPED_TRACE("control " + std::to_string(i));
        // Identifiers are words: the template's -1 reads back as 0xFFFF.
        EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(control)), static_cast<WORD>(expected.id));
        EXPECT_EQ(ClassNameOf(control), expected.className);
        EXPECT_EQ(StyleOf(control), WS_CHILD | WS_VISIBLE | expected.styles)
            << std::hex << StyleOf(control);
        EXPECT_EQ(ExStyleOf(control) & ~WS_EX_NOPARENTNOTIFY, 0) << std::hex << ExStyleOf(control);

        const PixelBox place =
            DialogUnitsToPixels(expected.x, expected.y, expected.width, expected.height);
        const RECT actual = RectIn(control, about);
        EXPECT_EQ(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        if (expected.text) {
            EXPECT_EQ(TextOf(control).value_or("<no answer>"), expected.text);
            EXPECT_EQ(Width(actual), place.width);
            EXPECT_EQ(Height(actual), place.height);
        } else {
            // The icon control takes the size of the icon it shows.
            DWORD_PTR icon = 0;
            EXPECT_TRUE(SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG,
                                            kSendTimeoutMs, &icon));
            EXPECT_NE(icon, 0u) << "the icon control shows no icon";
            EXPECT_EQ(Width(actual), GetSystemMetrics(SM_CXICON));
            EXPECT_EQ(Height(actual), GetSystemMetrics(SM_CYICON));
        }
    }

    PostKey(GetDlgItem(about, IDOK), VK_ESCAPE);
    ExpectClosed(about);
}

struct CloseWay {
    const char* name;
    void (*perform)(HWND about);
};

const CloseWay kCloseWays[] = {
    {"OK button", [](HWND about) { PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0); }},
    {"Enter", [](HWND about) { PostKey(GetDlgItem(about, IDOK), VK_RETURN); }},
    {"Escape", [](HWND about) { PostKey(GetDlgItem(about, IDOK), VK_ESCAPE); }},
    // What the close box and Alt+F4 send.
    {"close box", [](HWND about) { PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); }},
};

// One program, the box opened and closed again and again.
TEST_F(AboutBox, ClosesEveryWayAndOpensAgainAfresh) {
    for (const CloseWay& way : kCloseWays) {
        SCOPED_TRACE(way.name);
        HWND about = OpenWith(kAboutCommand);
        ASSERT_NE(about, nullptr) << "no About box appeared";
        EXPECT_TRUE(WaitUntil([&] { return FocusedWindow() == GetDlgItem(about, IDOK); },
                              kMessageTimeoutMs))
            << "the focus is not on OK";
        way.perform(about);
        ExpectClosed(about);
    }
}

TEST_F(AboutBox, OtherSystemCommandsKeepTheirUsualMeaning) {
    // Move enters the system's move loop; Escape leaves it where it was.
    auto moving = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(session_.Dialog(), nullptr), &info) &&
               (info.flags & GUI_INMOVESIZE) != 0 && info.hwndMoveSize == session_.Dialog();
    };
    RECT before{};
    GetWindowRect(session_.Dialog(), &before);
    PostMessageA(session_.Dialog(), WM_SYSCOMMAND, SC_MOVE, 0);
    EXPECT_TRUE(WaitUntil(moving, kMessageTimeoutMs)) << "Move did not start moving the window";
    // The move loop reads the keys from its thread's queue.
    PostKey(session_.Dialog(), VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !moving(); }, kMessageTimeoutMs))
        << "Escape did not end the move";
    RECT after{};
    GetWindowRect(session_.Dialog(), &after);
    EXPECT_TRUE(EqualRect(&before, &after)) << "Escape left the window moved";
    EXPECT_EQ(WaitForAboutBox(kSettleMs), nullptr)
        << "a system command other than About opened the box";

    // Close ends the program (the fixture's own cancel then finds it gone).
    PostMessageA(session_.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(session_.WaitForExit(kExitTimeoutMs)) << "Close did not end the program";
}

}  // namespace
}  // namespace gui_test
