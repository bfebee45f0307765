// The rows under options other than the dialog's, where a record may span
// lines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "conversion_options.h"
#include "rows_outcome.h"

class ConversionHost;
class InputFile;
class TableOutput;

// Record after record, on one thread. `lineNumber` is the line being read,
// for a line that does not fit in memory, which is thrown.
RowsResult WriteRecords(ConversionHost& host, InputFile& input, TableOutput& output,
                        std::size_t blockSize, const ConversionOptions& options,
                        std::uint64_t& lineNumber);

// The same bytes on every core, for an output that takes part rows. Each
// block of lines is converted as if it began a record; a block that in fact
// begins inside a quoted field, found out once the blocks before it are
// written, is converted again, line by line, from where they left off.
RowsResult WriteRecordsInBlocks(ConversionHost& host, InputFile& input, TableOutput& output,
                                std::size_t blockSize, const ConversionOptions& options,
                                std::uint64_t& lineNumber);
