// Win32 file layer: the only part of the engine that includes <windows.h>.
#include "platform_file.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::optional<FileIdentity> IdentityOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

class Win32InputFile final : public InputFile {
public:
    explicit Win32InputFile(HANDLE file) : m_file(file) {
        LARGE_INTEGER size;
        if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size)) {
            m_sizeAtOpen = static_cast<std::uint64_t>(size.QuadPart);
        }
        m_identity = IdentityOfHandle(file);
    }
    ~Win32InputFile() override { CloseHandle(m_file); }
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
    if (path.empty()) return INVALID_HANDLE_VALUE;
    return CreateFileA(path.c_str(), FILE_APPEND_DATA, kShareReadWrite, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Win32OutputFile final : public OutputFile {
public:
    explicit Win32OutputFile(HANDLE file) : m_file(file) {}
    ~Win32OutputFile() override {
        if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
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
};

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const std::string& path) {
    if (path.empty()) return nullptr;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareReadWrite, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32InputFile>(file);
}

std::unique_ptr<OutputFile> OpenOutputFile(const std::string& path) {
    const HANDLE file = OpenForAppend(path);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32OutputFile>(file);
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
    if (path.empty()) return std::nullopt;
    // No access rights are needed just to read the file's identity.
    const HANDLE file = CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::optional<FileIdentity> identity = IdentityOfHandle(file);
    CloseHandle(file);
    return identity;
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
