// Every way of closing the main dialog ends the program, silently.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "support/main_dialog.h"
#include "support/quillbar_session.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

struct CloseAction {
    const char* name;
    void (*perform)(QuillbarSession& session);
};

void KeyInEditBox(QuillbarSession& session, int id, WORD key) {
    ASSERT_TRUE(session.Type(id, "typed.csv"));
    ASSERT_TRUE(session.Focus(id)) << "could not move the focus to control " << id;
    PostKey(session.Control(id), key);
}

const CloseAction kCloseActions[] = {
    {"QuitButton", [](QuillbarSession& s) { s.Click(IDOK); }},
    {"EnterInInputBox", [](QuillbarSession& s) { KeyInEditBox(s, kInputPath, VK_RETURN); }},
    {"EnterInOutputBox", [](QuillbarSession& s) { KeyInEditBox(s, kOutputPath, VK_RETURN); }},
    {"EnterOnQuit", [](QuillbarSession& s) { PostKey(s.Control(IDOK), VK_RETURN); }},
    {"EscapeInInputBox", [](QuillbarSession& s) { KeyInEditBox(s, kInputPath, VK_ESCAPE); }},
    {"EscapeOnQuit", [](QuillbarSession& s) { PostKey(s.Control(IDOK), VK_ESCAPE); }},
    // What the close box and Alt+F4 send.
    {"CloseBox", [](QuillbarSession& s) { PostMessageA(s.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
};

class Closing : public ::testing::TestWithParam<CloseAction> {};

TEST_P(Closing, EndsTheProgramWithoutAMessage) {
    TempFolder folder;
    QuillbarSession session(folder);
    ASSERT_TRUE(session.Process().Started()) << session.Process().StartError();
    ASSERT_NE(session.WaitForDialog(kStartTimeoutMs), nullptr) << "no dialog appeared";

    GetParam().perform(session);

    bool ended = session.WaitForExit(kExitTimeoutMs);
    if (!ended) {
        for (HWND window : TopLevelWindowsOf(session.Process().Id())) {
            if (window != session.Dialog() && IsWindowVisible(window))
                ADD_FAILURE() << "a window stays open: " << TextOf(window).value_or("?");
        }
    }
    EXPECT_TRUE(ended) << "the program still runs";
    // The program writes no file of its own.
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(folder.File("*").c_str(), &entry);
    int files = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..") ++files;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    EXPECT_EQ(files, 0) << "the program left files in its current folder";
}

INSTANTIATE_TEST_SUITE_P(Ways, Closing, ::testing::ValuesIn(kCloseActions),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gui_test
