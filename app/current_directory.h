// The process's current drive and directory, recorded before something that
// may change them (a file picker) and put back afterwards.
#pragma once

#include <windows.h>

class CurrentDirectoryKeeper {
public:
    // `saved` is the caller's buffer, which outlives this object: when the
    // directory cannot be recorded, it keeps what the caller recorded last.
    explicit CurrentDirectoryKeeper(wchar_t (&saved)[MAX_PATH]);

    // Makes the recorded drive, then the directory in the buffer, current
    // again. Failures are ignored: there is nothing better to go back to.
    void Restore() const;

private:
    wchar_t (&m_saved)[MAX_PATH];
    int m_drive;  // 1 for A: ... 26 for Z:, 0 when not on a drive letter
};
