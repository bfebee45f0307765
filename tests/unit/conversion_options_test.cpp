// Runs under the converter's options: each option alone and the ones that
// interact, through a whole run over an in-memory input.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "conversion_run.h"
#include "messages.h"
#include "piece_collector.h"
#include "record_converter.h"
#include "row_buffer.h"
#include "test_support.h"
#include "text_mode.h"

using namespace std::string_literals;

namespace {

class DetailHost final : public RecordingHost {
public:
    DetailHost() : RecordingHost("in.csv", "out.htm") {}
    void ShowFailure(const std::string& text, const std::string& caption,
                     const std::string& detail) override {
        failures.push_back(caption + ": " + text + ": " + detail);
    }
    std::vector<std::string> failures;
};

struct Outcome {
    bool done;
    std::string table;
    std::vector<std::string> failures;
};

// A run on one thread, or, when the output takes part rows, on every core.
Outcome Convert(const ConversionOptions& options, const std::string& input,
                std::size_t blockSize = TextLineReader::kDefaultBlockSize,
                std::size_t chunk = 1 << 20, bool partRows = false, long long failAfter = -1) {
    DetailHost host;
    Outcome run{false, "", {}};
    run.done = RunConversion(
        host, options,
        [&](const std::string&) {
            return std::make_unique<MemoryInputFile>(input, chunk, failAfter);
        },
        [&](ConversionHost&) { return std::make_unique<PieceCollector>(run.table, partRows); },
        blockSize, [](const std::string&) { return std::nullopt; });
    run.failures = host.failures;
    return run;
}

std::string Repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i) repeated += text;
    return repeated;
}

// The table of rows given as cells, each LF in them written as CR LF; a row whose first cell starts
// with "!" is a header row (the "!" dropped).
std::string Table(const std::vector<std::vector<std::string>>& rows) {
    std::string table = "<table>";
    for (std::vector<std::string> cells : rows) {
        const bool header = !cells.empty() && cells[0].rfind("!", 0) == 0;
        if (header) cells[0].erase(0, 1);
        std::string row = Row(cells);
        if (header) {
            for (std::size_t at; (at = row.find("td>")) != std::string::npos;)
                row.replace(at, 3, "th>");
        }
        table += ToCrLf(row);
    }
    return table + "</table>";
}

ConversionOptions Options(CsvDialect dialect, char delimiter = ',', bool escape = false,
                          bool header = false, InputEncoding encoding = InputEncoding::Ansi) {
    ConversionOptions options;
    options.dialect = dialect;
    options.delimiter = delimiter;
    options.escapeHtml = escape;
    options.headerRow = header;
    options.encoding = encoding;
    return options;
}

constexpr CsvDialect kClassic = CsvDialect::Classic;
constexpr CsvDialect kRfc = CsvDialect::Rfc4180;
constexpr InputEncoding kUtf8 = InputEncoding::Utf8;
const std::string kBom = "\xEF\xBB\xBF";

const std::string kBlockHead(64 * 1024 - 4, 'a');

// An input, the options it is converted under and the rows expected.
struct OptionsCase {
    const char* name;
    ConversionOptions options;
    std::string input;
    std::vector<std::vector<std::string>> rows;
};

