#include "text_mode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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
    : m_file(file), m_remaining(limit), m_blockSize(std::max<std::size_t>(blockSize, 1)) {}

void TextLineReader::FreeBuffer::operator()(char* buffer) const { std::free(buffer); }

// Makes room behind the unfinished line for at least one more byte: the line
// moves to the front of the buffer, which grows only when the line fills it.
// A buffer that grew for a long line is given back once that line is done.
void TextLineReader::MakeRoom() {
    const std::size_t pending = m_filled - m_lineStart;
    if (pending > 0 && m_lineStart > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_lineStart, pending);
    }
    m_scanned -= m_lineStart;
    m_filled = pending;
    m_lineStart = 0;
    std::size_t capacity = m_capacity;
    if (pending == capacity) {
        capacity = capacity > 0 ? capacity * 2 : m_blockSize;
        if (capacity <= pending) throw std::bad_alloc();
    } else if (pending < m_blockSize && capacity > m_blockSize) {
        capacity = m_blockSize;
    }
    if (capacity == m_capacity) return;
    // realloc, not a new buffer and a copy: a huge line's buffer can then
    // grow in place, without its bytes being copied over and over.
    char* const buffer = static_cast<char*>(std::realloc(m_buffer.get(), capacity + kPadding));
    if (!buffer) throw std::bad_alloc();
    // The old block is realloc's now: given up, not freed.
    static_cast<void>(m_buffer.release());
    m_buffer.reset(buffer);
    m_capacity = capacity;
}

bool TextLineReader::Refill() {
    if (m_finished || m_failed) return false;
    std::size_t request = m_blockSize;
    if (m_remaining) {
        if (*m_remaining == 0) {
            m_finished = true;
            return false;
        }
        request = static_cast<std::size_t>(std::min<std::uint64_t>(request, *m_remaining));
    }
    MakeRoom();
    request = std::min(request, m_capacity - m_filled);
    char* const to = m_buffer.get() + m_filled;
    std::size_t got = 0;
    switch (m_file.Read(to, request, got)) {
    case ReadStatus::Data:
        if (got == 0) break;
        if (m_remaining) *m_remaining -= got;
        // Ctrl-Z ends the input: the data ends there and nothing more is read.
        if (const char* ctrlZ = byte_scan::Find(to, to + got, kCtrlZ)) {
            got = static_cast<std::size_t>(ctrlZ - to);
            m_finished = true;
        }
        m_filled += got;
        // What a block scan reads past the data is defined, never left over.
        std::memset(m_buffer.get() + m_filled, 0, kPadding);
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

TextLineReader::Result TextLineReader::ReadLineAfterRefills(std::string_view& line) {
    for (;;) {
        m_scanned = m_filled;
        if (!Refill()) {
            if (m_failed) {
                line = std::string_view();
                return Result::Error;
            }
            // A CR at the very end of the input is not part of a CR LF: it
            // stays in the last line.
            line = std::string_view(m_buffer.get() + m_lineStart, m_filled - m_lineStart);
            m_lineStart = m_filled;
            return line.empty() ? Result::End : Result::LastLine;
        }
        char* const from = m_buffer.get() + m_scanned;
        if (const char* lineFeed = byte_scan::Find(from, m_buffer.get() + m_filled, '\n')) {
            return DeliverLine(from + (lineFeed - from), line);
        }
        if (m_pieceSize > 0 && m_filled - m_lineStart >= m_nextPiece) {
            m_scanned = m_filled;
            line = std::string_view(m_buffer.get() + m_lineStart, m_filled - m_lineStart);
            return Result::Piece;
        }
    }
}
