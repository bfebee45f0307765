// Inputs that are not clean text: every run must end, say "Done" and write
// exactly the rows of the lines that text mode gives, in each output mode.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "conversion_run.h"
#include "messages.h"
#include "reference_conversion.h"
#include "test_support.h"
#include "text_mode.h"

namespace {

const Message kDone{messages::kDone, messages::kDone};

std::string ReferenceTable(const std::string& input) {
    std::string table = "<table>";
    for (const std::string& line : ReferenceLines(input)) table += ToCrLf(ReferenceRow(line));
    return table + "</table>";
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string AllByteValues() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    for (int b = 255; b >= 0; --b) bytes += static_cast<char>(b);
    return bytes;
}

// Random bytes; without Ctrl-Z when `ctrlZ` is false, so that the input
// goes on past the first 256 bytes or so.
std::string RandomBytes(unsigned seed, std::size_t size, bool ctrlZ) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        do {
            byte = static_cast<char>(random() & 0xFF);
        } while (!ctrlZ && byte == '\x1A');
    }
    return bytes;
}

// Random lines of the bytes that matter most to the converter.
std::string RandomSyntax(unsigned seed, std::size_t size) {
    static const char kAlphabet[] = {',', '"', '\r', '\n', ' ', '\t', 'a', '\0', '\x81'};
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = kAlphabet[random() % sizeof kAlphabet];
    return bytes;
}

class BadInput : public ::testing::TestWithParam<OutputKind> {
protected:
    std::string Convert(const std::string& input,
                        std::size_t blockSize = TextLineReader::kDefaultBlockSize) {
        TempDir dir;
        WriteBytes(dir.File("in.csv"), input);
        RecordingHost host(dir.File("in.csv"), dir.File("out.htm"));
        EXPECT_TRUE(RunConversion(host, OpenInputFile, OutputOpenerFor(GetParam()), blockSize));
        EXPECT_EQ(host.messages, std::vector<Message>{kDone});
        return ReadBytes(dir.File("out.htm"));
    }
};

INSTANTIATE_TEST_SUITE_P(EachOutput, BadInput, ::testing::ValuesIn(kEachOutputKind),
                         [](const auto& info) { return OutputKindName(info.param); });

TEST_P(BadInput, ControlCharactersOnly) {
    const std::string emptyRow = "<tr>\r\n<td></td></tr>\r\n";
    const struct {
        const char* name;
        std::string input;
        std::string table;
    } cases[] = {
        {"only CRs: one last line of white space", Repeat("\r", 100000),
         "<table>" + emptyRow + "</table>"},
        {"only LFs: an empty row each", Repeat("\n", 1000),
         "<table>" + Repeat(emptyRow, 1000) + "</table>"},
        {"only CR LFs", Repeat("\r\n", 1000), "<table>" + Repeat(emptyRow, 1000) + "</table>"},
        {"only Ctrl-Z: nothing is read", Repeat("\x1A", 100000), "<table></table>"},
        {"LF CR: the CR starts the next line", Repeat("\n\r", 3),
         "<table>" + Repeat(emptyRow, 4) + "</table>"},
    };
    for (const auto& c : cases) EXPECT_EQ(Convert(c.input), c.table) << c.name;
}

TEST_P(BadInput, AllByteValues) {
    const std::string input = AllByteValues();
    // LF ends the first line, whose trailing TAB and LF go; Ctrl-Z ends the
    // input in the middle of the second, which becomes the last line.
    const std::string table = "<table>" + ToCrLf(Row({input.substr(0, 9)})) +
                              ToCrLf(Row({input.substr(11, 15)})) + "</table>";
    EXPECT_EQ(Convert(input), table);
    EXPECT_EQ(ReferenceTable(input), table);

    // Without Ctrl-Z every byte value reaches the converter, many times over.
    std::string withoutCtrlZ;
    for (const char byte : Repeat(input, 100)) {
        if (byte != '\x1A') withoutCtrlZ += byte;
    }
    EXPECT_EQ(Convert(withoutCtrlZ), ReferenceTable(withoutCtrlZ));
}

