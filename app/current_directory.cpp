#include "current_directory.h"

#include <direct.h>

#include <cwchar>

CurrentDirectoryKeeper::CurrentDirectoryKeeper(wchar_t (&saved)[MAX_PATH])
    : m_saved(saved), m_drive(_getdrive())
{
    // Read into a scratch buffer first, so that a directory that does not
    // fit, or an invalid drive, leaves the saved one as it was. Wide, so that
    // a folder named outside the ANSI code page is kept exactly.
    wchar_t current[MAX_PATH];
    const wchar_t* read =
        m_drive != 0 ? _wgetdcwd(m_drive, current, MAX_PATH) : _wgetcwd(current, MAX_PATH);
    if (read != nullptr) std::wmemcpy(m_saved, current, std::wcslen(current) + 1);
}

void CurrentDirectoryKeeper::Restore() const
{
    // A network directory has no drive to go back to; _chdrive(0) just fails.
    if (m_drive != 0) _chdrive(m_drive);
    _wchdir(m_saved);
}
