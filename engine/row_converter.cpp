#include "row_converter.h"

#include "platform_file.h"

namespace {

bool IsTrailingWhiteSpace(unsigned char byte) {
    return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

void AppendCell(std::string& row, const std::string& line, std::size_t begin, std::size_t end,
                const char* closing) {
    row += "<td>";
    row.append(line, begin, end - begin);
    row += closing;
}

}  // namespace

std::size_t TrimmedLength(const std::string& line, LeadByteTest isLeadByte) {
    // A forward scan, so a double-byte character's trail byte is never
    // mistaken for white space.
    std::size_t keep = 0;
    std::size_t i = 0;
    const std::size_t length = line.size();
    while (i < length) {
        const unsigned char byte = static_cast<unsigned char>(line[i]);
        if (i + 1 < length && isLeadByte(byte)) {
            i += 2;
            keep = i;
        } else {
            ++i;
            if (!IsTrailingWhiteSpace(byte)) keep = i;
        }
    }
    return keep;
}

std::string ConvertLineToRow(const std::string& line) {
    return ConvertLineToRow(line, IsSystemLeadByte);
}

std::string ConvertLineToRow(const std::string& line, LeadByteTest isLeadByte) {
    const std::size_t length = TrimmedLength(line, isLeadByte);

    std::string row;
    row.reserve(length + 32);
    row += "<tr>\n";

    // A cell is always a contiguous run of the line, so it is kept as a
    // range rather than copied byte by byte.
    std::size_t cellBegin = 0;
    bool inQuote = false;
    bool atCellStart = true;

    for (std::size_t i = 0; i < length; ++i) {
        const char c = line[i];
        if (atCellStart && c == '"') {
            inQuote = true;
            cellBegin = i + 1;
            atCellStart = false;
        } else if (inQuote) {
            if (c == ',' && line[i - 1] == '"') {
                // The quote before the comma closes the cell and is dropped;
                // right after the opening quote the cell is simply empty.
                const std::size_t cellEnd = i > cellBegin ? i - 1 : cellBegin;
                AppendCell(row, line, cellBegin, cellEnd, "</td>\n");
                cellBegin = i + 1;
                inQuote = false;
                atCellStart = true;
            } else {
                atCellStart = false;
            }
        } else if (c == ',') {
            AppendCell(row, line, cellBegin, i, "</td>\n");
            cellBegin = i + 1;
            atCellStart = true;
        } else {
            atCellStart = false;
        }
    }

    std::size_t cellEnd = length;
    // An unterminated quoted cell loses only a closing quote, never data.
    if (inQuote && cellEnd > cellBegin && line[cellEnd - 1] == '"') --cellEnd;
    AppendCell(row, line, cellBegin, cellEnd, "</td></tr>\n");
    return row;
}
