#include "row_converter.h"

#include <algorithm>
#include <array>
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

const byte_scan::ByteSet<1> kCommas(std::array<char, 1>{','});
const byte_scan::ByteSet<1> kQuotes(std::array<char, 1>{'"'});

// The first byte of `set` in [from, end), a range in the line that starts
// at `line`, or end. The last bytes of a line long enough are looked at in
// the block that ends with them.
template <std::size_t N>
const char* FindInLine(const byte_scan::ByteSet<N>& set, const char* line, const char* from,
                       const char* end) {
    while (static_cast<std::size_t>(end - from) >= byte_scan::kBlockSize) {
        const unsigned at = set.FirstIn(from);
        if (at < byte_scan::kBlockSize) return from + at;
        from += byte_scan::kBlockSize;
    }
    if (static_cast<std::size_t>(end - line) >= byte_scan::kBlockSize) {
        return from + set.FirstInTail(from, end);
    }
    return set.Find(from, end);
}

// Copies `size` bytes, reading and writing only those: short copies take a
// few overlapping moves instead of a call.
char* CopyBytes(char* to, const char* from, std::size_t size) {
    if (size > 64) {
        std::memcpy(to, from, size);
        return to + size;
    }
    for (; size >= 16; size -= 16, from += 16, to += 16) std::memcpy(to, from, 16);
    if (size >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + size - 4, from + size - 4, 4);
    } else {
        for (std::size_t i = 0; i < size; ++i) to[i] = from[i];
    }
    return to + size;
}

template <std::size_t N>
char* Put(char* to, std::string_view text) {
    std::memcpy(to, text.data(), N);
    return to + N;
}

