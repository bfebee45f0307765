// The window's icon, and the window minimised.
#include <windows.h>
#include <gtest/gtest.h>

#include <optional>

#include "support/quillbar_session.h"
#include "support/running_dialog_test.h"
#include "support/window_probe.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

// Minimises the window and waits until it has stayed minimised for a while.
// Under Wine a focus change that the X server reports late (after an earlier
// window closed) can restore a freshly minimised window; such a restore is
// retried, a window that keeps restoring itself is not.
bool MinimiseForGood(HWND window) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        ShowWindow(window, SW_MINIMIZE);
        if (!WaitUntil([&] { return IsIconic(window) != FALSE; }, kMessageTimeoutMs)) continue;
        bool restored = WaitUntil([&] { return IsIconic(window) == FALSE; }, 700);
        if (!restored) return true;
    }
    return false;
}

class WindowIcon : public RunningDialogTest {
protected:
    void SetUp() override {
        RunningDialogTest::SetUp();
        if (HasFatalFailure()) return;
        probe_ = std::make_unique<WindowProbe>(session_.Dialog());
        ASSERT_TRUE(probe_->Ready()) << probe_->Error();
    }
    void TearDown() override {
        probe_.reset();
        RunningDialogTest::TearDown();
    }

    std::unique_ptr<WindowProbe> probe_;
};

TEST_F(WindowIcon, TheProgramsLargeIconServesAsBigAndSmallIcon) {
    std::optional<ProbeReport> report = probe_->Ask();
    ASSERT_TRUE(report) << "the program did not answer the probe";
    EXPECT_NE(report->resourceIcon, 0u) << "the program has no icon 128";
    EXPECT_EQ(report->bigIcon, report->resourceIcon);
    EXPECT_EQ(report->smallIcon, report->resourceIcon);
    EXPECT_EQ(report->iconWidth, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(report->iconHeight, GetSystemMetrics(SM_CYICON));
}

TEST_F(WindowIcon, MinimisedWindowPaintsAndGivesItsIconForDragging) {
    HWND dialog = session_.Dialog();
    ASSERT_TRUE(MinimiseForGood(dialog)) << "the window did not stay minimised";
    // Make it paint its minimised face, then check that it lived through it.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    ASSERT_TRUE(Answers(dialog));
    Sleep(300);
    ASSERT_TRUE(session_.Process().IsRunning()) << "the program ended while minimised";
    ASSERT_TRUE(Answers(dialog));

    std::optional<ProbeReport> report = probe_->Ask();
    ASSERT_TRUE(report) << "the program did not answer the probe";
    EXPECT_EQ(report->iconic, 1);
    EXPECT_NE(report->dragIcon, 0u);
    EXPECT_EQ(report->dragIcon, report->resourceIcon);

    ShowWindow(dialog, SW_RESTORE);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(dialog) == FALSE; }, kMessageTimeoutMs));
    EXPECT_TRUE(Answers(dialog));
    EXPECT_TRUE(session_.CollectMessages(0).empty());
}

}  // namespace
}  // namespace gui_test
