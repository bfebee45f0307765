#include "standard_streams.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class StandardInput final : public InputFile {
public:
    StandardInput() {
        if (::fstat(STDIN_FILENO, &m_info) != 0) return;
        m_known = true;
        // A regular file may be read from part-way (the shell's "<" starts
        // at 0, a caller's earlier reads may not): what is left is its size.
        const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
        if (S_ISREG(m_info.st_mode) && at >= 0 && at <= m_info.st_size) {
            m_size = static_cast<std::uint64_t>(m_info.st_size - at);
        }
    }

    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, capacity);
            if (n > 0) {
                got = static_cast<std::size_t>(n);
                return ReadStatus::Data;
            }
            if (n == 0) return ReadStatus::End;
            if (errno != EINTR) return ReadStatus::Error;
        }
    }

    std::optional<std::uint64_t> SizeAtOpen() const override { return m_size; }

    std::optional<FileIdentity> Identity() const override {
        if (!m_known) return std::nullopt;
        return FileIdentity{static_cast<std::uint64_t>(m_info.st_dev),
                            static_cast<std::uint64_t>(m_info.st_ino)};
    }

private:
    struct stat m_info {};
    bool m_known = false;
    std::optional<std::uint64_t> m_size;
};

class StandardOutput final : public OutputFile {
public:
    bool Write(const char* data, std::size_t left) override {
        while (left > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, data, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // Closed at the end, so that a failure to store the last bytes of a
    // redirected file is reported like any other output's.
    bool Close() override { return ::close(STDOUT_FILENO) == 0; }
};

}  // namespace

std::unique_ptr<InputFile> OpenStandardInput() {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0) return nullptr;
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    return std::make_unique<StandardInput>();
}

std::unique_ptr<OutputFile> OpenStandardOutput() {
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) != 0) return nullptr;
    return std::make_unique<StandardOutput>();
}

std::optional<FileIdentity> IdentifyStandardOutput() {
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}
