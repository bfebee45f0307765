// POSIX file layer.
#include "platform_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The standard streams the process was started without, by number.
bool g_streamMissing[3] = {false, false, false};

// Null with EBADF for a stream the process was started without.
bool StreamMissing(int fd) {
    if (!g_streamMissing[fd]) return false;
    errno = EBADF;
    return true;
}

FileIdentity IdentityOf(const struct stat& info) {
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

class PosixInputFile final : public InputFile {
public:
    // `owned`: closed with the object, as standard input is not.
    PosixInputFile(int fd, const struct stat& info, bool owned)
        : m_fd(fd), m_identity(IdentityOf(info)), m_owned(owned) {
        // Files of /proc and /sys say 0 and have content: those are read to
        // the end. A regular file may be read from part-way (standard input
        // from the shell's "<" starts at 0, a caller's earlier reads may
        // not): what is left is its size.
        if (S_ISREG(info.st_mode) && info.st_size > 0) {
            const off_t at = ::lseek(fd, 0, SEEK_CUR);
            if (at >= 0 && at <= info.st_size) {
                m_sizeAtOpen = static_cast<std::uint64_t>(info.st_size - at);
            }
        }
    }
    ~PosixInputFile() override {
        if (m_owned) ::close(m_fd);
    }
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

    std::optional<std::uint64_t> SizeAtOpen() const override { return m_sizeAtOpen; }
    std::optional<FileIdentity> Identity() const override { return m_identity; }

private:
    int m_fd;
    FileIdentity m_identity;
    std::optional<std::uint64_t> m_sizeAtOpen;
    bool m_owned;
};

// The input on `fd`, or null (with errno set) when it cannot be read; a
// directory opens here but not on Windows, and is refused the same way.
std::unique_ptr<InputFile> InputOn(int fd, bool owned) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;  // kept for the message
        if (owned) ::close(fd);
        errno = error;
        return nullptr;
    }
    return std::make_unique<PosixInputFile>(fd, info, owned);
}

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
    // `owned`: closed with the object, as standard output is not unless
    // Close is called.
    PosixOutputFile(int fd, bool owned) : m_fd(fd), m_owned(owned) {}
    ~PosixOutputFile() override {
        if (m_fd >= 0 && m_owned) ::close(m_fd);
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
    bool m_owned;
};

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const std::string& path) {
    if (path.empty()) return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return InputOn(fd, true);
}

std::unique_ptr<OutputFile> OpenOutputFile(const std::string& path) {
    const int fd = OpenForAppend(path);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutputFile>(fd, true);
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
    return IdentityOf(info);
}

void HoldStandardStreamsPlaces() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        g_streamMissing[fd] = true;
        // The lowest free number: this one, as those before it are open now.
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

std::unique_ptr<InputFile> OpenStandardInput() {
    if (StreamMissing(STDIN_FILENO)) return nullptr;
    return InputOn(STDIN_FILENO, false);
}

std::unique_ptr<OutputFile> OpenStandardOutput() {
    if (StreamMissing(STDOUT_FILENO)) return nullptr;
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) != 0) return nullptr;
    return std::make_unique<PosixOutputFile>(STDOUT_FILENO, false);
}

std::optional<FileIdentity> IdentifyStandardOutput() {
    struct stat info {};
    if (g_streamMissing[STDOUT_FILENO] || ::fstat(STDOUT_FILENO, &info) != 0 ||
        !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return IdentityOf(info);
}

bool IsSystemLeadByte(unsigned char) { return false; }

std::string LastSystemErrorText() { return std::strerror(errno); }