TEST(ConversionOptions, EachOptionAndTheirCombinations) {
    const OptionsCase cases[] = {
        // RFC 4180 alone.
        {"doubled quote is one", Options(kRfc), "\"a\"\"b\",c\n", {{"a\"b", "c"}}},
        {"delimiter and line breaks inside quotes",
         Options(kRfc),
         "\"x,\ny\",z\r\nw\n",
         {{"x,\ny", "z"}, {"w"}}},
        {"CR LF inside quotes stays one line end", Options(kRfc), "\"x\r\ny\"\r\n", {{"x\ny"}}},
        // A quoted field's CR LF across the end of the first 64 KiB read block.
        {"record across the read block",
         Options(kRfc),
         kBlockHead + ",\"x\r\ny\",z\r\nlast\r\n",
         {{kBlockHead, "x\ny", "z"}, {"last"}}},
        {"text after the closing quote joins the field",
         Options(kRfc),
         "\"ab\"cd,\"e\" ,f\n",
         {{"abcd", "e ", "f"}}},
        {"a quote inside an unquoted field is data",
         Options(kRfc),
         "a\"b,c\"\n",
         {{"a\"b", "c\""}}},
        {"spaces are data", Options(kRfc), " a , b \t\n", {{" a ", " b \t"}}},
        {"empty line and empty fields",
         Options(kRfc),
         "\n,\n\"\",\"\"\n",
         {{""}, {"", ""}, {"", ""}}},
        {"last line without line end", Options(kRfc), "a\nb,\"c\"", {{"a"}, {"b", "c"}}},
        {"lone CR is data", Options(kRfc), "a\rb,c\n", {{"a\rb", "c"}}},
        {"markup unescaped without --escape", Options(kRfc), "\"<b>&</b>\"\n", {{"<b>&</b>"}}},
        // The delimiter in both dialects, with quotes.
        {"classic: semicolons, quoted cell closes at quote-semicolon",
         Options(kClassic, ';'),
         "a;\"b;c\";d,e\n",
         {{"a", "b;c", "d,e"}}},
        {"classic: a quote before a comma does not close",
         Options(kClassic, ';'),
         "\"a\",b;c\n",
         {{"a\",b;c"}}},
        {"classic: trailing tab delimiters keep their empty cells",
         Options(kClassic, '\t'),
         "a\t\"b\tc\"\t \t\r\n",
         {{"a", "b\tc", " ", ""}}},
        {"rfc: tabs, a quoted tab and a comma",
         Options(kRfc, '\t'),
         "\"a\tb\"\tc,d\t\n",
         {{"a\tb", "c,d", ""}}},
        {"rfc: delimiter inside quotes across a line",
         Options(kRfc, ';'),
         "\"a;\nb\";c\n",
         {{"a;\nb", "c"}}},
        // Escaping, alone and with the header.
        {"classic escape",
         Options(kClassic, ',', true),
         "<b>x</b>,&'\",\"q\"\"\",z\n",
         {{"&lt;b&gt;x&lt;/b&gt;", "&amp;&#39;&quot;", "q&quot;&quot;", "z"}}},
        {"rfc escape with a delimiter that needs it",
         Options(kRfc, '&', true),
         "a&\"b&<\"&'\n",
         {{"a", "b&amp;&lt;", "&#39;"}}},
        {"escape with header",
         Options(kRfc, ',', true, true),
         "\"<Name>\",A&B\n<i>,2\n",
         {{"!&lt;Name&gt;", "A&amp;B"}, {"&lt;i&gt;", "2"}}},
        {"header on a record spanning lines",
         Options(kRfc, ',', false, true),
         "\"a\nb\",c\nd\n",
         {{"!a\nb", "c"}, {"d"}}},
        {"header, classic", Options(kClassic, ',', false, true), "a,b\nc\n", {{"!a", "b"}, {"c"}}},
        // Encodings and the byte-order mark, with the header.
        {"utf-8 drops the BOM before the header",
         Options(kClassic, ',', false, true, kUtf8),
         kBom + "Name,Age\n1,2\n",
         {{"!Name", "Age"}, {"1", "2"}}},
        {"utf-8 BOM then a quoted field",
         Options(kRfc, ',', false, true, kUtf8),
         kBom + "\"N,a\",b\n",
         {{"!N,a", "b"}}},
        {"ansi keeps the BOM",
         Options(kClassic, ',', false, true),
         kBom + "a\n",
         {{"!" + kBom + "a"}}},
        {"utf-8 drops only the first BOM",
         Options(kRfc, ',', false, false, kUtf8),
         kBom + "a\n" + kBom + "b\n",
         {{"a"}, {kBom + "b"}}},
        {"utf-8 BOM alone is an empty file", Options(kRfc, ',', false, false, kUtf8), kBom, {}},
    };
    for (const auto& c : cases) {
        const Outcome run = Convert(c.options, c.input);
        EXPECT_TRUE(run.done) << c.name;
        EXPECT_EQ(run.table, Table(c.rows)) << c.name;
        // Any split of the input into read blocks gives the same table, on
        // one thread or on every core.
        for (const std::size_t block : {1, 2, 3, 5}) {
            for (const bool partRows : {false, true}) {
                const Outcome split = Convert(c.options, c.input, block, 2, partRows);
                EXPECT_EQ(split.table, run.table)
                    << c.name << " " << block << (partRows ? " every core" : "");
                EXPECT_TRUE(split.done) << c.name << " " << block;
            }
        }
    }
}

