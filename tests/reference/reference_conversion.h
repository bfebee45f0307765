// Plain, slow statements of how an input file becomes lines and a line
// becomes a row, kept apart from the engine's fast code so that the two can
// be checked against each other by the unit tests and the fuzz targets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The lines of an input file as text mode reads it: cut at the first Ctrl-Z,
// CR LF taken as LF, each LF ending a line, a non-empty rest the last line.
inline std::vector<std::string> ReferenceLines(std::string_view input) {
    input = input.substr(0, input.find('\x1A'));
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') continue;
        lines.back() += input[i];
        if (input[i] == '\n') lines.emplace_back();
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

// The row of one line, without a double-byte code page.

inline std::string ReferenceRow(const std::string& line) {
    std::size_t length = line.size();
    while (length > 0) {
        const unsigned char last = static_cast<unsigned char>(line[length - 1]);
        if (last != ' ' && (last < 0x09 || last > 0x0D)) break;
        --length;
    }
    std::string row = "<tr>\n";
    std::string cell;
    bool inQuote = false;
    bool atCellStart = true;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = line[i];
        if (atCellStart && c == '"') {
            inQuote = true;
            atCellStart = false;
        } else if (inQuote && c == ',' && line[i - 1] == '"') {
            if (!cell.empty()) cell.pop_back();  // the closing quote
            row += "<td>" + cell + "</td>\n";
            cell.clear();
            inQuote = false;
            atCellStart = true;
        } else if (!inQuote && c == ',') {
            row += "<td>" + cell + "</td>\n";
            cell.clear();
            atCellStart = true;
        } else {
            cell += c;
            atCellStart = false;
        }
    }
    // An unterminated quoted cell loses a closing quote, never data.
    if (inQuote && !cell.empty() && cell.back() == '"') cell.pop_back();
    return row + "<td>" + cell + "</td></tr>\n";
}
