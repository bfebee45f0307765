#include "support/test_environment.h"

#include <windows.h>

#include "support/file_bytes.h"

namespace gui_test {

namespace {

std::string Variable(const char* name) {
    char value[4096];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) return "";
    return std::string(value, length);
}

std::string OwnFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/"));
}

}  // namespace

std::string QuillbarExe() {
    std::string configured = Variable("QUILLBAR_EXE");
    if (!configured.empty()) return configured;
    // This program is built into <build>\tests\gui, the program into <build>\app.
    return JoinPath(OwnFolder(), "..\\..\\app\\quillbar.exe");
}

std::string StubWsockDll(const std::string& mode) {
    return JoinPath(OwnFolder(), "stub_wsock32\\" + mode + "\\wsock32.dll");
}

std::string ProbeHookDll() { return JoinPath(OwnFolder(), "quillbar_gui_probe.dll"); }

std::string BrowserLog() { return Variable("QUILLBAR_BROWSER_LOG"); }

std::string ExpectedTitle() { return std::string("Quillbar by ") + QUILLBAR_WEB_ADDRESS; }

std::string ExpectedHelpUrl() {
    return std::string("http://") + QUILLBAR_WEB_ADDRESS + "/quillbar/help.htm";
}

}  // namespace gui_test