TEST(ConversionOptions, SpecialBytesAtEveryPlaceInABlockAndAPiece) {
    // Lines are looked at 16 or 64 bytes at a time, the last 80 or fewer in
    // a padded copy, and lines over 4 KiB in 4 KiB pieces; on every core, a
    // block's lines in one pass, CR LF and all. Runs marked '@' of every
    // length move each special byte over every place in a block, the line's
    // end over the copy's edges, and a doubled quote across a piece.
    const OptionsCase cases[] = {
        {"rfc CR LF", Options(kRfc), "@\r\n\"@\r\n\"\r\n@\r", {{"@"}, {"@\n"}, {"@\r"}}},
        {"rfc", Options(kRfc), "@,\"a\"\"b\",c\n", {{"@", "a\"b", "c"}}},
        {"rfc quoted run", Options(kRfc), "\"@\"\"x,\"y\n", {{"@\"x,y"}}},
        {"rfc escape and header",
         Options(kRfc, ';', true, true),
         "@<;\"x;'\"&\nz\n",
         {{"!@&lt;", "x;&#39;&amp;"}, {"z"}}},
        {"rfc record over lines", Options(kRfc, '\t'), "@\t\"q\nr\"\ts", {{"@", "q\nr", "s"}}},
        {"rfc quote after data", Options(kRfc), "x@\"\n", {{"x@\""}}},
        {"rfc data after the closing quote", Options(kRfc), "\"@\"x\"y,z\n", {{"@x\"y", "z"}}},
        {"classic escape",
         Options(kClassic, ',', true),
         "@,\"a<b\",c'\n",
         {{"@", "a&lt;b", "c&#39;"}}},
        {"classic header",
         Options(kClassic, ';', false, true),
         "\"@\";x\"y;@\n",
         {{"!@", "x\"y", "@"}}},
    };
    const auto fill = [](std::string text, const std::string& run) {
        for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, run);
        return text;
    };
    for (const auto& c : cases) {
        for (std::size_t length = 0; length < 4110; length = length == 160 ? 4080 : length + 1) {
            const std::string run(length, 'p');
            std::vector<std::vector<std::string>> rows = c.rows;
            for (auto& row : rows) {
                for (auto& cell : row) cell = fill(cell, run);
            }
            for (const bool partRows : {false, true}) {
                const Outcome converted =
                    Convert(c.options, fill(c.input, run), TextLineReader::kDefaultBlockSize,
                            1 << 20, partRows);
                EXPECT_EQ(converted.table, Table(rows))
                    << c.name << " " << length << (partRows ? " every core" : "");
                EXPECT_TRUE(converted.done) << c.name << " " << length;
            }
        }
    }
}

TEST(ConversionOptions, UnclosedQuoteIsConvertedToTheEndAndReportedWithItsLine) {
    for (const bool header : {false, true}) {
        const Outcome run = Convert(Options(kRfc, ',', false, header), "a\r\nb,\"c,d\r\ne\r\n");
        // On every core, the quote opens in the second of three blocks.
        const Outcome blocks =
            Convert(Options(kRfc, ',', false, header), "a\r\nb,\"c,d\r\ne\r\n", 3, 3, true);
        EXPECT_EQ(blocks.table, run.table);
        EXPECT_EQ(blocks.failures, run.failures);
        EXPECT_FALSE(run.done);
        EXPECT_EQ(run.table, Table({{header ? "!a" : "a"}, {"b", "c,d\ne\n"}}));
        EXPECT_EQ(run.failures,
                  std::vector<std::string>{
                      "Quoted Field Not Closed: Read from File: in.csv: line 2: the quoted "
                      "field that opens here is still open at the end of the input"});
    }
    // The classic dialect has no such failure: the line's last byte is dropped as ever.
    EXPECT_TRUE(Convert(Options(kClassic, ';'), "\"a;b\n").done);
}

