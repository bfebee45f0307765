// Appends text to the host's output file, opening and closing it per call.
#pragma once

#include <string>
#include <string_view>

#include "table_output.h"

class ConversionHost;

// The output name used when the output box is empty.
inline constexpr char kDefaultOutputName[] = "db.csv";

// Sets an empty output path to kDefaultOutputName.
void DefaultTheOutputPath(ConversionHost& host);

// Refreshes the paths, defaults an empty output path, and appends `text`
// with each LF written as CR LF. On failure shows "Save to File" /
// "Error Writing File" once and returns false.
bool AppendToOutput(ConversionHost& host, const std::string& text);

// Same, for bytes that are already as they go on disk.
bool AppendBytesToOutput(ConversionHost& host, std::string_view bytes);

// A run's output that appends every piece with AppendBytesToOutput.
class AppendingOutput final : public TableOutput {
public:
    explicit AppendingOutput(ConversionHost& host) : m_host(host) {}

    bool Write(std::string_view piece) override { return AppendBytesToOutput(m_host, piece); }
    bool Finish() override { return true; }  // every piece is in the file already

private:
    ConversionHost& m_host;
};
