#include "row_converter.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "byte_scan.h"
#include "platform_file.h"
#include "row_cells.h"
#include "text_mode.h"

using namespace row_cells;

namespace {

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

void AppendLastPieceOnDisk(std::string_view line, LeadByteTest isLeadByte, RowBuffer& rows) {
    AppendReadLine<true, false>(line, isLeadByte, rows);
}
