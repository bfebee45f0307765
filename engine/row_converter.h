// Turns one line of comma-separated text into the HTML text of one table row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "row_buffer.h"
#include "table_output.h"
#include "text_mode.h"

// Tells whether a byte starts a two-byte character in the ANSI code page.
using LeadByteTest = bool (*)(unsigned char);

// Uses the system's ANSI code page for lead bytes.
std::string ConvertLineToRow(const std::string& line);

// Same, with the lead-byte test supplied by the caller.
std::string ConvertLineToRow(const std::string& line, LeadByteTest isLeadByte);

// Appends to `out` the row of `line` as it goes on disk: ConvertLineToRow's
// text with every LF written as CR LF, made in one pass without the copy.
void AppendRowOnDisk(std::string_view line, LeadByteTest isLeadByte, std::string& out);

// Same, for a line as TextLineReader delivers it (an LF only as its last
// byte), added to `row` or straight to a table's output. False only when
// the output failed. The output's form reads up to TextLineReader::kPadding
// bytes past the line, which the reader provides.
bool AppendReadLineOnDisk(std::string_view line, LeadByteTest isLeadByte, RowBuffer& row);
bool AppendReadLineOnDisk(std::string_view line, LeadByteTest isLeadByte, TableOutput& output);

// A line too long to hold whole, converted as it is read: a piece of it
// (no LF yet) gives the cells that a comma closes; the first of them begins
// the row and sets `rowBegun`. `used` tells how many of its bytes were
// converted; the rest of the line is handed over again with what follows.
// The line's last piece, as TextLineReader delivers it, ends a begun row.
bool AppendLinePieceOnDisk(std::string_view piece, bool& rowBegun, TableOutput& output,
                           std::size_t& used);
bool AppendLastPieceOnDisk(std::string_view line, LeadByteTest isLeadByte, TableOutput& output);
void AppendLastPieceOnDisk(std::string_view line, LeadByteTest isLeadByte, RowBuffer& rows);

// Where a long line can be cut (a TextLineReader::LongLineCut): the length
// of the start of `piece`, which starts where a cell does, that ends right
// after a delimiter closing a cell; 0 when no cell in it is closed yet.
std::size_t ClosedCellsLength(const char* piece, std::size_t size, char delimiter = ',');
// The cells of such a start of a line, each with the tags that open the
// next one, after the row's start unless `rowBegun`. `piece` is followed by
// TextLineReader::kPadding readable bytes.
void AppendClosedCellsOnDisk(std::string_view piece, bool rowBegun, RowBuffer& rows);

// Length of `line` once trailing white space (space, 0x09-0x0D) is removed,
// stepping over each lead byte together with the byte after it.
std::size_t TrimmedLength(std::string_view line, LeadByteTest isLeadByte);
