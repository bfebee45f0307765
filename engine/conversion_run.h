// The Convert command: the whole input file becomes one table appended to the
// output file.
#pragma once

#include <functional>
#include <memory>
#include <string>

class ConversionHost;
class InputFile;

// Opens the input for a run; returns null when it cannot be opened.
using InputOpener = std::function<std::unique_ptr<InputFile>(const std::string& path)>;

// Returns true when the run ended with "Done", false after any failure
// (which has then been reported through the host).
bool RunConversion(ConversionHost& host);

// Same, reading through `openInput` in blocks of `blockSize` bytes.
bool RunConversion(ConversionHost& host, const InputOpener& openInput, std::size_t blockSize);
