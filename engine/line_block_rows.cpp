#include "line_block_rows.h"

#include "byte_scan.h"
#include "row_cells.h"
#include "row_converter.h"

using namespace row_cells;

namespace {

const byte_scan::ByteSet<2> kCellAndLineEnds(std::array<char, 2>{',', '\n'});

// A row written by WriteCommonRow takes at most this many bytes per byte of
// its line (",\n" gives 33 bytes), and writes up to kSlack bytes past it.
constexpr std::size_t kMostPerLineByte = 17;

// Writes at `to` the row of the line that starts at `line` and ends at its
// first LF before `end`, and returns where the next line starts. Its cells
// and its end are found in one pass, 64 bytes at a time. Only the common
// line is done here: one whose LF (or CR LF) follows a byte that is neither
// white space nor a lead byte, so there is nothing else to trim. For any
// other, and for a last line with no LF, it returns null and whatever it
// wrote does not count.
const char* WriteCommonRow(const char* line, const char* end, LeadByteTest isLeadByte, char*& to) {
    char* out = PutTag(to, kPaddedDataTags.rowAndCellStart, PaddedTags::kRowAndCellStartSize);
    // A quoted cell's text starts after its quote; only a quote before a
    // comma closes it.
    bool quoted = *line == '"';
    const char* cell = line + (quoted ? 1 : 0);
    for (const char* block = line; block < end; block += byte_scan::kWideBlockSize) {
        for (std::uint64_t found = WideMaskBefore(kCellAndLineEnds, block, end); found != 0;
             found &= found - 1) {
            const char* const at = block + __builtin_ctzll(found);
            if (*at == ',') {
                if (!quoted) {
                    out = CopyInBlocks(out, cell, static_cast<std::size_t>(at - cell));
                } else if (at[-1] == '"') {
                    // Right after the opening quote, that quote closes an empty cell.
                    out = CopyInBlocks(out, cell,
                                       at - 1 > cell ? static_cast<std::size_t>(at - 1 - cell) : 0);
                } else {
                    continue;  // a comma inside the quotes
                }
                out =
                    PutTag(out, kPaddedDataTags.cellEndAndStart, PaddedTags::kCellEndAndStartSize);
                quoted = at[1] == '"';
                cell = at + 1 + (quoted ? 1 : 0);
                continue;
            }
            const char* stop = at;  // the LF; a CR before it goes as well
            if (stop > line && stop[-1] == '\r') --stop;
            if (stop == line) return nullptr;
            const auto last = static_cast<unsigned char>(stop[-1]);
            // No code page has a lead byte below 0x80: the test is left
            // for the rare line that ends in one, as it is a call per row.
            if (IsTrailingWhiteSpace(last) || (last >= 0x80 && isLeadByte(last))) return nullptr;
            // A quoted cell never closed runs to the end, less a last quote.
            if (quoted && stop > cell && stop[-1] == '"') --stop;
            out = CopyInBlocks(out, cell, stop > cell ? static_cast<std::size_t>(stop - cell) : 0);
            to = PutTag(out, kPaddedDataTags.lastCellEnd, PaddedTags::kLastCellEndSize);
            return at + 1;
        }
    }
    return nullptr;
}

}  // namespace

void AppendLineBlockOnDisk(TextLineReader::LineBlock& block, LeadByteTest isLeadByte,
                           RowBuffer& rows, std::uint64_t& lines) {
    // A long line's parts: the cells up to a cut, then the rest of its row.
    if (block.EndsInLine()) {
        AppendClosedCellsOnDisk(std::string_view(block.Next(), block.Size()), block.ContinuesLine(),
                                rows);
        block.SkipTo(block.End());
        return;
    }
    if (block.ContinuesLine()) {
        std::string_view rest;
        if (!block.NextLine(rest)) return;
        AppendLastPieceOnDisk(rest, isLeadByte, rows);
        ++lines;
    }
    for (;;) {
        const char* line = block.Next();
        const char* const end = block.End();
        if (line == end) return;
        // Room for every row the rest of the block could make, made once;
        // its pages are touched only where rows are written. The first
        // block's room is made for blocks up to twice as large, so that the
        // buffer is not moved, and new pages touched, for the next one.
        rows.ExpectAbout(2 * kMostPerLineByte * static_cast<std::size_t>(end - line));
        char* to = rows.Room(kMostPerLineByte * static_cast<std::size_t>(end - line) + kSlack);
        while (line != end) {
            const char* const next = WriteCommonRow(line, end, isLeadByte, to);
            if (!next) break;
            line = next;
            ++lines;
        }
        rows.Commit(to);
        block.SkipTo(line);
        if (line == end) return;
        // Any other line takes the whole converter.
        std::string_view whole;
        block.NextLine(whole);
        AppendReadLineOnDisk(whole, isLeadByte, rows);
        ++lines;
    }
}
