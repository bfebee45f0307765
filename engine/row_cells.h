// The cells of a row: finding where each ends and copying its text, a
// 16-byte block at a time. Shared by the converters of whole lines, of a
// long line's pieces and of the options; not part of the engine's interface.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "byte_scan.h"

namespace row_cells {

// The tags of a row with its line ends in memory (LF) or on disk (CR LF).
template <bool kOnDisk>
struct RowTags {
    static constexpr std::string_view kRowStart = kOnDisk ? "<tr>\r\n" : "<tr>\n";
    static constexpr std::string_view kCellStart = "<td>";
    static constexpr std::string_view kCellEnd = kOnDisk ? "</td>\r\n" : "</td>\n";
    static constexpr std::string_view kLastCellEnd = kOnDisk ? "</td></tr>\r\n" : "</td></tr>\n";
};

// The white space trimmed from a line's end: space and 0x09-0x0D.
inline bool IsTrailingWhiteSpace(unsigned char byte) {
    return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

// Writes a tag padded to 16 bytes with one 16-byte store, and returns the
// end of its `size` bytes: the room has slack for the padding, which what
// follows writes over.
inline char* PutTag(char* to, const char* tag, std::size_t size) {
    std::memcpy(to, tag, byte_scan::kBlockSize);
    return to + size;
}

// A row's tags on disk, each padded to 16 bytes for one PutTag store; a
// header row's th tags are as long as the td ones.
struct PaddedTags {
    char rowAndCellStart[byte_scan::kBlockSize];  // <tr> CR LF <td>
    char cellEndAndStart[byte_scan::kBlockSize];  // </td> CR LF <td>
    char lastCellEnd[byte_scan::kBlockSize];      // </td></tr> CR LF
    static constexpr std::size_t kRowAndCellStartSize =
        RowTags<true>::kRowStart.size() + RowTags<true>::kCellStart.size();
    static constexpr std::size_t kCellEndAndStartSize =
        RowTags<true>::kCellEnd.size() + RowTags<true>::kCellStart.size();
    static constexpr std::size_t kLastCellEndSize = RowTags<true>::kLastCellEnd.size();
};
inline constexpr PaddedTags kPaddedDataTags{"<tr>\r\n<td>", "</td>\r\n<td>", "</td></tr>\r\n"};

inline const byte_scan::ByteSet<1> kCommas(std::array<char, 1>{','});
inline const byte_scan::ByteSet<1> kQuotes(std::array<char, 1>{'"'});

// The first byte of `set` in [from, end), a range in the line that starts
// at `line`, or end. The last bytes of a line long enough are looked at in
// the block that ends with them.
template <std::size_t N>
inline const char* FindInLine(const byte_scan::ByteSet<N>& set, const char* line, const char* from,
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
inline char* CopyBytes(char* to, const char* from, std::size_t size) {
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

// Copies `size` bytes 16 at a time; it reads and writes up to 15 bytes past
// them, which the padding behind the lines and the room's slack allow.
inline char* CopyInBlocks(char* to, const char* from, std::size_t size) {
    char* const end = to + size;
    for (;;) {
        std::memcpy(to, from, byte_scan::kBlockSize);
        if (size <= byte_scan::kBlockSize) return end;
        to += byte_scan::kBlockSize;
        from += byte_scan::kBlockSize;
        size -= byte_scan::kBlockSize;
    }
}

// Which of the 16 bytes at `block` are in `set`, counting none at or past
// `end`: those may be read, but they are padding or left from earlier reads.
template <std::size_t N>
inline unsigned MaskBefore(const byte_scan::ByteSet<N>& set, const char* block, const char* end) {
    unsigned mask = set.MaskIn(block);
    if (const auto left = static_cast<std::size_t>(end - block); left < byte_scan::kBlockSize) {
        mask &= (1U << left) - 1;
    }
    return mask;
}

// The same for the 64 bytes at `block`, for any set with MaskIn.
template <class Set>
inline std::uint64_t WideMaskBefore(const Set& set, const char* block, const char* end) {
    std::uint64_t mask = byte_scan::WideMask(set, block);
    if (const auto left = static_cast<std::size_t>(end - block); left < byte_scan::kWideBlockSize) {
        mask &= (std::uint64_t{1} << left) - 1;
    }
    return mask;
}

template <std::size_t N>
inline char* Put(char* to, std::string_view text) {
    std::memcpy(to, text.data(), N);
    return to + N;
}

// Copies a plain cell from `from` up to the next comma or `end`, and
// returns where it stopped. While 16 bytes of the line are left it copies
// a whole block and looks for the comma in it; that may write up to 15
// bytes past the cell, which the caller's tags then overwrite.
inline const char* CopyPlainCell(const char* line, const char* from, const char* end, char*& to) {
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

inline QuotedCell FindQuotedCell(const char* line, const char* quote, const char* lineEnd) {
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

constexpr std::size_t kSlack = byte_scan::kBlockSize;  // for CopyPlainCell's last block

// The same two for a line followed by at least 16 readable bytes: every
// step reads and copies a whole block, and only the line's end is checked.
inline const char* CopyPlainCellPadded(const char* from, const char* end, char*& to) {
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
inline const char* CopyQuotedCellPadded(const char* quote, const char* end, char*& to) {
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

}  // namespace row_cells
