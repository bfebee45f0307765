// The system's open-file picker (GetOpenFileNameW) for one run: filter,
// default extension and flags are fixed when it is made; DoModal shows it and
// GetPathName gives the file the user confirmed.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

class CFileDialog {
public:
    // `filter` lists display names and patterns, each ended by '|', the list
    // ended by a second '|'. `defaultExtension` is appended by the system to
    // a typed name that has none; it goes to the system as given.
    CFileDialog(const wchar_t* defaultExtension, DWORD flags, const wchar_t* filter);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // Runs the picker, owned (and disabled meanwhile) by `owner`. Returns
    // IDOK when the user confirmed a file, IDCANCEL otherwise, failures of
    // the picker itself included.
    INT_PTR DoModal(HWND owner);

    // The full path of the confirmed file, in UTF-8.
    std::string GetPathName() const;

private:
    // Room for the longest path the system has, with its terminating zero.
    static constexpr size_t kFileNameCapacity = 32768;

    std::wstring m_filter;  // with its separators turned into zero characters
    std::wstring m_defaultExtension;
    DWORD m_flags;
    std::wstring m_fileName;
};
