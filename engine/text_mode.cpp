#include "text_mode.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kCtrlZ = 0x1A;

const char* Find(const char* from, const char* end, char byte) {
    if (from == end) return nullptr;
    return static_cast<const char*>(std::memchr(from, byte, static_cast<std::size_t>(end - from)));
}

}  // namespace

std::string ToCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TextLineReader::TextLineReader(InputFile& file, std::optional<std::uint64_t> limit,
                               std::size_t blockSize)
    : m_file(file), m_remaining(limit), m_block(std::max<std::size_t>(blockSize, 1)) {}

bool TextLineReader::FillBlock() {
    if (m_finished || m_failed) return false;
    std::size_t request = m_block.size();
    if (m_remaining) {
        if (*m_remaining == 0) {
            m_finished = true;
            return false;
        }
        request = static_cast<std::size_t>(std::min<std::uint64_t>(request, *m_remaining));
    }
    std::size_t got = 0;
    switch (m_file.Read(m_block.data(), request, got)) {
    case ReadStatus::Data:
        if (got == 0) break;
        m_position = 0;
        m_filled = got;
        if (m_remaining) *m_remaining -= got;
        // Ctrl-Z ends the input: the block ends there and nothing more is read.
        if (const char* ctrlZ = Find(m_block.data(), m_block.data() + got, kCtrlZ)) {
            m_filled = static_cast<std::size_t>(ctrlZ - m_block.data());
            m_finished = true;
            return m_filled > 0;
        }
        return true;
    case ReadStatus::End:
        break;
    case ReadStatus::Error:
        m_failed = true;
        return false;
    }
    m_finished = true;
    return false;
}

TextLineReader::Result TextLineReader::LineInBlock(const char* start, const char* lineFeed,
                                                    std::string_view& line) {
    char* block = m_block.data();
    m_position = static_cast<std::size_t>(lineFeed - block) + 1;
    std::size_t length = static_cast<std::size_t>(lineFeed - start) + 1;
    if (length > 1 && lineFeed[-1] == '\r') {
        // CR LF becomes LF in place: the block's bytes before m_position
        // are not looked at again.
        block[lineFeed - block - 1] = '\n';
        --length;
    }
    line = std::string_view(start, length);
    return Result::Line;
}

TextLineReader::Result TextLineReader::LineInCarry(const char* start, const char* lineFeed,
                                                    std::string_view& line) {
    m_position = static_cast<std::size_t>(lineFeed - m_block.data()) + 1;
    std::size_t length = static_cast<std::size_t>(lineFeed - start);
    if (length > 0 && lineFeed[-1] == '\r') --length;
    m_carry.append(start, length);
    m_carry += '\n';
    line = m_carry;
    return Result::Line;
}

TextLineReader::Result TextLineReader::ReadLine(std::string_view& line) {
    m_carry.clear();
    for (;;) {
        if (m_position == m_filled && !FillBlock()) {
            if (m_failed) {
                line = std::string_view();
                return Result::Error;
            }
            if (m_pendingCr) {
                // A CR at the very end of the input is not part of a CR LF.
                m_carry += '\r';
                m_pendingCr = false;
            }
            line = m_carry;
            return m_carry.empty() ? Result::End : Result::LastLine;
        }
        const char* const start = m_block.data() + m_position;
        const char* const end = m_block.data() + m_filled;
        if (m_pendingCr) {
            m_pendingCr = false;
            if (*start != '\n') m_carry += '\r';
        }
        if (const char* lineFeed = Find(start, end, '\n')) {
            return m_carry.empty() ? LineInBlock(start, lineFeed, line)
                                   : LineInCarry(start, lineFeed, line);
        }
        // The line goes on in the next block; a CR at the end of this one
        // may be the first half of a CR LF.
        std::size_t length = static_cast<std::size_t>(end - start);
        if (end[-1] == '\r') {
            m_pendingCr = true;
            --length;
        }
        m_carry.append(start, length);
        m_position = m_filled;
    }
}
