#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <random>

#include "line_block_rows.h"
#include "reference_conversion.h"
#include "row_converter.h"
#include "test_support.h"
#include "text_mode.h"

using namespace std::string_literals;

namespace {

struct RowCase {
    const char* name;
    std::string line;
    std::string row;
};

std::ostream& operator<<(std::ostream& out, const RowCase& c) { return out << c.name; }

bool NoLeadBytes(unsigned char) { return false; }

// Code page 932 (Shift JIS).
bool ShiftJisLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

class WorkedExamples : public ::testing::TestWithParam<RowCase> {};

TEST_P(WorkedExamples, GiveExactRowText) {
    EXPECT_EQ(ConvertLineToRow(GetParam().line, NoLeadBytes), GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(
    RowConverter, WorkedExamples,
    ::testing::Values(
        RowCase{"plain", "a,b,c\n", "<tr>\n<td>a</td>\n<td>b</td>\n<td>c</td></tr>\n"},
        RowCase{"empty_line", "\n", "<tr>\n<td></td></tr>\n"},
        RowCase{"quoted_comma", "\"Smith, John\",42\n",
                "<tr>\n<td>Smith, John</td>\n<td>42</td></tr>\n"},
        RowCase{"trailing_comma", "a,\n", "<tr>\n<td>a</td>\n<td></td></tr>\n"},
        RowCase{"leading_comma", ",a\n", "<tr>\n<td></td>\n<td>a</td></tr>\n"},
        RowCase{"empty_middle", "a,,b\n", "<tr>\n<td>a</td>\n<td></td>\n<td>b</td></tr>\n"},
        RowCase{"doubled_quote_kept", "\"a\"\"b\",c\n", "<tr>\n<td>a\"\"b</td>\n<td>c</td></tr>\n"},
        RowCase{"empty_quoted", "\"\",x\n", "<tr>\n<td></td>\n<td>x</td></tr>\n"},
        // An unterminated quoted cell keeps its data.
        RowCase{"unterminated", "\"abc\n", "<tr>\n<td>abc</td></tr>\n"},
        RowCase{"unterminated_after_cell", "a,\"b,c\n", "<tr>\n<td>a</td>\n<td>b,c</td></tr>\n"},
        RowCase{"quote_comma_closes", "\"a\"\",b\",c\n",
                "<tr>\n<td>a\"</td>\n<td>b\"</td>\n<td>c</td></tr>\n"},
        RowCase{"triple_quotes", "\"\"\"a\"\"\",b\n",
                "<tr>\n<td>\"\"a\"\"</td>\n<td>b</td></tr>\n"},
        RowCase{"closing_quote_then_space", "\"abc\" ,x\n", "<tr>\n<td>abc\" ,x</td></tr>\n"},
        RowCase{"spaces", " a , b  \n", "<tr>\n<td> a </td>\n<td> b</td></tr>\n"},
        RowCase{"inner_quote_plain", "x\"y,z\n", "<tr>\n<td>x\"y</td>\n<td>z</td></tr>\n"},
        RowCase{"markup_unescaped", "<b>1</b>,&\n", "<tr>\n<td><b>1</b></td>\n<td>&</td></tr>\n"}));

class EdgeCases : public ::testing::TestWithParam<RowCase> {};

TEST_P(EdgeCases, GiveExactRowText) {
    EXPECT_EQ(ConvertLineToRow(GetParam().line, NoLeadBytes), GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(
    RowConverter, EdgeCases,
    ::testing::Values(RowCase{"empty_string", "", Row({""})},
                      RowCase{"white_space_only", " \t\r\v\f \n", Row({""})},
                      RowCase{"no_line_feed", "a,b", Row({"a", "b"})},
                      RowCase{"crlf_end", "a,b\r\n", Row({"a", "b"})},
                      RowCase{"trailing_mix_trimmed", "a\t \r\r\n", Row({"a"})},
                      RowCase{"inner_white_space_kept", "a\t\r b,\tc\n", Row({"a\t\r b", "\tc"})},
                      RowCase{"leading_white_space_kept", "  a\n", Row({"  a"})},
                      RowCase{"tab_separated_is_one_cell", "a\tb\tc\n", Row({"a\tb\tc"})},
                      RowCase{"high_bytes_not_white_space", "a\xA0\x85\n", Row({"a\xA0\x85"})},
                      RowCase{"lone_quote", "\"", Row({""})},
                      RowCase{"quote_comma_is_empty_quoted_cell", "\",\n", Row({"", ""})},
                      RowCase{"well_formed_last_quoted", "a,\"b,c\"\n", Row({"a", "b,c"})},
                      RowCase{"quoted_then_trailing_spaces", "\"b\"  \n", Row({"b"})},
                      RowCase{"quote_text_after_close", "\"ab\"cd,e\n", Row({"ab\"cd,e"})},
                      RowCase{"comma_in_quote_needs_quote_before", "\"a,b\",c,\"d\"\n",
                              Row({"a,b", "c", "d"})},
                      RowCase{"quote_not_first_does_not_open", "a\"b,c\"\n", Row({"a\"b", "c\""})},
                      RowCase{"empty_quoted_last", "a,\"\"\n", Row({"a", ""})},
                      // NUL is an ordinary byte, and the trim sees the whole line.
                      RowCase{"nul_in_cell", "a\0b\n"s, Row({"a\0b"s})},
                      RowCase{"nul_after_space", "a \0b\n"s, Row({"a \0b"s})},
                      RowCase{"white_space_after_nul_trimmed", "a\0 \r\n"s, Row({"a\0"s})},
                      RowCase{"nul_cells", "\0,\0\n"s, Row({"\0"s, "\0"s})}));

struct DbcsCase {
    const char* name;
    std::string line;
    std::string cell;
};

std::ostream& operator<<(std::ostream& out, const DbcsCase& c) { return out << c.name; }

class DoubleByteTrim : public ::testing::TestWithParam<DbcsCase> {};

TEST_P(DoubleByteTrim, NeverTakesATrailByteForWhiteSpace) {
    EXPECT_EQ(ConvertLineToRow(GetParam().line, ShiftJisLeadByte), Row({GetParam().cell}));
}

INSTANTIATE_TEST_SUITE_P(
    RowConverter, DoubleByteTrim,
    ::testing::Values(DbcsCase{"lead_then_space_keeps_space", "a\x81 \n", "a\x81 "},
                      DbcsCase{"lead_then_space_at_end", "\xE0 ", "\xE0 "},
                      DbcsCase{"space_after_whole_character_trimmed", "\x82\xA0  \n", "\x82\xA0"},
                      DbcsCase{"lead_then_line_feed_kept", "x\x9F\n", "x\x9F\n"},
                      DbcsCase{"lone_lead_at_end", "ab\xFC", "ab\xFC"},
                      DbcsCase{"characters_in_a_row", "\x81\x40\x81\x40 \x81 \r\n",
                               "\x81\x40\x81\x40 \x81 "},
                      DbcsCase{"non_lead_high_byte_then_space", "a\xA0 \n", "a\xA0"}));

TEST(DoubleByteTrim, WithoutLeadBytesTheSpaceGoes) {
    EXPECT_EQ(ConvertLineToRow("a\x81 \n", NoLeadBytes), Row({"a\x81"}));
}

TEST(RowConverter, LongLineConvertsWhole) {
    std::string cell(1 << 20, 'x');
    std::string line;
    for (int i = 0; i < 4; ++i) line += cell + ",";
    line += cell + "\n";
    EXPECT_EQ(ConvertLineToRow(line, NoLeadBytes), Row({cell, cell, cell, cell, cell}));
}

// Long lines take another path (their row's size is worked out first), so
// they are checked against the plain reference too, quotes and all.
TEST(RowConverter, LongLinesMatchTheReference) {
    static const char kAlphabet[] = {',', '"', ' ', '\t', '\r', 'a', 'b', '\0', '\x81'};
    std::mt19937 random(7);
    for (const std::size_t size : {std::size_t{70000}, std::size_t{300000}}) {
        for (int round = 0; round < 3; ++round) {
            std::string line(size, '\0');
            for (char& byte : line) byte = kAlphabet[random() % sizeof kAlphabet];
            if (round == 1) line += "\"\r\n";  // ends inside a quoted cell
            const std::string row = ConvertLineToRow(line, NoLeadBytes);
            EXPECT_EQ(row, ReferenceRow(line)) << size << " round " << round;
            std::string onDisk;
            AppendRowOnDisk(line, NoLeadBytes, onDisk);
            EXPECT_EQ(onDisk, ToCrLf(row)) << size << " round " << round;
        }
    }
}

// A run's rows are made from the reader's lines in room bounded without
// looking at the line: the bound's worst case (every byte a comma) on both
// sides of the long-line size, and the ends of a line that the faster scans
// could miss, give the same bytes as the string path.
TEST(RowConverter, ReadLinesGiveTheSameRowsOnDisk) {
    const std::string lines[] = {std::string(65535, ','),
                                 std::string(65536, ','),
                                 std::string(65537, ',') + "\n",
                                 ",\n",
                                 "a,b,\"c\"",
                                 "a,\"b,c\"\n",
                                 "a,b\r",
                                 "\"a,b\",c,\"\n",
                                 "x\x81\n",
                                 "\x81\n",
                                 std::string(100, 'a') + ",",
                                 "\"a\",",
                                 "\"a\"",
                                 "\"a\"\"\",b\"\n",
                                 "\",\"",
                                 "\""};
    for (const LeadByteTest isLeadByte : {NoLeadBytes, ShiftJisLeadByte}) {
        RowBuffer row;
        std::string expected;
        for (const std::string& line : lines) {
            AppendRowOnDisk(line, isLeadByte, expected);
            AppendReadLineOnDisk(line, isLeadByte, row);
            ASSERT_EQ(row.View(), expected) << line.size() << " bytes: " << line.substr(0, 12);
        }
    }
}

// A long line is cut only right after a comma that closes a cell, looked
// for from the piece's end; no cut is made only where no cell is closed.
// (The runs of small blocks over random lines check the cuts' rows.)
TEST(RowConverter, LongLinesAreCutAfterAClosedCell) {
    const struct {
        const char* piece;
        std::size_t cut;
    } cases[] = {
        {"abc", 0},          // no comma
        {"a,b,c", 4},        // no quote: the last comma
        {"a,\"b,c\",d", 8},  // after a closed quoted cell
        {"a,\"b,c", 2},      // before a quoted cell still open
        {"a\"b,c,d", 6},     // a quote in a plain cell: the cells are walked
        {"\"a,b,c", 0},      // one quoted cell, still open
        {"\",\"b,c", 2},     // an empty quoted cell, then one still open
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClosedCellsLength(c.piece, std::strlen(c.piece)), c.cut) << c.piece;
    }
    // Another delimiter: a comma is then text.
    EXPECT_EQ(ClosedCellsLength("a;\"b,c\";d", 9, ';'), 8u);
    EXPECT_EQ(ClosedCellsLength("a;\"b;c,d", 9, ';'), 2u);
}

// Blocks of lines are converted with their line ends found along the way,
// and the lines with something to trim handed to the converter above: each
// line gives the row it gives alone, a lead byte before its line end
// included.
TEST(RowConverter, BlocksOfLinesGiveEachLinesRow) {
    const std::string input =
        "a,b\nx\x81\n\x81\r\n\"a,\x81\",\x81\r\n,\n\n\r\nab \n\"\n"
        "\"a\",\"\"b\x81,\"c\"\nlast\x81";
    for (const LeadByteTest isLeadByte : {NoLeadBytes, ShiftJisLeadByte}) {
        std::string expected;
        for (const std::string& line : ReferenceLines(input)) {
            AppendRowOnDisk(line, isLeadByte, expected);
        }
        MemoryInputFile file(input);
        TextLineReader reader(file, std::nullopt);
        reader.GatherLines(input.size());
        TextLineReader::LineBlock block;
        RowBuffer rows;
        std::uint64_t lines = 0;
        while (reader.ReadLines(block) == TextLineReader::Lines::Block) {
            AppendLineBlockOnDisk(block, isLeadByte, rows, lines);
        }
        EXPECT_EQ(rows.View(), expected);
        EXPECT_EQ(lines, ReferenceLines(input).size());
    }
}

}  // namespace
