// The current drive and folder kept around a file picker, checked inside
// this process: the picker may leave the process anywhere, on any drive.
#include <windows.h>
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "current_directory.h"
#include "support/file_bytes.h"

namespace gui_test {
namespace {

std::string CurrentFolder() {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    return folder;
}

// Puts the test's own current folder back, whatever a case did.
class CurrentDirectoryKeeperTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SetCurrentDirectoryA(start_.Path().c_str()));
        startFolder_ = CurrentFolder();
    }
    void TearDown() override { SetCurrentDirectoryA(original_.c_str()); }

    std::string original_ = CurrentFolder();
    TempFolder start_;
    TempFolder elsewhere_;
    std::string startFolder_;
};

TEST_F(CurrentDirectoryKeeperTest, RestoresTheFolderAfterAMoveOnTheSameDrive) {
    wchar_t saved[MAX_PATH] = {};
    const CurrentDirectoryKeeper keeper(saved);
    EXPECT_EQ(Narrow(saved), startFolder_);
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere_.Path().c_str()));
    keeper.Restore();
    EXPECT_EQ(CurrentFolder(), startFolder_);
}

// Wine maps the whole file system to Z:, so a folder on another drive is
// always at hand.
TEST_F(CurrentDirectoryKeeperTest, RestoresDriveAndFolderAfterAMoveToAnotherDrive) {
    const char other[] = "Z:\\";
    if (std::toupper(static_cast<unsigned char>(startFolder_[0])) == 'Z' ||
        GetDriveTypeA(other) <= DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "no second drive here";
    wchar_t saved[MAX_PATH] = {};
    const CurrentDirectoryKeeper keeper(saved);
    ASSERT_TRUE(SetCurrentDirectoryA(other));
    keeper.Restore();
    EXPECT_EQ(CurrentFolder(), startFolder_);
}

// Each run of a picker records afresh: the buffer holds the latest folder.
TEST_F(CurrentDirectoryKeeperTest, ALaterRecordReplacesAnEarlierOne) {
    wchar_t saved[MAX_PATH] = {};
    { const CurrentDirectoryKeeper first(saved); }
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere_.Path().c_str()));
    const std::string later = CurrentFolder();
    const CurrentDirectoryKeeper second(saved);
    EXPECT_EQ(Narrow(saved), later);
    ASSERT_TRUE(SetCurrentDirectoryA(start_.Path().c_str()));
    second.Restore();
    EXPECT_EQ(CurrentFolder(), later);
}

// A folder that was removed meanwhile cannot be gone back to: the process
// stays where it is, and nothing fails loudly.
TEST_F(CurrentDirectoryKeeperTest, AFolderThatIsGoneLeavesTheCurrentOneAlone) {
    wchar_t saved[MAX_PATH] = {};
    std::string doomed;
    {
        TempFolder temporary;
        ASSERT_TRUE(SetCurrentDirectoryA(temporary.Path().c_str()));
        doomed = CurrentFolder();
        const CurrentDirectoryKeeper keeper(saved);
        ASSERT_TRUE(SetCurrentDirectoryA(elsewhere_.Path().c_str()));
        const std::string here = CurrentFolder();
        ASSERT_TRUE(RemoveDirectoryA(doomed.c_str()));
        keeper.Restore();
        EXPECT_EQ(CurrentFolder(), here);
    }
}

}  // namespace
}  // namespace gui_test
