// Appends text to the host's output file, opening and closing it per call.
#pragma once

#include <string>

class ConversionHost;

// The output name used when the output box is empty.
inline constexpr char kDefaultOutputName[] = "db.csv";

// Sets an empty output path to kDefaultOutputName.
void DefaultTheOutputPath(ConversionHost& host);

// Refreshes the paths, defaults an empty output path, and appends `text`
// with each LF written as CR LF. On failure shows "Save to File" /
// "Error Writing File" once and returns false.
bool AppendToOutput(ConversionHost& host, const std::string& text);
