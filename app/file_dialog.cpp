#include "file_dialog.h"

#include <algorithm>

CFileDialog::CFileDialog(const char* defaultExtension, DWORD flags, const char* filter)
    : m_filter(filter), m_defaultExtension(defaultExtension), m_flags(flags)
{
    // The system wants zero bytes between the parts and two at the end.
    std::replace(m_filter.begin(), m_filter.end(), '|', '\0');
}

INT_PTR CFileDialog::DoModal(HWND owner)
{
    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = m_filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = m_fileName;
    request.nMaxFile = sizeof m_fileName;
    request.lpstrDefExt = m_defaultExtension.c_str();
    // Explorer style and resizable; no title and no initial folder, so the
    // system's own ones are used.
    request.Flags = m_flags | OFN_EXPLORER | OFN_ENABLESIZING;
    return GetOpenFileNameA(&request) ? IDOK : IDCANCEL;
}
