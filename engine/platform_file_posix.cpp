// POSIX file layer.
#include "platform_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PosixInputFile final : public InputFile {
public:
    PosixInputFile(int fd, const struct stat& info) : m_fd(fd), m_info(info) {}
    ~PosixInputFile() override { ::close(m_fd); }
    PosixInputFile(const PosixInputFile&) = delete;
    PosixInputFile& operator=(const PosixInputFile&) = delete;

    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, capacity);
            if (n > 0) {
                got = static_cast<std::size_t>(n);
                return ReadStatus::Data;
            }
            if (n == 0) return ReadStatus::End;
            if (errno != EINTR) return ReadStatus::Error;
        }
    }

    std::optional<std::uint64_t> SizeAtOpen() const override {
        // Files of /proc and /sys say 0 and have content: read those to the end.
        if (!S_ISREG(m_info.st_mode) || m_info.st_size == 0) return std::nullopt;
        return static_cast<std::uint64_t>(m_info.st_size);
    }

    std::optional<FileIdentity> Identity() const override {
        return FileIdentity{static_cast<std::uint64_t>(m_info.st_dev),
                            static_cast<std::uint64_t>(m_info.st_ino)};
    }

private:
    int m_fd;
    struct stat m_info;
};

bool WriteAll(int fd, const char* data, std::size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

int OpenForAppend(const std::string& path) {
    if (path.empty()) return -1;
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

class PosixOutputFile final : public OutputFile {
public:
    explicit PosixOutputFile(int fd) : m_fd(fd) {}
    ~PosixOutputFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    PosixOutputFile(const PosixOutputFile&) = delete;
    PosixOutputFile& operator=(const PosixOutputFile&) = delete;

    bool Write(const char* data, std::size_t size) override { return WriteAll(m_fd, data, size); }

    bool Close() override {
        const int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int m_fd;
};

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const std::string& path) {
    if (path.empty()) return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    // A directory opens here but not on Windows; refuse it the same way.
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;  // kept for the message
        ::close(fd);
        errno = error;
        return nullptr;
    }
    return std::make_unique<PosixInputFile>(fd, info);
}

std::unique_ptr<OutputFile> OpenOutputFile(const std::string& path) {
    const int fd = OpenForAppend(path);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutputFile>(fd);
}

bool AppendBytesToFile(const std::string& path, std::string_view bytes) {
    // No object in between: this runs once per row of a per-row run.
    const int fd = OpenForAppend(path);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

bool IsSystemLeadByte(unsigned char) { return false; }

std::string LastSystemErrorText() { return std::strerror(errno); }
