// A test that starts the program in a fresh folder and waits for its dialog;
// afterwards the dialog is cancelled and the program must end.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include "support/quillbar_session.h"
#include "support/test_environment.h"
#include "support/window_query.h"

namespace gui_test {

class RunningDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session_.Process().Started()) << session_.Process().StartError();
        ASSERT_NE(session_.WaitForDialog(kStartTimeoutMs), nullptr) << "no dialog appeared";
        // Under emulation the program may still be busy with its start for
        // longer than one message's time limit.
        ASSERT_TRUE(WaitUntil([this] { return Answers(session_.Dialog()); }, kStartTimeoutMs))
            << "the dialog does not answer";
    }
    void TearDown() override {
        if (session_.Dialog()) PostMessageA(session_.Dialog(), WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(session_.WaitForExit(kExitTimeoutMs)) << "the program did not end";
    }

    TempFolder folder_;
    QuillbarSession session_{folder_};
};

}  // namespace gui_test
