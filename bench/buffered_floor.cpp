// buffered_floor INPUT TABLE OUTPUT: the floor of a buffered conversion.
// TABLE holds the finished table of INPUT. This program loads it into memory,
// then starts its clock, reads INPUT to its end in 1 MiB blocks and appends
// TABLE to OUTPUT in 1 MiB blocks, keeping pace with the reading as a
// converter does, and converts nothing. It prints the seconds from the start
// of the clock to the closing of OUTPUT, which is all a buffered run cannot
// do without: the input through user space, the table through write().
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kBlock = 1 << 20;

bool ReadAll(int fd, std::vector<char>& bytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the table's 1 MiB blocks up to `until` (rounded down to a whole
// block unless it is the table's end); `written` is how far it got before.
bool WriteBlocks(int fd, const std::vector<char>& table, std::size_t until, std::size_t& written) {
    if (until < table.size()) until -= until % kBlock;
    while (written < until) {
        const std::size_t size = until - written < kBlock ? until - written : kBlock;
        if (!WriteAll(fd, table.data() + written, size)) return false;
        written += size;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: buffered_floor INPUT TABLE OUTPUT\n");
        return 2;
    }
    std::vector<char> table;
    const int tableFd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
    if (tableFd < 0 || !ReadAll(tableFd, table) || ::close(tableFd) != 0) {
        std::perror(argv[2]);
        return 1;
    }

    const auto started = std::chrono::steady_clock::now();
    const int input = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (input < 0 || ::fstat(input, &info) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    const int output = ::open(argv[3], O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (output < 0) {
        std::perror(argv[3]);
        return 1;
    }
    const auto inputSize = static_cast<std::uint64_t>(info.st_size);
    std::vector<char> block(kBlock);
    std::uint64_t read = 0;
    std::size_t written = 0;
    for (;;) {
        const ssize_t n = ::read(input, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::perror(argv[1]);
            return 1;
        }
        if (n == 0) break;
        read += static_cast<std::uint64_t>(n);
        // The table's share of what has been read so far.
        const auto share =
            static_cast<std::size_t>(static_cast<double>(table.size()) * static_cast<double>(read) /
                                     static_cast<double>(inputSize > 0 ? inputSize : 1));
        if (!WriteBlocks(output, table, share < table.size() ? share : table.size(), written)) {
            std::perror(argv[3]);
            return 1;
        }
    }
    if (!WriteBlocks(output, table, table.size(), written) || ::close(output) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    ::close(input);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    std::printf("%.6f\n", seconds.count());
    return 0;
}