// On every core, each block of lines is converted as if it began a record
// and converted again when it did not: random records over lines, split
// into blocks of every size from one line up, with a byte-order mark and a
// header, must give the one-thread run's table and failures.
TEST(ConversionOptions, RecordsOverBlocksOnEveryCoreGiveTheOneThreadTable) {
    static const char kAlphabet[] = {',', '"', '"', '\n', '\r', 'a', 'b', '<', '&'};
    std::mt19937 random(11);
    for (int trial = 0; trial < 6; ++trial) {
        std::string input = kBom;
        for (int i = 0; i < 20000; ++i) input += kAlphabet[random() % sizeof kAlphabet];
        if (trial % 2 == 1) input += "\n\"unclosed,\n";
        const ConversionOptions options = Options(kRfc, ',', trial % 3 != 0, true, kUtf8);
        const Outcome run = Convert(options, input);
        for (const std::size_t block : {5, 64, 4096}) {
            for (const std::size_t chunk : {std::size_t{3}, std::size_t{1} << 20}) {
                const Outcome blocks = Convert(options, input, block, chunk, true);
                EXPECT_EQ(blocks.table, run.table) << trial << " " << block << " " << chunk;
                EXPECT_EQ(blocks.failures, run.failures) << trial << " " << block << " " << chunk;
            }
        }
    }
}

// A buffered run takes a line of 64 KiB or more in pieces and writes them as
// they come (under RFC 4180 its bytes, in the classic dialect its closed
// cells), or cuts it into parts converted side by side: quoted fields, a CR
// LF, trailing white space, a record begun on an earlier line and quotes
// that upset the count of those before a cut cross a piece's end, and the
// table and failures are a run's that holds each line whole.
TEST(ConversionOptions, LongLinesInPiecesGiveTheWholeLinesTable) {
    static const char kAlphabet[] = {',', ';', '"', '"', '\r', 'a', '<', ' ', '\t'};
    std::mt19937 random(5);
    std::string lines;
    for (int i = 1; i <= 400000; ++i) {
        lines += i % 100000 == 0 ? '\n' : kAlphabet[random() % sizeof kAlphabet];
    }
    // Read 4 KiB at a time, a line's first piece is its first 64 KiB.
    const std::string piece(64 * 1024 - 1, 'a');
    const struct {
        const char* name;
        std::string input;
    } cases[] = {
        {"random lines of 100 KB", lines},
        {"a CR LF across a piece's end", piece + "\r\nb\r\n"},
        {"a quoted CR LF across a piece's end", "\"" + piece.substr(1) + "\r\nb\",c\n"},
        {"a record begun on a short line", "x,\"y\n" + std::string(200000, 'q') + "\",z\n"},
        {"a byte-order mark and a long header", kBom + piece + piece + ",\"i\"\nj\n"},
        {"a last line without LF, every byte in pieces", std::string(2 * piece.size() + 2, 'e')},
        {"the same with its quote open", "\"" + std::string(2 * piece.size() + 1, 'e')},
        {"a quote never closed, after a long line",
         std::string(100000, 'l') + "\n\"" + std::string(150000, 'u')},
        {"white space and delimiters after a piece's end", piece + ",;\t \t;, \r\n"},
        {"a quoted cell closed after a piece's end, and one never closed",
         "\"" + piece + "\";\",\t\"" + piece + "\" \n"},
        {"a byte-order mark before a quoted cell longer than a piece",
         kBom + "\"a,;\t" + piece + "\",b\n"},
        {"the input's end right after a piece's last delimiter", piece + ","},
        {"a long line begun inside a quoted field", "x,\"y\n" + Repeat("a,;", 40000) + "\",z\n"},
        {"quotes inside unquoted fields", Repeat("x\"y,;\"z,;w,;", 15000) + "\n"},
    };
    for (const auto& c : cases) {
        for (const ConversionOptions& options :
             {Options(kRfc, ',', true, true, kUtf8), Options(kRfc, ';'),
              Options(kClassic, ',', true, true, kUtf8), Options(kClassic, '\t', true),
              Options(kClassic, ';'), Options(kClassic, '\r'), Options(kClassic, '"'),
              Options(kRfc, '\r')}) {
            const Outcome whole = Convert(options, c.input);
            for (const std::size_t block : {std::size_t{4096}, std::size_t{65536}}) {
                const Outcome pieces = Convert(options, c.input, block, 1 << 20, true);
                EXPECT_EQ(pieces.table, whole.table) << c.name << " " << block;
                EXPECT_EQ(pieces.failures, whole.failures) << c.name << " " << block;
            }
        }
    }
}

