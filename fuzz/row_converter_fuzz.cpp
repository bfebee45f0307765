// libFuzzer target: any bytes as one line. Besides surviving every input,
// the converter must keep the properties below; a broken one aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reference_conversion.h"
#include "row_converter.h"
#include "text_mode.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }
bool ShiftJisLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

void Require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void CheckRow(const std::string& line, LeadByteTest isLeadByte) {
    const std::string row = ConvertLineToRow(line, isLeadByte);
    Require(StartsWith(row, "<tr>\n"), "the row starts with <tr> and LF");
    Require(EndsWith(row, "</td></tr>\n"), "the row ends with </td></tr> and LF");

    std::string onDisk = "kept:";
    AppendRowOnDisk(line, isLeadByte, onDisk);
    Require(onDisk == "kept:" + ToCrLf(row), "the row on disk is the row with CR LF line ends");

    // A run's lines hold an LF only at their end.
    const std::size_t lineFeed = line.find('\n');
    const std::string readLine =
        lineFeed == std::string::npos ? line : line.substr(0, lineFeed + 1);
    RowBuffer readRow;
    AppendReadLineOnDisk("kept:", isLeadByte, readRow);
    AppendReadLineOnDisk(readLine, isLeadByte, readRow);
    std::string expected;
    AppendRowOnDisk("kept:", isLeadByte, expected);
    AppendRowOnDisk(readLine, isLeadByte, expected);
    Require(readRow.View() == expected, "a read line's row is the same on both paths");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    CheckRow(line, NoLeadBytes);
    CheckRow(line, ShiftJisLeadByte);

    const std::string row = ConvertLineToRow(line, NoLeadBytes);
    Require(row == ReferenceRow(line), "the row is the reference converter's");
    for (const char* whiteSpace : {" ", "\t", "\n", "\r\n", " \t\v\f\r\n"}) {
        Require(ConvertLineToRow(line + whiteSpace, NoLeadBytes) == row,
                "trailing white space does not change the row");
    }
    return 0;
}
