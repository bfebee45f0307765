#include "file_dialog.h"

#include <algorithm>

#include "wide_text.h"

CFileDialog::CFileDialog(const wchar_t* defaultExtension, DWORD flags, const wchar_t* filter)
    : m_filter(filter),
      m_defaultExtension(defaultExtension),
      m_flags(flags),
      m_fileName(kFileNameCapacity, L'\0')
{
    // The system wants zero characters between the parts and two at the end.
    std::replace(m_filter.begin(), m_filter.end(), L'|', L'\0');
}

INT_PTR CFileDialog::DoModal(HWND owner)
{
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = m_filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = &m_fileName[0];
    request.nMaxFile = static_cast<DWORD>(m_fileName.size());
    request.lpstrDefExt = m_defaultExtension.c_str();
    // Explorer style and resizable; no title and no initial folder, so the
    // system's own ones are used.
    request.Flags = m_flags | OFN_EXPLORER | OFN_ENABLESIZING;
    return GetOpenFileNameW(&request) ? IDOK : IDCANCEL;
}

// The buffer is larger than the path: the name ends at its first zero.
std::string CFileDialog::GetPathName() const
{
    return Narrow(m_fileName.substr(0, m_fileName.find(L'\0')));
}
