// Where the program under test and its helpers are, and what it should show.
#pragma once

#include <string>

namespace gui_test {

// QUILLBAR_EXE, or app\quillbar.exe of the build folder this program sits in.
std::string QuillbarExe();
// The stand-in wsock32.dll built for `mode` ("fail", "v22" or "v11").
std::string StubWsockDll(const std::string& mode);
// The probe hook DLL built beside this program.
std::string ProbeHookDll();
// QUILLBAR_BROWSER_LOG: the file that Wine's browser, replaced by
// run-gui-tests.sh, appends each URL it is given to; empty when not set.
std::string BrowserLog();

std::string ExpectedTitle();
std::string ExpectedHelpUrl();

// Start-up under Wine can take a few seconds on a busy machine.
constexpr unsigned long kStartTimeoutMs = 20000;
constexpr unsigned long kMessageTimeoutMs = 10000;
constexpr unsigned long kExitTimeoutMs = 10000;
// How long nothing must happen before a test takes "no further message".
constexpr unsigned long kSettleMs = 1500;

}  // namespace gui_test
