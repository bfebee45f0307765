// libFuzzer target: a whole run under random options over random bytes.
// The first three bytes choose the options, the read block size and how
// much each read returns; the rest is the input. Besides surviving, the run
// must keep the properties below; a broken one aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_host.h"
#include "conversion_run.h"
#include "fuzz_support.h"
#include "messages.h"
#include "platform_file.h"
#include "reference_conversion.h"
#include "text_mode.h"

namespace {

// True when every < and > in `table` belongs to one of the table's tags.
bool OnlyTagsHoldAngleBrackets(std::string_view table) {
    static const std::string_view kTags[] = {"<table>", "</table>", "<tr>", "</tr>",
                                             "<td>",    "</td>",    "<th>", "</th>"};
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i] == '>') return false;
        if (table[i] != '<') continue;
        const auto tag = std::find_if(std::begin(kTags), std::end(kTags), [&](std::string_view t) {
            return table.substr(i, t.size()) == t;
        });
        if (tag == std::end(kTags)) return false;
        i += tag->size() - 1;
    }
    return true;
}

std::string DialogTable(std::string_view input) {
    std::string table = "<table>";
    for (const std::string& line : ReferenceLines(input)) table += ToCrLf(ReferenceRow(line));
    return table + "</table>";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const char kDelimiters[] = {',', ';', '\t', ' ', '|', '<', '&', '\'', '\r', 'a'};
    ConversionOptions options;
    options.dialect = data[0] & 1 ? CsvDialect::Rfc4180 : CsvDialect::Classic;
    options.escapeHtml = data[0] & 2;
    options.headerRow = data[0] & 4;
    options.encoding = data[0] & 8 ? InputEncoding::Utf8 : InputEncoding::Ansi;
    options.delimiter = kDelimiters[(data[0] >> 4) % sizeof kDelimiters];
    const std::size_t blockSize = 1 + data[1] % 32;
    const std::size_t chunk = 1 + data[2] % 64;
    const std::string_view input(reinterpret_cast<const char*>(data) + 3, size - 3);

    // On one thread, or on every core when the output takes part rows.
    const auto run = [&](QuietHost& host, std::string& table, bool partRows) {
        host.m_inputPath = "in.csv";
        host.m_outputPath = "out.htm";
        return RunConversion(
            host, options,
            [&](const std::string&) { return std::make_unique<MemoryInput>(input, chunk); },
            [&](ConversionHost&) { return std::make_unique<PieceCollector>(table, partRows); },
            blockSize, [](const std::string&) { return std::nullopt; });
    };
    QuietHost host;
    std::string table;
    const bool done = run(host, table, false);
    QuietHost blocksHost;
    std::string blocksTable;
    const bool blocksDone = run(blocksHost, blocksTable, true);
    Require(blocksDone == done && blocksTable == table && blocksHost.messages == host.messages,
            "a run on every core gives the same table and message as one on one thread");

    const std::string done_message = std::string(messages::kDone) + ": " + messages::kDone;
    const std::string unclosed =
        std::string(messages::kQuoteNotClosed) + ": " + messages::kReadFromFile;
    Require(host.messages.size() == 1, "the run shows one message");
    Require(done ? host.messages[0] == done_message
                 : options.dialect == CsvDialect::Rfc4180 && host.messages[0] == unclosed,
            "the run says Done, or (RFC 4180 only) that a quoted field was left open");
    Require(table.compare(0, 7, "<table>") == 0 && table.size() >= 15 &&
                table.compare(table.size() - 8, 8, "</table>") == 0,
            "the output is one whole table");
    if (options.escapeHtml) {
        Require(OnlyTagsHoldAngleBrackets(table), "with escaping, cell text holds no raw < or >");
    }
    const bool dialogOptions = options.dialect == CsvDialect::Classic && options.delimiter == ',' &&
                               !options.escapeHtml && !options.headerRow;
    if (dialogOptions && input.substr(0, 3) != "\xEF\xBB\xBF") {
        Require(table == DialogTable(input), "options that change nothing give the dialog's table");
    }
    return 0;
}