// Copies a plain cell from `from` up to the next comma or `end`, and
// returns where it stopped. While 16 bytes of the line are left it copies
// a whole block and looks for the comma in it; that may write up to 15
// bytes past the cell, which the caller's tags then overwrite.
const char* CopyPlainCell(const char* line, const char* from, const char* end, char*& to) {
    while (static_cast<std::size_t>(end - from) >= byte_scan::kBlockSize) {
        const unsigned comma = kCommas.FirstIn(from);
        std::memcpy(to, from, byte_scan::kBlockSize);
        to += comma;
        from += comma;
        if (comma < byte_scan::kBlockSize) return from;
    }
    const char* const stop = FindInLine(kCommas, line, from, end);
    to = CopyBytes(to, from, static_cast<std::size_t>(stop - from));
    return stop;
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

QuotedCell FindQuotedCell(const char* line, const char* quote, const char* lineEnd) {
    QuotedCell cell{quote + 1, nullptr, nullptr};
    if (cell.begin != lineEnd && *cell.begin == ',') {
        cell.end = cell.stop = cell.begin;
        return cell;
    }
    // Quotes are rarer than commas in quoted text, so it looks for the
    // quote that a comma follows rather than for the comma.
    const char* const lastByte = lineEnd - 1;
    for (const char* from = cell.begin; from < lastByte;) {
        const char* const closing = FindInLine(kQuotes, line, from, lastByte);
        if (closing == lastByte) break;
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
            const QuotedCell cell = FindQuotedCell(line, from, end);
            size += static_cast<std::size_t>(cell.end - cell.begin);
            from = cell.stop;
        } else {
            const char* const comma = FindInLine(kCommas, line, from, end);
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

constexpr std::size_t kSlack = byte_scan::kBlockSize;  // for CopyPlainCell's last block

// The most of a long line's piece converted at once: the room for its worst
// case (about 11 bytes a byte) still fits in a buffered output's block.
constexpr std::size_t kWindow = std::size_t{64} * 1024;

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

// The same two for a line followed by at least 16 readable bytes: every
// step reads and copies a whole block, and only the line's end is checked.
const char* CopyPlainCellPadded(const char* from, const char* end, char*& to) {
    for (;;) {
        const unsigned comma = kCommas.FirstIn(from);
        std::memcpy(to, from, byte_scan::kBlockSize);
        const auto left = static_cast<std::size_t>(end - from);
        if (comma < byte_scan::kBlockSize || left <= byte_scan::kBlockSize) {
            const std::size_t size = std::min<std::size_t>(comma, left);
            to += size;
            return from + size;
        }
        to += byte_scan::kBlockSize;
        from += byte_scan::kBlockSize;
    }
}

// Copies the text of the quoted cell that opens at `quote` and returns where
// it stops, as FindQuotedCell finds them.
const char* CopyQuotedCellPadded(const char* quote, const char* end, char*& to) {
    const char* from = quote + 1;
    if (from != end && *from == ',') return from;  // "", the empty cell
    char* at = to;
    for (;;) {
        const unsigned found = kQuotes.FirstIn(from);
        std::memcpy(at, from, byte_scan::kBlockSize);
        const auto left = static_cast<std::size_t>(end - from);
        if (found >= left) {  // no closing quote: the cell runs to the end
            to = at + left;
            return end;
        }
        if (found < byte_scan::kBlockSize) {
            const char* const inner = from + found;
            // A last quote closes nothing and is dropped; one before a
            // comma closes the cell; any other is text.
            if (inner + 1 == end) {
                to = at + found;
                return end;
            }
            if (inner[1] == ',') {
                to = at + found;
                return inner + 1;
            }
            at += found + 1;
            from = inner + 1;
            continue;
        }
        at += byte_scan::kBlockSize;
        from += byte_scan::kBlockSize;
    }
}

// Writes the row of `line`, whose first `length` bytes are its trimmed part,
// at `to`, and returns its end. A row begun by WriteClosedCells goes on
// without its start.
template <bool kOnDisk, bool kRowBegun = false, bool kPadded = false>
char* WriteRow(const char* line, std::size_t length, char* to) {
    using Tags = RowTags<kOnDisk>;
    if (!kRowBegun) {
        to = Put<Tags::kRowStart.size()>(to, Tags::kRowStart);
        to = Put<Tags::kCellStart.size()>(to, Tags::kCellStart);
    }

    const char* const end = line + length;
    const char* from = line;
    for (;;) {
        if (kPadded) {
            from = from != end && *from == '"' ? CopyQuotedCellPadded(from, end, to)
                                               : CopyPlainCellPadded(from, end, to);
        } else if (from != end && *from == '"') {
            const QuotedCell cell = FindQuotedCell(line, from, end);
            to = CopyBytes(to, cell.begin, static_cast<std::size_t>(cell.end - cell.begin));
            from = cell.stop;
        } else {
            from = CopyPlainCell(line, from, end, to);
        }
        if (from == end) break;
        to = Put<Tags::kCellEnd.size()>(to, Tags::kCellEnd);
        to = Put<Tags::kCellStart.size()>(to, Tags::kCellStart);
        ++from;  // past the comma
    }
    return Put<Tags::kLastCellEnd.size()>(to, Tags::kLastCellEnd);
}

// Where the cell that starts at `from` ends in [line, end): at its closing
// comma, or at end when there is none (yet).
const char* CellEnd(const char* line, const char* from, const char* end) {
    if (from != end && *from == '"') return FindQuotedCell(line, from, end).stop;
    return FindInLine(kCommas, line, from, end);
}

bool FirstCellOpen(const char* line, const char* from, const char* end) {
    return CellEnd(line, from, end) == end;
}

// Writes at `to` the cells at the start of [piece, end) that a comma
// closes, each with the tags that open the next cell, and returns where the
// first cell still open starts. Such a cell is unknown until more of the
// line is read: a plain one may go on, a quoted one may yet be closed.
template <bool kOnDisk>
const char* WriteClosedCells(const char* piece, const char* end, char*& to) {
    using Tags = RowTags<kOnDisk>;
    const char* from = piece;
    for (;;) {
        const char* const cellStart = from;
        char* const cellTo = to;
        if (from != end && *from == '"') {
            const QuotedCell cell = FindQuotedCell(piece, from, end);
            if (cell.stop == end) return cellStart;
            to = CopyBytes(to, cell.begin, static_cast<std::size_t>(cell.end - cell.begin));
            from = cell.stop;
        } else {
            from = CopyPlainCell(piece, from, end, to);
            if (from == end) {
                to = cellTo;
                return cellStart;
            }
        }
        to = Put<Tags::kCellEnd.size()>(to, Tags::kCellEnd);
        to = Put<Tags::kCellStart.size()>(to, Tags::kCellStart);
        ++from;  // past the comma
    }
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
    // Most lines end in one LF after a byte that is neither white space nor
    // a lead byte that could pair with it.
    if (length >= 2 && line[length - 1] == '\n') {
        const auto last = static_cast<unsigned char>(line[length - 2]);
        if (!IsTrailingWhiteSpace(last) && !isLeadByte(last)) return length - 1;
    }
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

// `kPadded`: the line is followed by 16 readable bytes, as TextLineReader
// delivers it.
template <bool kRowBegun, bool kPadded, class Rows>
bool AppendReadLine(std::string_view line, LeadByteTest isLeadByte, Rows& rows) {
    const std::size_t length = TrimmedLength(line, isLeadByte);
    // The line's only LF is its last byte, so it is kept in a cell only
    // when a lead byte before it pairs with it; such a row takes the long
    // way, through the in-memory text.
    if (length == line.size() && length > 0 && line[length - 1] == '\n') {
        std::string onDisk = ToCrLf(ConvertLineToRow(std::string(line), isLeadByte));
        if (kRowBegun)
            onDisk.erase(0, RowTags<true>::kRowStart.size() + RowTags<true>::kCellStart.size());
        return CommitTo(rows, std::copy(onDisk.begin(), onDisk.end(), rows.Room(onDisk.size())));
    }
    char* const to = rows.Room(BoundedRoom<true>(line.data(), length));
    return CommitTo(rows, WriteRow<true, kRowBegun, kPadded>(line.data(), length, to));
}

}  // namespace

bool AppendReadLineOnDisk(std::string_view line, LeadByteTest isLeadByte, RowBuffer& row) {
    return AppendReadLine<false, false>(line, isLeadByte, row);
}

bool AppendReadLineOnDisk(std::string_view line, LeadByteTest isLeadByte, TableOutput& output) {
    return AppendReadLine<false, true>(line, isLeadByte, output);
}

bool AppendLastPieceOnDisk(std::string_view line, LeadByteTest isLeadByte, TableOutput& output) {
    return AppendReadLine<true, true>(line, isLeadByte, output);
}

bool AppendLinePieceOnDisk(std::string_view piece, bool& rowBegun, TableOutput& output,
                           std::size_t& used) {
    using Tags = RowTags<true>;
    constexpr std::size_t kCellTags = Tags::kCellStart.size() + Tags::kCellEnd.size();
    constexpr std::size_t kStart = Tags::kRowStart.size() + Tags::kCellStart.size();
    // Converted a window at a time, so that the room for a window's worst
    // case fits in the output's block.
    const char* from = piece.data();
    const char* const end = from + piece.size();
    while (from != end) {
        const char* windowEnd = from + std::min(kWindow, static_cast<std::size_t>(end - from));
        std::size_t room = static_cast<std::size_t>(windowEnd - from) * (1 + kCellTags);
        if (windowEnd != end && FirstCellOpen(piece.data(), from, windowEnd)) {
            // A cell longer than a window goes alone, once it is closed.
            const char* const comma = CellEnd(piece.data(), from, end);
            if (comma == end) break;
            windowEnd = comma + 1;
            room = static_cast<std::size_t>(windowEnd - from) + kCellTags;
        }
        char* const start = output.Room(kStart + room + kSlack);
        char* to = start;
        if (!rowBegun) {
            to = Put<Tags::kRowStart.size()>(to, Tags::kRowStart);
            to = Put<Tags::kCellStart.size()>(to, Tags::kCellStart);
        }
        const char* const rest = WriteClosedCells<true>(from, windowEnd, to);
        // The row begins with its first closed cell: a line that ends the
        // run before one is closed leaves nothing behind.
        if (rest == from) to = start;
        if (!CommitTo(output, to)) return false;
        if (rest == from) break;
        rowBegun = true;
        from = rest;
    }
    used = static_cast<std::size_t>(from - piece.data());
    return true;
}
