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
        capacity = capacity > 0 ? capacity * 2 : m_minCapacity;
        if (capacity <= pending) throw std::bad_alloc();
    } else if (pending < m_blockSize && capacity > m_minCapacity) {
        capacity = m_minCapacity;
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
        m_shortRead = got < request;
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
        m_failureReason = LastSystemErrorText();
        return false;
    }
    m_finished = true;
    return false;
}

TextLineReader::Lines TextLineReader::ReadLines(LineBlock& block) {
    // Reads on until a block's worth is in, the input ends or fails, or a
    // line reaches the size of a piece with no LF: from there it goes in
    // pieces, as ReadLine would hand it over.
    std::size_t size = 0;  // of the whole lines read
    const auto scan = [this, &size] {
        const char* const buffer = m_buffer.get();
        if (const char* lineFeed =
                byte_scan::FindLast(buffer + m_scanned, buffer + m_filled, '\n')) {
            size = static_cast<std::size_t>(lineFeed - buffer) + 1 - m_lineStart;
        }
        m_scanned = m_filled;
    };
    scan();
    while (m_filled - m_lineStart < m_linesSize &&
           (m_pieceSize == 0 || m_filled - m_lineStart - size < m_nextPiece) && Refill()) {
        scan();
        // A pipe or a console that has no more for now: its lines go on
        // at once rather than wait for more.
        if (m_shortRead && size > 0) break;
    }
    // At the end of the input, what is left is the last line.
    if (m_finished && !m_failed) size = m_filled - m_lineStart;
    const bool cut = size == 0 && !m_failed && m_filled != m_lineStart && m_cut != nullptr;
    if (cut) size = m_cut(m_buffer.get() + m_lineStart, m_filled - m_lineStart);
    if (size == 0) {
        // Whoever reads on from here knows whether a line was cut.
        m_lineCut = false;
        if (m_failed) return Lines::Error;  // the partial line is dropped
        return m_filled == m_lineStart ? Lines::End : Lines::LongLine;
    }
    char* const start = m_buffer.get() + m_lineStart;

    // What follows the lines moves to the front of the block's old buffer,
    // which the reader takes over.
    const std::size_t rest = m_filled - m_lineStart - size;
    const std::size_t capacity = std::max(m_minCapacity, rest);
    if (!block.m_buffer || block.m_capacity < capacity) {
        block.m_buffer.reset(static_cast<char*>(std::malloc(capacity + kPadding)));
        if (!block.m_buffer) throw std::bad_alloc();
        block.m_capacity = capacity;
    }
    if (rest > 0) std::memcpy(block.m_buffer.get(), start + size, rest);
    std::memset(block.m_buffer.get() + rest, 0, kPadding);
    std::swap(m_buffer, block.m_buffer);
    std::swap(m_capacity, block.m_capacity);
    block.m_next = m_lineStart;
    block.m_end = m_lineStart + size;
    block.m_continuesLine = m_lineCut;
    block.m_endsInLine = m_lineCut = cut;
    m_lineStart = 0;
    m_filled = m_scanned = rest;
    // As after a piece: what was left waits until it has doubled.
    if (cut) m_nextPiece = std::max(m_pieceSize, 2 * rest);
    return Lines::Block;
}

TextLineReader::Result TextLineReader::ReadLineAfterRefills(std::string_view& line) {
    for (;;) {
        if (m_pieceSize > 0 && m_filled - m_lineStart >= m_nextPiece) {
            m_scanned = m_filled;
            line = std::string_view(m_buffer.get() + m_lineStart, m_filled - m_lineStart);
            return Result::Piece;
        }
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
    }
}
