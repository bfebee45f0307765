// The rows of a block of whole lines, as a run on every core converts them.
#pragma once

#include <cstdint>

#include "row_buffer.h"
#include "row_converter.h"
#include "text_mode.h"

// Adds to `rows` the rows on disk of every line of `block`, as
// AppendReadLineOnDisk makes them, or of the part of a long line it holds;
// `lines` counts the lines whose rows are ended, so that it tells which
// line a failure stopped at.
void AppendLineBlockOnDisk(TextLineReader::LineBlock& block, LeadByteTest isLeadByte,
                           RowBuffer& rows, std::uint64_t& lines);