TEST_P(BadInput, RandomBytes) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        for (const bool ctrlZ : {true, false}) {
            const std::string input = RandomBytes(seed, 200000, ctrlZ);
            EXPECT_EQ(Convert(input), ReferenceTable(input))
                << "seed " << seed << " ctrl-z " << ctrlZ;
        }
        const std::string syntax = RandomSyntax(seed, 200000);
        EXPECT_EQ(Convert(syntax), ReferenceTable(syntax)) << "syntax seed " << seed;
    }
}

// A buffered run converts blocks of lines side by side: with small read
// blocks, thousands of blocks and long lines among them keep their order.
TEST_P(BadInput, ManySmallBlocksKeepTheirOrder) {
    const std::string input = RandomSyntax(7, 100000);
    for (const std::size_t block : {std::size_t{5}, std::size_t{64}, std::size_t{4096}}) {
        EXPECT_EQ(Convert(input, block), ReferenceTable(input)) << "block " << block;
    }
}

// The converter reads lines 64 bytes at a time, past their ends: commas
// and quotes at every place of a block, the second one's too, and next to
// the line's end, with the next line's bytes or none behind.
TEST_P(BadInput, CellEndsAtEveryPlaceOfABlock) {
    std::string input;
    for (int size = 0; size <= 136; ++size) {
        const std::string text(static_cast<std::size_t>(size), 'b');
        for (const std::string& line : {text + ",x", "\"" + text + "\",x", "\"" + text + "\"",
                                        "\"" + text, "x,\"" + text + "\"\"", "\"" + text + "\"q\",",
                                        text + ",", "\",\"" + text + ",\"" + text + "\" "}) {
            input += line + (size % 2 ? "\r\n" : "\n");
        }
    }
    EXPECT_EQ(Convert(input), ReferenceTable(input));
    const std::string last = "\"" + std::string(31, 'b') + "\"";  // no LF: the file's end
    EXPECT_EQ(Convert(input + last), ReferenceTable(input + last));
}

// A last line with no LF ends where the input ends, though the bytes just
// behind it in the reader's buffer are left from lines read before: so it
// is when the input's size is not known beforehand (a pipe), and the end
// is found by a read that returns nothing.
TEST_P(BadInput, LastLineEndsAtTheInputsEnd) {
    for (std::size_t block = 1; block <= 8; ++block) {
        for (std::size_t last = 1; last <= 6; ++last) {
            const std::string input =
                Repeat("a,\"b\",c\n", 5) + std::string("x,\"y\",z").substr(0, last);
            TempDir dir;
            RecordingHost host("in.csv", dir.File("out.htm"));
            const auto openInput = [&](const std::string&) -> std::unique_ptr<InputFile> {
                return std::make_unique<MemoryInputFile>(input, block);
            };
            EXPECT_TRUE(RunConversion(host, openInput, OutputOpenerFor(GetParam()), block));
            EXPECT_EQ(ReadBytes(dir.File("out.htm")), ReferenceTable(input))
                << "block " << block << ", last line of " << last;
        }
    }
}

// Lines longer than the pieces a buffered run reads a long line in: every
// kind of cell falls across the end of a piece, and single cells are longer
// than a piece, closed or not.
TEST_P(BadInput, LinesLongerThanAReadPiece) {
    const std::string cell = Repeat("ab c", 50000);  // 200,000 bytes
    const struct {
        const char* name;
        std::string input;
    } cases[] = {
        {"a long plain cell between short ones", "x," + cell + ",y\r\nz\n"},
        {"a long quoted cell with commas and quotes", "\"" + Repeat("a,\"b", 50000) + "\",y\n"},
        {"a long quoted cell never closed, then trailing blanks",
         "x,\"" + cell + "\"" + Repeat(" \t", 40000) + "\r\n"},
        {"a long line of white space", Repeat(" ", 150000) + "\n,"},
    };
    for (const auto& c : cases) EXPECT_EQ(Convert(c.input), ReferenceTable(c.input)) << c.name;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        // The syntax with one LF left in about 100,000 bytes.
        std::string syntax = RandomSyntax(seed, 400000);
        for (std::size_t i = 0; i < syntax.size(); ++i) {
            if (syntax[i] == '\n' && i % 100000 > 10) syntax[i] = 'a';
        }
        EXPECT_EQ(Convert(syntax), ReferenceTable(syntax)) << "syntax seed " << seed;
    }
}

}  // namespace
