#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_scan.h"
#include "test_support.h"
#include "text_mode.h"

using namespace std::string_literals;

namespace {

TEST(ToCrLf, TranslatesOnlyLineFeeds) {
    const struct {
        std::string text;
        std::string disk;
    } cases[] = {
        {"", ""},
        {"\n", "\r\n"},
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\r\n", "a\r\r\n"},  // a CR in the text is written as it is
        {"\r", "\r"},
        {"\n\n", "\r\n\r\n"},
        {"x\0\n\x1A"s, "x\0\r\n\x1A"s},
    };
    for (const auto& c : cases) EXPECT_EQ(ToCrLf(c.text), c.disk) << c.text;
}

// A long line can be cut after its last comma.
std::size_t UpToLastComma(const char* piece, std::size_t size) {
    return std::string_view(piece, size).find_last_of(',') + 1;  // npos + 1: nothing
}

// What a reader delivers, one entry per line: "L:" whole line, "R:" last
// line without LF, "E" end, "X" error, and with `pieceSize` set "P:" a piece,
// of which everything up to its last comma is used. With `gather` set, lines
// are taken a block at a time (ReadLines), and a long line with ReadLine;
// with `cut` set too, "C:" is a block of a long line up to a cut, and "+"
// marks a block that continues a line.
std::vector<std::string> ReadAll(InputFile& file, std::size_t blockSize,
                                 std::optional<std::uint64_t> limit = std::nullopt,
                                 std::size_t pieceSize = 0, std::size_t gather = 0,
                                 TextLineReader::LongLineCut cut = nullptr) {
    TextLineReader reader(file, limit, blockSize);
    if (pieceSize > 0) reader.OfferPieces(pieceSize);
    if (gather > 0) reader.GatherLines(gather);
    if (cut) reader.CutLongLines(cut);
    std::vector<std::string> seen;
    std::string_view line;
    TextLineReader::LineBlock block;
    bool inLongLine = false;
    for (int guard = 0; guard < 1000; ++guard) {
        if (gather > 0 && !inLongLine) {
            switch (reader.ReadLines(block)) {
            case TextLineReader::Lines::Block: {
                std::string mark = block.ContinuesLine() ? "+" : "";
                if (block.EndsInLine()) {
                    seen.push_back(mark + "C:" + std::string(block.Next(), block.Size()));
                    continue;
                }
                while (block.NextLine(line)) {
                    seen.push_back(mark + (line.back() == '\n' ? "L:" : "R:") + std::string(line));
                    mark.clear();
                }
                continue;
            }
            case TextLineReader::Lines::LongLine:
                break;
            case TextLineReader::Lines::End:
                seen.push_back("E");
                return seen;
            case TextLineReader::Lines::Error:
                seen.push_back("X");
                return seen;
            }
        }
        inLongLine = true;
        switch (reader.ReadLine(line)) {
        case TextLineReader::Result::Piece:
            seen.push_back("P:" + std::string(line));
            reader.Consume(UpToLastComma(line.data(), line.size()));
            break;
        case TextLineReader::Result::Line:
            seen.push_back("L:" + std::string(line));
            inLongLine = false;
            break;
        case TextLineReader::Result::LastLine:
            seen.push_back("R:" + std::string(line));
            inLongLine = false;
            break;
        case TextLineReader::Result::End:
            seen.push_back("E");
            return seen;
        case TextLineReader::Result::Error:
            seen.push_back("X");
            return seen;
        }
    }
    seen.push_back("runaway");
    return seen;
}

struct ReadCase {
    const char* name;
    std::string disk;
    std::vector<std::string> delivered;
};

std::ostream& operator<<(std::ostream& out, const ReadCase& c) { return out << c.name; }

class TextReading : public ::testing::TestWithParam<ReadCase> {};

// Every block size from one byte up, so CR LF pairs and Ctrl-Z fall on
// every possible boundary; line by line and a block of lines at a time.
TEST_P(TextReading, SameLinesForEveryBlockSize) {
    for (std::size_t block = 1; block <= 9; ++block) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{64}}) {
            for (std::size_t gather : {std::size_t{0}, 2 * block}) {
                MemoryInputFile file(GetParam().disk, chunk);
                EXPECT_EQ(ReadAll(file, block, std::nullopt, gather > 0 ? 1000 : 0, gather),
                          GetParam().delivered)
                    << "block " << block << ", chunk " << chunk << ", gather " << gather;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    TextLineReader, TextReading,
    ::testing::Values(
        ReadCase{"empty", "", {"E"}}, ReadCase{"lf_lines", "a\nb\n", {"L:a\n", "L:b\n", "E"}},
        ReadCase{"crlf_lines", "a\r\nb\r\n", {"L:a\n", "L:b\n", "E"}},
        ReadCase{"empty_lines", "\r\n\n\r\n", {"L:\n", "L:\n", "L:\n", "E"}},
        ReadCase{"lone_cr_kept", "a\rb\n", {"L:a\rb\n", "E"}},
        ReadCase{"cr_cr_lf", "a\r\r\nb", {"L:a\r\n", "R:b", "E"}},
        ReadCase{"cr_at_end", "a\r", {"R:a\r", "E"}},
        ReadCase{"last_line_unterminated", "a\nbc", {"L:a\n", "R:bc", "E"}},
        ReadCase{"ctrl_z_ends_input",
                 "a\nb\x1A"
                 "c\nd\n",
                 {"L:a\n", "R:b", "E"}},
        ReadCase{"ctrl_z_after_lf",
                 "a\r\n\x1A"
                 "b\r\n",
                 {"L:a\n", "E"}},
        ReadCase{"ctrl_z_first",
                 "\x1A"
                 "a\n",
                 {"E"}},
        ReadCase{"cr_then_ctrl_z", "a\r\x1A\n", {"R:a\r", "E"}},
        ReadCase{"nul_is_data", "a\0b\r\n"s, {"L:a\0b\n"s, "E"}},
        // The buffer grows for the long line and shrinks back after it.
        ReadCase{"long_line_then_short_ones",
                 "0123456789abcdefghij\r\nk\r\n\r\nlmnopqrstuvwxyz\r",
                 {"L:0123456789abcdefghij\n", "L:k\n", "L:\n", "R:lmnopqrstuvwxyz\r", "E"}}));

// The word-at-a-time scan that the Windows builds use instead of memchr:
// the wanted byte at every place of every word and range, among its
// neighbouring values and bytes with the high bit set.
TEST(ByteScan, FindInWordsFindsWhatMemchrFinds) {
    for (const unsigned char wanted : {0x0Au, 0x1Au, 0x00u, 0x80u, 0xFFu}) {
        std::string bytes(40, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const unsigned char others[] = {static_cast<unsigned char>(wanted - 1),
                                            static_cast<unsigned char>(wanted + 1), 0x7F, 0xFE};
            bytes[i] = static_cast<char>(others[i % 4] == wanted ? 0x41 : others[i % 4]);
        }
        for (std::size_t at = 0; at <= bytes.size(); ++at) {
            std::string text = bytes;
            if (at < text.size()) text[at] = static_cast<char>(wanted);
            for (std::size_t from = 0; from < 9; ++from) {
                for (std::size_t end = from; end <= text.size(); ++end) {
                    const char* const data = text.data();
                    const void* expected = std::memchr(data + from, wanted, end - from);
                    EXPECT_EQ(
                        byte_scan::FindInWords(data + from, data + end, static_cast<char>(wanted)),
                        expected)
                        << "byte " << int{wanted} << " at " << at << " in [" << from << ", " << end
                        << ")";
                }
            }
        }
    }
}

// The 16- and 64-byte block scans: each member of a set at every place of
// a block and of ranges around it, among bytes that differ from it in one
// bit.
TEST(ByteScan, ByteSetFindsTheFirstMemberOfItsSet) {
    const std::array<char, 3> members{',', '"', '\x80'};
    const byte_scan::ByteSet<3> set(members);
    for (const char wanted : members) {
        for (std::size_t at = 0; at <= 70; ++at) {
            std::string text(70, static_cast<char>(wanted ^ 1));
            text[5] = static_cast<char>(wanted ^ 0x7F);
            if (at < text.size()) text[at] = wanted;
            const char* const data = text.data();
            const std::size_t expected = std::min(at, text.size());
            EXPECT_EQ(set.FirstIn(data), std::min<std::size_t>(expected, byte_scan::kBlockSize))
                << int{wanted} << " at " << at;
            // The mask has a bit for every member, the block's last byte too.
            const unsigned bit = at < byte_scan::kBlockSize ? 1U << at : 0U;
            EXPECT_EQ(set.MaskIn(data), bit) << int{wanted} << " at " << at;
            std::string two = text;
            two[15] = members[0];
            EXPECT_EQ(set.MaskIn(two.data()), bit | 1U << 15) << int{wanted} << " at " << at;
            const std::uint64_t wideBit =
                at < byte_scan::kWideBlockSize ? std::uint64_t{1} << at : 0U;
            two[63] = members[0];
            EXPECT_EQ(set.WideMaskIn(two.data()),
                      wideBit | std::uint64_t{1} << 15 | std::uint64_t{1} << 63)
                << int{wanted} << " at " << at;
            for (std::size_t from = 0; from < 3; ++from) {
                for (std::size_t end = from; end <= text.size(); ++end) {
                    const char* const found = set.Find(data + from, data + end);
                    const std::size_t want = at >= from && at < end ? at : end;
                    EXPECT_EQ(found - data, static_cast<std::ptrdiff_t>(want))
                        << int{wanted} << " at " << at << " in [" << from << ", " << end << ")";
                }
            }
        }
    }
}

// A long line in pieces: what is used is not offered again, what is not
// comes back when more has been read, or with the line's end, and a piece
// that cannot be used waits until it has doubled.
TEST(TextLineReader, LongLinesComeInPieces) {
    const struct {
        std::string disk;
        std::vector<std::string> delivered;
    } cases[] = {
        {"ab,cd,ef\r\ngh\n", {"P:ab,c", "P:cd,e", "L:ef\n", "L:gh\n", "E"}},
        {"abcdefghij,k", {"P:abcd", "P:abcdefgh", "R:abcdefghij,k", "E"}},
        {"a,b", {"R:a,b", "E"}},
    };
    for (const auto& c : cases) {
        for (const std::size_t gather : {0, 2}) {
            MemoryInputFile file(c.disk);
            EXPECT_EQ(ReadAll(file, 2, std::nullopt, 4, gather), c.delivered)
                << c.disk << ", gather " << gather;
        }
    }
}

// A long line cut into blocks: a block ends at a cut and the next one
// continues the line; a line with no place to cut is read on with ReadLine,
// and a read error or the input's end may come right after a cut.
TEST(TextLineReader, LongLinesAreCutIntoBlocks) {
    const struct {
        std::string disk;
        std::size_t failAt;
        std::vector<std::string> delivered;
    } cases[] = {
        {"ab,cd,ef\r\ngh\n", 99, {"C:ab,", "+C:cd,", "+L:ef\n", "L:gh\n", "E"}},
        {"a,bcdefghij\nk", 99, {"C:a,", "P:bcde", "P:bcdefghi", "L:bcdefghij\n", "R:k", "E"}},
        {"ab,cd,", 99, {"C:ab,", "+R:cd,", "E"}},
        {"ab,cde,", 99, {"C:ab,", "+C:cde,", "E"}},
        {"ab,cd,ef,gh", 6, {"C:ab,", "X"}},
    };
    for (const auto& c : cases) {
        MemoryInputFile file(c.disk, 64, c.failAt);
        EXPECT_EQ(ReadAll(file, 2, std::nullopt, 4, 4, UpToLastComma), c.delivered) << c.disk;
    }
}

TEST(TextLineReader, ReadErrorDropsThePartialLine) {
    const struct {
        std::string disk;
        std::size_t failAt;
        std::vector<std::string> delivered;
    } cases[] = {
        {"a\nbc\nd\n", 3, {"L:a\n", "X"}},
        {"a\r\nb\n", 2, {"X"}},  // right after a pending CR
        {"a\nbcdefgh,ijkl", 12, {"L:a\n", "P:bcdefgh,", "X"}},
    };
    for (const auto& c : cases) {
        for (const std::size_t gather : {0, 4}) {
            MemoryInputFile file(c.disk, 64, c.failAt);
            EXPECT_EQ(ReadAll(file, 2, std::nullopt, 8, gather), c.delivered)
                << c.disk << ", gather " << gather;
        }
    }
}

TEST(TextLineReader, StopsAtTheLimit) {
    const struct {
        std::string disk;
        std::uint64_t limit;
        std::vector<std::string> delivered;
    } cases[] = {
        {"ab\ncd\n", 4, {"L:ab\n", "R:c", "E"}},
        {"ab\ncd\n", 0, {"E"}},
        {"a\r\nb", 2, {"R:a\r", "E"}},
        {"a\r\nb", 3, {"L:a\n", "E"}},
        {"ab", 100, {"R:ab", "E"}},
    };
    for (const auto& c : cases) {
        MemoryInputFile file(c.disk, 1);
        EXPECT_EQ(ReadAll(file, 3, c.limit), c.delivered) << c.disk << " limit " << c.limit;
    }
}

TEST(TextLineReader, LineLongerThanManyBlocks) {
    const std::string longLine(100000, 'q');
    MemoryInputFile file(longLine + "\r\n" + "z");
    EXPECT_EQ(ReadAll(file, 4096), (std::vector<std::string>{"L:" + longLine + "\n", "R:z", "E"}));
}

}  // namespace
