// The growing buffer that a row is written into through raw pointers: room
// is made first, then filled, then committed. It keeps its memory between
// rows, so a run's rows cost no allocation once it has grown, and it never
// fills memory it has not been asked for: a page of a new buffer is touched
// only when a row is written into it, and growing copies only what was
// committed. (A first touch of a page costs more than converting a few rows
// into it on some virtual machines.)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

class RowBuffer {
public:
    // A pointer to room for `bytes` more bytes after the committed ones.
    char* Room(std::size_t bytes) {
        if (m_capacity - m_size < bytes) Grow(m_size + bytes);
        return m_bytes.get() + m_size;
    }
    // A first guess at the size it will grow to, taken before any room is
    // made; later guesses are ignored, so that a buffer cleared and filled
    // again is not moved for a guess a little larger than the last.
    void ExpectAbout(std::size_t bytes) {
        if (m_capacity == 0) Grow(bytes);
    }
    // Everything up to `end`, a pointer into the last room made, is kept.
    void Commit(const char* end) { m_size = static_cast<std::size_t>(end - m_bytes.get()); }
    void Clear() { m_size = 0; }
    std::string_view View() const { return std::string_view(m_bytes.get(), m_size); }

private:
    // At least doubles, so that a buffer grown often is seldom moved.
    void Grow(std::size_t needed) {
        const std::size_t capacity = std::max(needed, 2 * m_capacity);
        std::unique_ptr<char[]> bytes(new char[capacity]);  // left uninitialised
        if (m_size > 0) std::memcpy(bytes.get(), m_bytes.get(), m_size);
        m_bytes = std::move(bytes);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_bytes;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};
