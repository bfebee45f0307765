// The converter's command line: what it asks for, or why it is wrong.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "conversion_options.h"
#include "table_output.h"

inline constexpr char kUsageLine[] = "usage: quillbar-convert [OPTION]... [--] INPUT [OUTPUT]";

struct CommandOptions {
    enum class Action { Convert, Help, Version };
    Action action = Action::Convert;
    std::string inputPath;   // "-": standard input
    std::string outputPath;  // "-": standard output; empty: db.csv
    OutputMode outputMode = OutputMode::AppendEachPiece;
    ConversionOptions conversion;
    bool progress = false;
};

struct ParsedCommandLine {
    std::optional<CommandOptions> options;  // empty when the arguments are wrong
    std::string error;                      // then: why, in one line
};

// Parses the arguments that follow the program's name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage line and every option, for --help.
void PrintHelp(std::FILE* out);
