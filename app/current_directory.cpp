#include "current_directory.h"

#include <direct.h>

#include <cstring>

CurrentDirectoryKeeper::CurrentDirectoryKeeper(char (&saved)[MAX_PATH]) : m_saved(saved), m_drive(_getdrive())
{
    // Read into a scratch buffer first, so that a directory that does not
    // fit, or an invalid drive, leaves the saved one as it was.
    char current[MAX_PATH];
    const char* read = m_drive != 0 ? _getdcwd(m_drive, current, MAX_PATH) : _getcwd(current, MAX_PATH);
    if (read != nullptr) std::memcpy(m_saved, current, std::strlen(current) + 1);
}

void CurrentDirectoryKeeper::Restore() const
{
    // A network directory has no drive to go back to; _chdrive(0) just fails.
    if (m_drive != 0) _chdrive(m_drive);
    _chdir(m_saved);
}
