#include "standard_streams.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// Null or invalid when the process was started without the stream.
HANDLE StandardHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr) SetLastError(ERROR_INVALID_HANDLE);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

std::optional<FileIdentity> DiskFileIdentity(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
        return std::nullopt;
    }
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// ReadFile and WriteFile on the handles: bytes pass unchanged, with none of
// the C library's text-mode CR LF translation.
class StandardInput final : public InputFile {
public:
    explicit StandardInput(HANDLE handle) : m_handle(handle), m_identity(DiskFileIdentity(handle)) {
        LARGE_INTEGER size;
        LARGE_INTEGER at;
        const LARGE_INTEGER zero{};
        if (m_identity && GetFileSizeEx(handle, &size) &&
            SetFilePointerEx(handle, zero, &at, FILE_CURRENT) && at.QuadPart <= size.QuadPart) {
            m_size = static_cast<std::uint64_t>(size.QuadPart - at.QuadPart);
        }
    }

    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        const DWORD request = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
        DWORD read = 0;
        if (!ReadFile(m_handle, buffer, request, &read, nullptr)) {
            // A pipe whose writer has gone is simply at its end.
            return GetLastError() == ERROR_BROKEN_PIPE ? ReadStatus::End : ReadStatus::Error;
        }
        if (read == 0) return ReadStatus::End;
        got = read;
        return ReadStatus::Data;
    }

    std::optional<std::uint64_t> SizeAtOpen() const override { return m_size; }
    std::optional<FileIdentity> Identity() const override { return m_identity; }

private:
    HANDLE m_handle;
    std::optional<FileIdentity> m_identity;
    std::optional<std::uint64_t> m_size;
};

class StandardOutput final : public OutputFile {
public:
    explicit StandardOutput(HANDLE handle) : m_handle(handle) {}

    bool Write(const char* data, std::size_t left) override {
        while (left > 0) {
            const DWORD request = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(m_handle, data, request, &written, nullptr) || written == 0)
                return false;
            data += written;
            left -= written;
        }
        return true;
    }

    bool Close() override { return CloseHandle(m_handle) != 0; }

private:
    HANDLE m_handle;
};

}  // namespace

std::unique_ptr<InputFile> OpenStandardInput() {
    const HANDLE handle = StandardHandle(STD_INPUT_HANDLE);
    if (!handle) return nullptr;
    return std::make_unique<StandardInput>(handle);
}

std::unique_ptr<OutputFile> OpenStandardOutput() {
    const HANDLE handle = StandardHandle(STD_OUTPUT_HANDLE);
    if (!handle) return nullptr;
    return std::make_unique<StandardOutput>(handle);
}

std::optional<FileIdentity> IdentifyStandardOutput() {
    const HANDLE handle = StandardHandle(STD_OUTPUT_HANDLE);
    if (!handle) return std::nullopt;
    return DiskFileIdentity(handle);
}
