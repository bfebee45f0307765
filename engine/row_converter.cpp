#include "row_converter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "byte_scan.h"
#include "platform_file.h"
#include "text_mode.h"

namespace {

bool IsTrailingWhiteSpace(unsigned char byte) {
    return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

// The tags of a row with its line ends in memory (LF) or on disk (CR LF).
template <bool kOnDisk>
struct RowTags {
    static constexpr std::string_view kRowStart = kOnDisk ? "<tr>\r\n" : "<tr>\n";
    static constexpr std::string_view kCellStart = "<td>";
    static constexpr std::string_view kCellEnd = kOnDisk ? "</td>\r\n" : "</td>\n";
    static constexpr std::string_view kLastCellEnd = kOnDisk ? "</td></tr>\r\n" : "</td></tr>\n";
};

// The first comma in [from, end), or end.
const char* FindComma(const char* from, const char* end) {
    const char* const comma = byte_scan::Find(from, end, ',');
    return comma ? comma : end;
}

#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define QUILLBAR_WORD_SCAN 1
// Where the first comma is in an 8-byte word: 8 when there is none.
unsigned CommaIndex(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const std::uint64_t x = word ^ (kOnes * ',');  // a zero byte where a comma was
    // The lowest flagged byte is always a true zero byte.
    const std::uint64_t zeros = (x - kOnes) & ~x & (kOnes * 0x80);
    return zeros ? static_cast<unsigned>(__builtin_ctzll(zeros)) >> 3 : 8;
}
#endif

template <std::size_t N>
char* Put(char* to, std::string_view text) {
    std::memcpy(to, text.data(), N);
    return to + N;
}

// Copies a plain cell from `from` up to the next comma or `end`, and
// returns where it stopped. Cells are short, so it copies a word at a time
// and looks for the comma in the same word; that may write up to 7 bytes
// past the cell, which the caller's tags then overwrite.
const char* CopyPlainCell(const char* from, const char* end, char*& to) {
#ifdef QUILLBAR_WORD_SCAN
    while (end - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        std::memcpy(to, &word, sizeof word);
        const unsigned comma = CommaIndex(word);
        to += comma;
        from += comma;
        if (comma < 8) return from;
    }
#endif
    while (from != end && *from != ',') *to++ = *from++;
    return from;
}

// A quoted cell starting at the opening quote `quote`: its content is
// [begin, end) and it stops at `stop`, the comma that closes it or the end
// of the line. It ends only at a comma right after a double quote; right
// after the opening quote, that quote counts and the cell is empty.
struct QuotedCell {
    const char* begin;
    const char* end;
    const char* stop;
};

QuotedCell FindQuotedCell(const char* quote, const char* lineEnd) {
    QuotedCell cell{quote + 1, nullptr, nullptr};
    if (cell.begin != lineEnd && *cell.begin == ',') {
        cell.end = cell.stop = cell.begin;
        return cell;
    }
    // Quotes are rarer than commas in quoted text, so it looks for the
    // quote that a comma follows rather than for the comma.
    const char* const lastByte = lineEnd - 1;
    for (const char* from = cell.begin; from < lastByte;) {
        const char* const closing = byte_scan::Find(from, lastByte, '"');
        if (!closing) break;
        if (closing[1] == ',') {
            cell.end = closing;
            cell.stop = closing + 1;
            return cell;
        }
        from = closing + 1;
    }
    // Unterminated: only a closing quote is dropped, never data.
    cell.stop = cell.end = lineEnd;
    if (cell.end > cell.begin && cell.end[-1] == '"') --cell.end;
    return cell;
}

// The exact size of the row of a trimmed line.
template <bool kOnDisk>
std::size_t RowSize(const char* line, std::size_t length) {
    using Tags = RowTags<kOnDisk>;
    std::size_t size = Tags::kRowStart.size() + Tags::kLastCellEnd.size() - Tags::kCellEnd.size();
    const char* const end = line + length;
    const char* from = line;
    for (;;) {
        size += Tags::kCellStart.size() + Tags::kCellEnd.size();
        if (from != end && *from == '"') {
            const QuotedCell cell = FindQuotedCell(from, end);
            size += static_cast<std::size_t>(cell.end - cell.begin);
            from = cell.stop;
        } else {
            const char* const comma = FindComma(from, end);
            size += static_cast<std::size_t>(comma - from);
            from = comma;
        }
        if (from == end) return size;
        ++from;
    }
}

// Lines longer than this get their row's exact size worked out first, so
// that a huge row takes no more memory than its own bytes.
constexpr std::size_t kLongLine = std::size_t{64} * 1024;

constexpr std::size_t kSlack = 8;  // for CopyPlainCell's last word

// The room for the row of a trimmed line: its exact size when the line is
// long, else a bound counted from the line's commas.
template <bool kOnDisk>
std::size_t CountedRoom(const char* line, std::size_t length) {
    using Tags = RowTags<kOnDisk>;
    constexpr std::size_t kCellTags = Tags::kCellStart.size() + Tags::kCellEnd.size();
    if (length > kLongLine) return RowSize<kOnDisk>(line, length) + kSlack;
    return Tags::kRowStart.size() + length +
           (static_cast<std::size_t>(std::count(line, line + length, ',')) + 1) * kCellTags +
           Tags::kLastCellEnd.size() + kSlack;
}

// Same without looking at the line when it is short: every byte may be a
// comma, which ends a cell and opens the next. A short line's row is at
// most about 11 times its length, in a buffer that is reused.
template <bool kOnDisk>
std::size_t BoundedRoom(const char* line, std::size_t length) {
    using Tags = RowTags<kOnDisk>;
    constexpr std::size_t kCellTags = Tags::kCellStart.size() + Tags::kCellEnd.size();
    if (length > kLongLine) return RowSize<kOnDisk>(line, length) + kSlack;
    return Tags::kRowStart.size() + length + (length + 1) * kCellTags + Tags::kLastCellEnd.size() +
           kSlack;
}

// Writes the row of `line`, whose first `length` bytes are its trimmed part,
// at `to`, and returns its end.
template <bool kOnDisk>
char* WriteRow(const char* line, std::size_t length, char* to) {
    using Tags = RowTags<kOnDisk>;
    to = Put<Tags::kRowStart.size()>(to, Tags::kRowStart);
    to = Put<Tags::kCellStart.size()>(to, Tags::kCellStart);

    const char* const end = line + length;
    const char* from = line;
    for (;;) {
        if (from != end && *from == '"') {
            const QuotedCell cell = FindQuotedCell(from, end);
            const auto size = static_cast<std::size_t>(cell.end - cell.begin);
            if (size > 0) std::memcpy(to, cell.begin, size);
            to += size;
            from = cell.stop;
        } else {
            from = CopyPlainCell(from, end, to);
        }
        if (from == end) break;
        to = Put<Tags::kCellEnd.size()>(to, Tags::kCellEnd);
        to = Put<Tags::kCellStart.size()>(to, Tags::kCellStart);
        ++from;  // past the comma
    }
    return Put<Tags::kLastCellEnd.size()>(to, Tags::kLastCellEnd);
}

// Appends the row of a trimmed line to a string.
template <bool kOnDisk>
void AppendRow(const char* line, std::size_t length, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + CountedRoom<kOnDisk>(line, length));
    char* const end = WriteRow<kOnDisk>(line, length, &out[at]);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

}  // namespace

std::size_t TrimmedLength(std::string_view line, LeadByteTest isLeadByte) {
    const std::size_t length = line.size();
    std::size_t keep = length;
    while (keep > 0 && IsTrailingWhiteSpace(static_cast<unsigned char>(line[keep - 1]))) --keep;
    if (keep == length) return length;

    // The white space found from the end is all trailing white space unless
    // a lead byte could pair up with one of its bytes; only then does it
    // take a scan from the start to know where the characters begin.
    bool pairingPossible = keep > 0 && isLeadByte(static_cast<unsigned char>(line[keep - 1]));
    for (std::size_t i = keep; !pairingPossible && i + 1 < length; ++i) {
        pairingPossible = isLeadByte(static_cast<unsigned char>(line[i]));
    }
    if (!pairingPossible) return keep;

    keep = 0;
    std::size_t i = 0;
    while (i < length) {
        const unsigned char byte = static_cast<unsigned char>(line[i]);
        if (i + 1 < length && isLeadByte(byte)) {
            i += 2;
            keep = i;
        } else {
            ++i;
            if (!IsTrailingWhiteSpace(byte)) keep = i;
        }
    }
    return keep;
}

std::string ConvertLineToRow(const std::string& line) {
    return ConvertLineToRow(line, IsSystemLeadByte);
}

std::string ConvertLineToRow(const std::string& line, LeadByteTest isLeadByte) {
    const std::size_t length = TrimmedLength(line, isLeadByte);
    std::string row;
    AppendRow<false>(line.data(), length, row);
    return row;
}

void AppendRowOnDisk(std::string_view line, LeadByteTest isLeadByte, std::string& out) {
    const std::size_t length = TrimmedLength(line, isLeadByte);
    // Only a lead byte just before the line's LF keeps an LF in a cell;
    // such a row takes the long way, through the in-memory text.
    if (length > 0 && std::memchr(line.data(), '\n', length)) {
        out += ToCrLf(ConvertLineToRow(std::string(line), isLeadByte));
        return;
    }
    AppendRow<true>(line.data(), length, out);
}

namespace {

bool CommitTo(RowBuffer& row, const char* end) {
    row.Commit(end);
    return true;
}

bool CommitTo(TableOutput& output, const char* end) { return output.Commit(end); }

template <class Rows>
bool AppendReadLine(std::string_view line, LeadByteTest isLeadByte, Rows& rows) {
    const std::size_t length = TrimmedLength(line, isLeadByte);
    // The line's only LF is its last byte, so it is kept in a cell only
    // when a lead byte before it pairs with it; such a row takes the long
    // way, through the in-memory text.
    if (length == line.size() && length > 0 && line[length - 1] == '\n') {
        const std::string onDisk = ToCrLf(ConvertLineToRow(std::string(line), isLeadByte));
        return CommitTo(rows, std::copy(onDisk.begin(), onDisk.end(), rows.Room(onDisk.size())));
    }
    char* const to = rows.Room(BoundedRoom<true>(line.data(), length));
    return CommitTo(rows, WriteRow<true>(line.data(), length, to));
}

}  // namespace

bool AppendReadLineOnDisk(std::string_view line, LeadByteTest isLeadByte, RowBuffer& row) {
    return AppendReadLine(line, isLeadByte, row);
}

bool AppendReadLineOnDisk(std::string_view line, LeadByteTest isLeadByte, TableOutput& output) {
    return AppendReadLine(line, isLeadByte, output);
}
