#include "text_mode.h"

#include <algorithm>

namespace {

constexpr char kCtrlZ = 0x1A;

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

TextLineReader::Result TextLineReader::ReadLine(std::string& line) {
    line.clear();
    for (;;) {
        if (m_position == m_filled) {
            if (!FillBlock()) {
                if (m_failed) {
                    line.clear();
                    return Result::Error;
                }
                if (m_pendingCr) {
                    // A CR at the very end of the input is not part of a CR LF.
                    line += '\r';
                    m_pendingCr = false;
                }
                return line.empty() ? Result::End : Result::LastLine;
            }
        }
        if (m_pendingCr) {
            m_pendingCr = false;
            if (m_block[m_position] != '\n') line += '\r';
        }

        const char* block = m_block.data();
        std::size_t start = m_position;
        while (m_position < m_filled) {
            const char c = block[m_position];
            if (c == '\n') {
                line.append(block + start, m_position - start);
                line += '\n';
                ++m_position;
                return Result::Line;
            }
            if (c == kCtrlZ) {
                line.append(block + start, m_position - start);
                m_position = m_filled;
                m_finished = true;
                return line.empty() ? Result::End : Result::LastLine;
            }
            if (c == '\r') {
                if (m_position + 1 == m_filled) {
                    // The next block decides whether this CR starts a CR LF.
                    line.append(block + start, m_position - start);
                    m_pendingCr = true;
                    ++m_position;
                    start = m_position;
                    break;
                }
                if (block[m_position + 1] == '\n') {
                    line.append(block + start, m_position - start);
                    line += '\n';
                    m_position += 2;
                    return Result::Line;
                }
            }
            ++m_position;
        }
        line.append(block + start, m_position - start);
    }
}
