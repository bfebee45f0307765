// A line too long to hold whole, converted piece by piece as it is read.
#include "row_converter.h"

#include <algorithm>
#include <cstddef>

#include "row_buffer.h"
#include "row_cells.h"

using namespace row_cells;

namespace {

// The most of a long line's piece converted at once: the room for its worst
// case (about 11 bytes a byte) still fits in a buffered output's block.
constexpr std::size_t kWindow = std::size_t{64} * 1024;

// Where the cell that starts at `from` ends: at the delimiter that closes
// it, or at end when there is none (yet). A quoted cell is closed only by a
// delimiter right after a quote, the opening one included.
const char* CellEnd(const char* from, const char* end, char delimiter = ',') {
    const char* stop = from;
    if (from != end && *from == '"') {
        do {
            stop = byte_scan::Find(stop + 1, end, delimiter);
        } while (stop && stop[-1] != '"');
    } else {
        stop = byte_scan::Find(from, end, delimiter);
    }
    return stop ? stop : end;
}

bool FirstCellOpen(const char* from, const char* end) { return CellEnd(from, end) == end; }

// Writes at `to` the cells at the start of [piece, end) that a comma
// closes, each with the tags that open the next cell, and returns where the
// first cell still open starts. Such a cell is unknown until more of the
// line is read: a plain one may go on, a quoted one may yet be closed.
// The commas are found in one pass, 64 bytes at a time, and a cell's end
// is found as the block converter finds it; written out in both, as a
// shared function made the block converter's loop 2% longer.
const char* WriteClosedCells(const char* piece, const char* end, char*& to) {
    const char* cellStart = piece;
    bool quoted = *piece == '"';
    const char* cell = piece + (quoted ? 1 : 0);
    for (const char* block = piece; block < end; block += byte_scan::kWideBlockSize) {
        for (std::uint64_t commas = WideMaskBefore(kCommas, block, end); commas != 0;
             commas &= commas - 1) {
            const char* const at = block + __builtin_ctzll(commas);
            if (!quoted) {
                to = CopyInBlocks(to, cell, static_cast<std::size_t>(at - cell));
            } else if (at[-1] == '"') {
                // Right after the opening quote, that quote closes an empty cell.
                to = CopyInBlocks(to, cell,
                                  at - 1 > cell ? static_cast<std::size_t>(at - 1 - cell) : 0);
            } else {
                continue;  // a comma inside the quotes
            }
            to = PutTag(to, kPaddedDataTags.cellEndAndStart, PaddedTags::kCellEndAndStartSize);
            cellStart = at + 1;
            if (cellStart == end) return end;
            quoted = *cellStart == '"';
            cell = cellStart + (quoted ? 1 : 0);
        }
    }
    return cellStart;
}

// The room for the cells of [from, end), each closed and the next opened,
// after the row's start: every byte may be a comma.
std::size_t ClosedCellsRoom(const char* from, const char* end) {
    return PaddedTags::kRowAndCellStartSize +
           static_cast<std::size_t>(end - from) * (1 + PaddedTags::kCellEndAndStartSize) + kSlack;
}

// The row's start, unless a part of its line before began it.
char* BeginRowUnless(bool rowBegun, char* to) {
    if (rowBegun) return to;
    return PutTag(to, kPaddedDataTags.rowAndCellStart, PaddedTags::kRowAndCellStartSize);
}

}  // namespace

std::size_t ClosedCellsLength(const char* piece, std::size_t size, char delimiter) {
    const char* const end = piece + size;
    const char* const comma = byte_scan::FindLast(piece, end, delimiter);
    if (!comma) return 0;
    // With no quote before it, every comma closes a cell. A comma right after
    // a quote closes one whatever came before it, and so then does every
    // comma up to the next quote. Both are found from the end, a few bytes
    // back on the common line; a quote that opens a cell still open may
    // take a look further back, for the last comma a quote comes before.
    const char* quote = byte_scan::FindLast(piece, comma, '"');
    if (!quote || quote[1] == delimiter) return static_cast<std::size_t>(comma + 1 - piece);
    while ((quote = byte_scan::FindLast(piece, quote, '"')) != nullptr) {
        if (quote[1] == delimiter) return static_cast<std::size_t>(quote + 2 - piece);
    }
    // Quotes but none before a comma: the cells are walked from the start.
    const char* closed = piece;
    for (const char* stop; (stop = CellEnd(closed, end, delimiter)) != end;) closed = stop + 1;
    return static_cast<std::size_t>(closed - piece);
}

void AppendClosedCellsOnDisk(std::string_view piece, bool rowBegun, RowBuffer& rows) {
    const char* const end = piece.data() + piece.size();
    char* to = BeginRowUnless(rowBegun, rows.Room(ClosedCellsRoom(piece.data(), end)));
    if (!piece.empty()) WriteClosedCells(piece.data(), end, to);
    rows.Commit(to);
}

bool AppendLinePieceOnDisk(std::string_view piece, bool& rowBegun, TableOutput& output,
                           std::size_t& used) {
    // Converted a window at a time, so that the room for a window's worst
    // case fits in the output's block.
    const char* from = piece.data();
    const char* const end = from + piece.size();
    while (from != end) {
        const char* windowEnd = from + std::min(kWindow, static_cast<std::size_t>(end - from));
        std::size_t room = ClosedCellsRoom(from, windowEnd);
        if (windowEnd != end && FirstCellOpen(from, windowEnd)) {
            // A cell longer than a window goes alone, once it is closed.
            const char* const comma = CellEnd(from, end);
            if (comma == end) break;
            windowEnd = comma + 1;
            room = PaddedTags::kRowAndCellStartSize + static_cast<std::size_t>(windowEnd - from) +
                   PaddedTags::kCellEndAndStartSize + kSlack;
        }
        char* const start = output.Room(room);
        char* to = BeginRowUnless(rowBegun, start);
        const char* const rest = WriteClosedCells(from, windowEnd, to);
        // The row begins with its first closed cell: a line that ends the
        // run before one is closed leaves nothing behind.
        if (rest == from) to = start;
        if (!output.Commit(to)) return false;
        if (rest == from) break;
        rowBegun = true;
        from = rest;
    }
    used = static_cast<std::size_t>(from - piece.data());
    return true;
}