// A read error inside a long line's pieces in the classic dialect keeps the
// cells converted, in a closed row, and cuts the cell still open.
TEST(ConversionOptions, ReadErrorInsideALongLineClosesItsRow) {
    const std::string cell(70000, 'a');
    const Outcome run = Convert(Options(kClassic, ';', true), "x;\"" + cell + "\";" + cell + cell,
                                4096, 1 << 20, true, 150000);
    EXPECT_FALSE(run.done);
    EXPECT_TRUE(run.table ==
                "<table><tr>\r\n<td>x</td>\r\n<td>" + cell + "</td>\r\n<td></td></tr>\r\n</table>")
        << run.table.size() << " bytes";  // not the 70 KB
    ASSERT_EQ(run.failures.size(), 1u);
    EXPECT_EQ(run.failures[0].rfind(messages::kErrorReadingFile, 0), 0u) << run.failures[0];
}

TEST(ConversionOptions, DefaultEquivalentOptionsGiveTheDialogsBytes) {
    // Options that change nothing for this input take the general path and
    // must still give exactly the dialog's table.
    std::string input;
    for (int i = 0; i < 3000; ++i) {
        input += static_cast<char>("a,\"\" \r\n\t\x81\x1A\0xyz"[(i * 7919 + i / 13) % 15]);
    }
    const Outcome dialog = Convert(ConversionOptions(), input);
    EXPECT_EQ(Convert(Options(kClassic, ',', false, false, kUtf8), input).table, dialog.table);
    EXPECT_EQ(Convert(Options(kClassic, ',', true), "a,b c\n").table, Convert({}, "a,b c\n").table);
}

}  // namespace

TEST(ConversionOptions, ReadLinesGiveTheRowsOfAnyLines) {
    // Lines as the reader delivers them, padded, take a one-pass way through
    // the classic dialect's cells; any other line the general one. A lead
    // byte before the LF keeps the LF in the last cell, which only the
    // general way converts. The padding holds quotes and delimiters that
    // must not count.
    const LeadByteTest shiftJis = [](unsigned char b) {
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    };
    const std::string lines[] = {"a,b\n",
                                 "\"a,b\",c\n",
                                 "a;\x81\n",
                                 "\"x\x81\n",
                                 "a<b,\"c\"\"\",'&>\n",
                                 "a,b \t\r\n",
                                 "\",\"\n",
                                 "\"\"\",",
                                 "q,\"",
                                 "\"a\"b\",\"\"",
                                 ""};
    for (const char delimiter : {',', ';', '\t', '<'}) {
        for (const bool escape : {false, true}) {
            const ConversionOptions options = Options(kClassic, delimiter, escape, true);
            RecordConverter read(options, shiftJis, RecordConverter::From::InputStart,
                                 RecordConverter::Lines::Read);
            RecordConverter any(options, shiftJis);
            RowBuffer readRows;
            RowBuffer anyRows;
            for (const std::string& line : lines) {
                const std::string padded = line + std::string(TextLineReader::kPadding, '"') +
                                           std::string(TextLineReader::kPadding, delimiter);
                read.AddLine(std::string_view(padded.data(), line.size()), readRows);
                any.AddLine(line, anyRows);
            }
            EXPECT_EQ(readRows.View(), anyRows.View()) << delimiter << " " << escape;
            EXPECT_NE(anyRows.View().find("\x81\r\n</t"), std::string_view::npos);
        }
    }
}
