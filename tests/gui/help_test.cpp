// Help and F1 hand the help page's URL to the shell. Wine passes it on to the
// browser that run-gui-tests.sh installs: a script that records its arguments.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/main_dialog.h"
#include "support/quillbar_session.h"
#include "support/running_dialog_test.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

// Launching the browser goes through a second Wine process.
constexpr unsigned long kBrowserTimeoutMs = 20000;

std::vector<std::string> RecordedUrls() {
    std::vector<std::string> lines;
    std::string text = ReadFileBytes(BrowserLog()).value_or("");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

class Help : public RunningDialogTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(BrowserLog().empty())
            << "QUILLBAR_BROWSER_LOG is not set: run these tests through run-gui-tests.sh";
        DeleteFileA(BrowserLog().c_str());
        ASSERT_FALSE(PathExists(BrowserLog())) << "cannot clear " << BrowserLog();
        RunningDialogTest::SetUp();
    }

    // The browser was started once, with the help page and nothing else, and
    // the program showed no message and goes on.
    void ExpectHelpPageOpenedOnce() {
        EXPECT_TRUE(WaitUntil([] { return !RecordedUrls().empty(); }, kBrowserTimeoutMs))
            << "no browser was started";
        // A second launch would come about as fast as the first.
        Sleep(kSettleMs);
        EXPECT_EQ(RecordedUrls(), std::vector<std::string>{ExpectedHelpUrl()});
        EXPECT_TRUE(session_.CollectMessages(0).empty());
        EXPECT_TRUE(session_.Process().IsRunning());
        EXPECT_TRUE(Answers(session_.Dialog()));
    }
};

TEST_F(Help, ButtonOpensTheHelpPageAndKeepsTheTypedPaths) {
    ASSERT_TRUE(session_.Type(kInputPath, "C:\\data\\in.csv"));
    ASSERT_TRUE(session_.Type(kOutputPath, "out.html"));
    session_.Click(kHelpButton);
    ExpectHelpPageOpenedOnce();
    // Help writes the paths back into the boxes: had it not read them first,
    // the boxes would now be empty again.
    EXPECT_EQ(session_.Text(kInputPath), "C:\\data\\in.csv");
    EXPECT_EQ(session_.Text(kOutputPath), "out.html");
    EXPECT_FALSE(PathExists(folder_.File("out.html")));
}

TEST_F(Help, F1OnTheFocusedButtonOpensTheHelpPage) {
    ASSERT_TRUE(session_.WaitForFocus(IDOK));
    PostKey(session_.Control(IDOK), VK_F1);
    ExpectHelpPageOpenedOnce();
}

TEST_F(Help, F1InAnEditBoxOpensTheHelpPageAndKeepsItsText) {
    ASSERT_TRUE(session_.Type(kInputPath, "typed.csv"));
    ASSERT_TRUE(session_.Focus(kInputPath));
    PostKey(session_.Control(kInputPath), VK_F1);
    ExpectHelpPageOpenedOnce();
    EXPECT_EQ(session_.Text(kInputPath), "typed.csv");
}

TEST_F(Help, EnterOnTheFocusedHelpButtonOpensTheHelpPage) {
    ASSERT_TRUE(session_.Focus(kHelpButton));
    PostKey(session_.Control(kHelpButton), VK_RETURN);
    ExpectHelpPageOpenedOnce();
}

TEST_F(Help, F1HeldDownOpensTheHelpPageOnce) {
    HWND quit = session_.Control(IDOK);
    UINT scanCode = MapVirtualKeyA(VK_F1, MAPVK_VK_TO_VSC);
    LPARAM firstDown = 1 | (static_cast<LPARAM>(scanCode) << 16);
    LPARAM repeat = firstDown | (1 << 30);  // the key was already down
    PostMessageA(quit, WM_KEYDOWN, VK_F1, firstDown);
    for (int i = 0; i < 3; ++i) PostMessageA(quit, WM_KEYDOWN, VK_F1, repeat);
    PostMessageA(quit, WM_KEYUP, VK_F1, repeat | (1u << 31));
    ExpectHelpPageOpenedOnce();
}

TEST_F(Help, F1FromTheKeyboardOpensTheHelpPage) {
    ASSERT_TRUE(
        WaitUntil([&] { return GetForegroundWindow() == session_.Dialog(); }, kMessageTimeoutMs))
        << "the dialog is not the foreground window";
    ASSERT_TRUE(SendKeyChord({VK_F1}));
    ExpectHelpPageOpenedOnce();
}

class ModifiedF1 : public Help, public ::testing::WithParamInterface<WORD> {};

TEST_P(ModifiedF1, DoesNotOpenTheHelpPage) {
    ASSERT_TRUE(
        WaitUntil([&] { return GetForegroundWindow() == session_.Dialog(); }, kMessageTimeoutMs))
        << "the dialog is not the foreground window";
    ASSERT_TRUE(SendKeyChord({GetParam(), VK_F1}));
    // Long enough for a browser to have been started by a plain F1.
    Sleep(4000);
    EXPECT_EQ(RecordedUrls(), std::vector<std::string>{});
    EXPECT_TRUE(session_.CollectMessages(0).empty());
    EXPECT_TRUE(session_.Process().IsRunning());
    // The keyboard still reaches the dialog: a plain F1 now works.
    ASSERT_TRUE(SendKeyChord({VK_F1}));
    ExpectHelpPageOpenedOnce();
}

INSTANTIATE_TEST_SUITE_P(Keys, ModifiedF1, ::testing::Values(VK_SHIFT, VK_CONTROL),
                         [](const auto& info) {
                             return std::string(info.param == VK_SHIFT ? "Shift" : "Ctrl");
                         });

}  // namespace
}  // namespace gui_test
