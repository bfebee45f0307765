// per_row_floor TABLE OUTPUT: the floor of a per-row conversion. TABLE holds
// a finished table as a per-row run writes it; this program cuts it into the
// pieces such a run appends ("<table>", each row, "</table>") and appends
// them to OUTPUT, opening, writing and closing it once per piece, with no
// conversion at all. TABLE is mapped, not read, so that having the rows
// ready costs next to nothing.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string_view> CutIntoPieces(std::string_view table) {
    std::vector<std::string_view> pieces;
    constexpr std::string_view kOpen = "<table>";
    constexpr std::string_view kRowEnd = "</tr>\r\n";
    if (table.substr(0, kOpen.size()) == kOpen) {
        pieces.push_back(kOpen);
        table.remove_prefix(kOpen.size());
    }
    for (std::size_t end; (end = table.find(kRowEnd)) != std::string_view::npos;) {
        pieces.push_back(table.substr(0, end + kRowEnd.size()));
        table.remove_prefix(end + kRowEnd.size());
    }
    if (!table.empty()) pieces.push_back(table);
    return pieces;
}

bool Append(const char* path, std::string_view piece) {
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written =
        ::write(fd, piece.data(), piece.size()) == static_cast<ssize_t>(piece.size());
    return ::close(fd) == 0 && written;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: per_row_floor TABLE OUTPUT\n");
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size == 0) {
        std::perror(argv[1]);
        return 1;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
        std::perror(argv[1]);
        return 1;
    }
    const std::string_view table(static_cast<const char*>(mapped), size);
    for (const std::string_view piece : CutIntoPieces(table)) {
        if (!Append(argv[2], piece)) {
            std::perror(argv[2]);
            return 1;
        }
    }
    return 0;
}
