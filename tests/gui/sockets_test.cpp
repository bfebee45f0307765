// Start-up with a stand-in wsock32.dll beside a copy of the program: the
// copy is called qbcopy.exe, so its title differs from the usual one.
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/quillbar_session.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

const char kCopyName[] = "qbcopy.exe";
const char kCopyTitle[] = "qbcopy";
// Wine's per-program DLL preferences: wsock32 from beside qbcopy.exe rather
// than Wine's own. (WINEDLLOVERRIDES in a child's environment is not heeded.)
const char kOverrideKey[] = "Software\\Wine\\AppDefaults\\qbcopy.exe\\DllOverrides";

bool PreferDllBesideCopy() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kOverrideKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const char value[] = "native";
    bool ok = RegSetValueExA(key, "wsock32", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             sizeof value) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

class StartupWithStubSockets : public ::testing::Test {
protected:
    // Puts the program and the stub for `mode` into the folder and starts it
    // with the stub preferred over Wine's own wsock32.
    void Start(const std::string& mode) {
        ASSERT_TRUE(CopyFileA(QuillbarExe().c_str(), folder_.File(kCopyName).c_str(), FALSE))
            << "cannot copy " << QuillbarExe();
        ASSERT_TRUE(
            CopyFileA(StubWsockDll(mode).c_str(), folder_.File("wsock32.dll").c_str(), FALSE))
            << "cannot copy " << StubWsockDll(mode);
        ASSERT_TRUE(PreferDllBesideCopy()) << "cannot write Wine's DLL preference";
        session_ = std::make_unique<QuillbarSession>(
            folder_, folder_.File(kCopyName),
            std::map<std::string, std::string>{{"QUILLBAR_WSOCK_LOG", Log()}});
        ASSERT_TRUE(session_->Process().Started()) << session_->Process().StartError();
    }

    std::string Log() const { return folder_.File("wsock-calls.log"); }
    std::string LoggedCalls() const { return ReadFileBytes(Log()).value_or(""); }

    // The start-up failure: one box, no owner, exclamation icon, the title as
    // caption; after it the program ends without ever showing its dialog.
    void ExpectStartupFailureMessageOnly() {
        DWORD id = session_->Process().Id();
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (HWND window : DialogWindowsOf(id, nullptr))
                    if (IsWindowVisible(window)) box = window;
                return box != nullptr || !session_->Process().IsRunning();
            },
            kStartTimeoutMs));
        ASSERT_NE(box, nullptr) << "the program ended without a message";
        ASSERT_TRUE(Answers(box));
        MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(info.text, "Windows sockets initialization failed.");
        EXPECT_EQ(info.caption, kCopyTitle);
        EXPECT_EQ(info.owner, nullptr);
        EXPECT_TRUE(info.hasIcon);
        EXPECT_EQ(info.iconKind, "exclamation");
        EXPECT_EQ(info.buttonIds, std::vector<int>{IDOK});
        for (HWND window : TopLevelWindowsOf(id)) {
            if (window != box && IsWindowVisible(window))
                ADD_FAILURE() << "another window is shown: " << TextOf(window).value_or("?");
        }
        ASSERT_TRUE(PressOk(box));

        // Watch every window that shows up until the program has ended.
        bool sawAnotherWindow = false;
        bool ended = WaitUntil(
            [&] {
                for (HWND window : TopLevelWindowsOf(id))
                    if (IsWindowVisible(window)) sawAnotherWindow = true;
                return !session_->Process().IsRunning();
            },
            kExitTimeoutMs);
        EXPECT_TRUE(ended) << "the program still runs after the message";
        EXPECT_FALSE(sawAnotherWindow) << "a window was shown after the message";
    }

    TempFolder folder_;
    std::unique_ptr<QuillbarSession> session_;
};

TEST_F(StartupWithStubSockets, FailingStartupShowsOneMessageAndNoDialog) {
    Start("fail");
    ExpectStartupFailureMessageOnly();
    // A start that failed is not cleaned up.
    EXPECT_EQ(LoggedCalls(), "WSAStartup 0101\n");
}

TEST_F(StartupWithStubSockets, Version22IsRefusedAfterBeingCleanedUpOnce) {
    Start("v22");
    ExpectStartupFailureMessageOnly();
    EXPECT_EQ(LoggedCalls(), "WSAStartup 0101\nWSACleanup\n");
}

TEST_F(StartupWithStubSockets, Version11StartsTheDialogAndCleansUpOnceAtExit) {
    Start("v11");
    HWND dialog = session_->WaitForDialog(kStartTimeoutMs);
    ASSERT_NE(dialog, nullptr) << "no dialog appeared";
    // The dialog's title comes from its template, not from the program's name.
    EXPECT_EQ(TextOf(dialog).value_or("<no answer>"), ExpectedTitle());
    EXPECT_EQ(LoggedCalls(), "WSAStartup 0101\n");
    session_->Click(IDOK);
    ASSERT_TRUE(session_->WaitForExit(kExitTimeoutMs));
    EXPECT_EQ(LoggedCalls(), "WSAStartup 0101\nWSACleanup\n");
}

}  // namespace
}  // namespace gui_test
