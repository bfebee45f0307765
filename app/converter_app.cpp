#include "converter_app.h"

#include <windows.h>
#include <objbase.h>
#include <winsock.h>

#include <vector>

#include "converter_dialog.h"
#include "resource.h"
#include "wide_text.h"

CConverterApp::~CConverterApp() { ExitInstance(); }

int CConverterApp::Run()
{
    // A drive without a medium or a missing file makes the failing call
    // return an error instead of showing a system message box.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // ShellExecute (Help) and the file pickers may use COM objects: the GUI
    // thread is a single-threaded apartment for the whole program.
    const bool comStarted =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    InitInstance();
    ExitInstance();
    if (comStarted) CoUninitialize();
    return 0;
}

bool CConverterApp::InitInstance()
{
    if (!StartSockets()) {
        wchar_t text[256] = L"";
        LoadStringW(GetModuleHandleW(nullptr), IDP_SOCKETS_INIT_FAILED, text, 256);
        // No window exists yet to own the box.
        MessageBoxW(nullptr, text, Widen(ApplicationTitle()).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    CConverterDialog dialog;
    dialog.DoModal();
    return false;
}

bool CConverterApp::StartSockets()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
    if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
        WSACleanup();
        return false;
    }
    m_socketsStarted = true;
    return true;
}

void CConverterApp::ExitInstance()
{
    if (m_socketsStarted) {
        m_socketsStarted = false;
        WSACleanup();
    }
}

std::string CConverterApp::ApplicationTitle()
{
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) break;
        path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
    std::string name = Narrow(std::wstring(path.data(), length));
    const std::string::size_type separator = name.find_last_of("\\/:");
    if (separator != std::string::npos) name.erase(0, separator + 1);
    const std::string::size_type dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}
