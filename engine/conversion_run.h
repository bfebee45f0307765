// The Convert command: the whole input file becomes one table appended to the
// output file.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "conversion_options.h"
#include "platform_file.h"
#include "table_output.h"

class ConversionHost;

// Opens the input for a run; returns null when it cannot be opened.
using InputOpener = std::function<std::unique_ptr<InputFile>(const std::string& path)>;
// Makes the output a run writes its table to, for the host's output path.
using OutputOpener = std::function<std::unique_ptr<TableOutput>(ConversionHost& host)>;
// What file the output path names, if any: a run never writes into its input.
using OutputIdentifier = std::function<std::optional<FileIdentity>(const std::string& path)>;

// Returns true when the run ended with "Done", false after any failure
// (which has then been reported through the host). The dialog's runs append
// every row on its own (OutputMode::AppendEachPiece).
bool RunConversion(ConversionHost& host, OutputMode mode = OutputMode::AppendEachPiece);

// Same, reading through `openInput` in blocks of `blockSize` bytes and
// writing through the output that `openOutput` makes.
bool RunConversion(ConversionHost& host, const InputOpener& openInput,
                   const OutputOpener& openOutput, std::size_t blockSize);

// Same, converting under `options`; the default options take the dialog's
// own path and give its bytes. Under RFC 4180 a quoted field still open at
// the end of the input is converted up to there and the table closed, and
// the run reports it and returns false.
bool RunConversion(ConversionHost& host, const ConversionOptions& options,
                   const InputOpener& openInput, const OutputOpener& openOutput,
                   std::size_t blockSize, const OutputIdentifier& identifyOutput = IdentifyFile);
