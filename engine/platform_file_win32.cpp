// Win32 file layer: the only part of the engine that includes <windows.h>.
#include "platform_file.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <climits>
#include <string_view>
#include <utility>

namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The engine's paths are UTF-8; the system's are UTF-16. Invalid UTF-8 gives
// false, and the path is then refused like any file that cannot be opened.
bool WidenUtf8(const std::string& path, std::wstring& wide) {
    if (path.empty() || path.size() > static_cast<std::size_t>(INT_MAX)) return false;
    const int size = static_cast<int>(path.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide.assign(static_cast<std::size_t>(length), L'\0');
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, &wide[0],
                               length) == length &&
           wide.find(L'\0') == std::wstring::npos;
}

// The path as CreateFileW takes it. A full path of MAX_PATH characters or
// more gets the \\?\ form, which the system takes up to 32,767 characters
// long whatever the machine's long-path setting; shorter paths are passed as
// given, so that device names and the system's own path rules keep working.
bool SystemPath(const std::string& path, std::wstring& system) {
    std::wstring wide;
    if (!WidenUtf8(path, wide)) return false;
    constexpr std::wstring_view kVerbatim = L"\\\\?\\";
    constexpr std::wstring_view kDevice = L"\\\\.\\";
    if (wide.compare(0, kVerbatim.size(), kVerbatim) == 0 ||
        wide.compare(0, kDevice.size(), kDevice) == 0) {
        system = std::move(wide);
        return true;
    }
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return false;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return false;
    full.resize(length);
    if (full.size() < MAX_PATH) {
        system = std::move(wide);
    } else if (full.compare(0, 2, L"\\\\") == 0) {
        system = L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    } else {
        system = std::wstring(kVerbatim) + full;
    }
    return true;
}

// Scanners, indexers and sync clients open a file for a moment right after
// it was written. A sharing or lock violation is tried again a few times,
// about two seconds in all; every other failure is final at once.
template <typename Open>
HANDLE OpenRetryingWhileShared(const Open& open) {
    static constexpr DWORD kPausesMs[] = {50, 100, 200, 400, 500, 750};
    HANDLE file = open();
    for (const DWORD pause : kPausesMs) {
        if (file != INVALID_HANDLE_VALUE) break;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) break;
        Sleep(pause);
        file = open();
    }
    return file;
}

std::optional<FileIdentity> IdentityOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Files, devices and pipes alike carry an identity; for a run's standard
// streams only a file on disk counts, so that a pipe or console never
// stands for the file at the other end.
std::optional<FileIdentity> DiskFileIdentity(HANDLE handle) {
    if (GetFileType(handle) != FILE_TYPE_DISK) return std::nullopt;
    return IdentityOfHandle(handle);
}

// ReadFile and WriteFile on the handles: bytes pass unchanged, with none of
// the C library's text-mode CR LF translation.
class Win32InputFile final : public InputFile {
public:
    // `owned`: closed with the object, as standard input is not.
    Win32InputFile(HANDLE file, std::optional<FileIdentity> identity, bool owned)
        : m_file(file), m_identity(identity), m_owned(owned) {
        // A file may be read from part-way (standard input's handle after a
        // caller's earlier reads): what is left is its size.
        LARGE_INTEGER size;
        LARGE_INTEGER at;
        const LARGE_INTEGER zero{};
        if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
            SetFilePointerEx(file, zero, &at, FILE_CURRENT) && at.QuadPart <= size.QuadPart) {
            m_sizeAtOpen = static_cast<std::uint64_t>(size.QuadPart - at.QuadPart);
        }
    }
    ~Win32InputFile() override {
        if (m_owned) CloseHandle(m_file);
    }
    Win32InputFile(const Win32InputFile&) = delete;
    Win32InputFile& operator=(const Win32InputFile&) = delete;

    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        const DWORD request = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
        DWORD read = 0;
        if (!ReadFile(m_file, buffer, request, &read, nullptr)) {
            // A pipe whose writer has gone is simply at its end.
            return GetLastError() == ERROR_BROKEN_PIPE ? ReadStatus::End : ReadStatus::Error;
        }
        if (read == 0) return ReadStatus::End;
        got = read;
        return ReadStatus::Data;
    }

    std::optional<std::uint64_t> SizeAtOpen() const override { return m_sizeAtOpen; }
    std::optional<FileIdentity> Identity() const override { return m_identity; }

