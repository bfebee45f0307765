// Text-mode translation done by our own code, so the bytes on disk are the
// same on every platform: CR LF line ends, Ctrl-Z as end of input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform_file.h"

// Each LF becomes CR LF; every other byte, a CR included, is kept.
std::string ToCrLf(const std::string& text);

// Reads an input file line by line in large blocks, delivering CR LF as LF
// (also across block boundaries) and stopping at the first Ctrl-Z. A line
// that lies within one block is not copied.
class TextLineReader {
public:
    enum class Result {
        Line,      // a whole line, its LF included
        LastLine,  // the non-empty rest of the input after the last LF
        End,       // nothing more
        Error      // the file could not be read; the partial line is dropped
    };

    static constexpr std::size_t kDefaultBlockSize = 64 * 1024;

    // Reads at most `limit` bytes from the file when it is set.
    TextLineReader(InputFile& file, std::optional<std::uint64_t> limit,
                   std::size_t blockSize = kDefaultBlockSize);

    // `line` stays valid until the next call.
    Result ReadLine(std::string_view& line);

private:
    bool FillBlock();  // false at end of input or on error
    Result LineInBlock(const char* start, const char* lineFeed, std::string_view& line);
    Result LineInCarry(const char* start, const char* lineFeed, std::string_view& line);

    InputFile& m_file;
    std::optional<std::uint64_t> m_remaining;
    std::vector<char> m_block;
    std::size_t m_position = 0;
    std::size_t m_filled = 0;
    bool m_finished = false;
    bool m_failed = false;
    bool m_pendingCr = false;  // a CR ended the last block; its fate waits for the next byte
    std::string m_carry;       // a line that spans blocks, as delivered
};