private:
    HANDLE m_file;
    std::optional<std::uint64_t> m_sizeAtOpen;
    std::optional<FileIdentity> m_identity;
    bool m_owned;
};

bool WriteAll(HANDLE file, const char* data, std::size_t left) {
    while (left > 0) {
        const DWORD request = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, data, request, &written, nullptr) || written == 0) return false;
        data += written;
        left -= written;
    }
    return true;
}

HANDLE OpenForAppend(const std::string& path) {
    std::wstring systemPath;
    if (!SystemPath(path, systemPath)) return INVALID_HANDLE_VALUE;
    return OpenRetryingWhileShared([&systemPath] {
        return CreateFileW(systemPath.c_str(), FILE_APPEND_DATA, kShareReadWrite, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    });
}

class Win32OutputFile final : public OutputFile {
public:
    // `owned`: closed with the object, as standard output is not unless
    // Close is called.
    Win32OutputFile(HANDLE file, bool owned) : m_file(file), m_owned(owned) {}
    ~Win32OutputFile() override {
        if (m_file != INVALID_HANDLE_VALUE && m_owned) CloseHandle(m_file);
    }
    Win32OutputFile(const Win32OutputFile&) = delete;
    Win32OutputFile& operator=(const Win32OutputFile&) = delete;

    bool Write(const char* data, std::size_t size) override { return WriteAll(m_file, data, size); }

    bool Close() override {
        const HANDLE file = m_file;
        m_file = INVALID_HANDLE_VALUE;
        return file != INVALID_HANDLE_VALUE && CloseHandle(file) != 0;
    }

private:
    HANDLE m_file;
    bool m_owned;
};

// Null when the process was started without the stream.
HANDLE StandardHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr) SetLastError(ERROR_INVALID_HANDLE);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const std::string& path) {
    std::wstring systemPath;
    if (!SystemPath(path, systemPath)) return nullptr;
    const HANDLE file = OpenRetryingWhileShared([&systemPath] {
        return CreateFileW(systemPath.c_str(), GENERIC_READ, kShareReadWrite, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    });
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32InputFile>(file, IdentityOfHandle(file), true);
}

std::unique_ptr<OutputFile> OpenOutputFile(const std::string& path) {
    const HANDLE file = OpenForAppend(path);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32OutputFile>(file, true);
}

bool AppendBytesToFile(const std::string& path, std::string_view bytes) {
    // No object in between: this runs once per row of a per-row run.
    const HANDLE file = OpenForAppend(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = WriteAll(file, bytes.data(), bytes.size());
    const bool closed = CloseHandle(file) != 0;
    return written && closed;
}

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
    std::wstring systemPath;
    if (!SystemPath(path, systemPath)) return std::nullopt;
    // No access rights are needed just to read the file's identity.
    const HANDLE file =
        CreateFileW(systemPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::optional<FileIdentity> identity = IdentityOfHandle(file);
    CloseHandle(file);
    return identity;
}

void HoldStandardStreamsPlaces() {}

std::unique_ptr<InputFile> OpenStandardInput() {
    const HANDLE handle = StandardHandle(STD_INPUT_HANDLE);
    if (!handle) return nullptr;
    return std::make_unique<Win32InputFile>(handle, DiskFileIdentity(handle), false);
}

std::unique_ptr<OutputFile> OpenStandardOutput() {
    const HANDLE handle = StandardHandle(STD_OUTPUT_HANDLE);
    if (!handle) return nullptr;
    return std::make_unique<Win32OutputFile>(handle, false);
}

std::optional<FileIdentity> IdentifyStandardOutput() {
    const HANDLE handle = StandardHandle(STD_OUTPUT_HANDLE);
    if (!handle) return std::nullopt;
    return DiskFileIdentity(handle);
}

bool IsSystemLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != 0; }

std::string LastSystemErrorText() {
    const DWORD error = GetLastError();
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 && text ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    // The system's texts end in a full stop and CR LF; a message line does not.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason.empty() ? "system error " + std::to_string(error) : reason;
}
