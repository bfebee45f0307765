// The growing buffer that a row is written into through raw pointers: room
// is made first, then filled, then committed. It keeps its memory between
// rows, so a run's rows cost no allocation once it has grown, and it never
// fills memory it has not been asked for.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

class RowBuffer {
public:
    // A pointer to room for `bytes` more bytes after the committed ones.
    char* Room(std::size_t bytes) {
        if (m_bytes.size() - m_size < bytes)
            m_bytes.resize(std::max(m_size + bytes, 2 * m_bytes.size()));
        return m_bytes.data() + m_size;
    }
    // Everything up to `end`, a pointer into the last room made, is kept.
    void Commit(const char* end) { m_size = static_cast<std::size_t>(end - m_bytes.data()); }
    void Clear() { m_size = 0; }
    std::string_view View() const { return std::string_view(m_bytes.data(), m_size); }

private:
    std::vector<char> m_bytes;
    std::size_t m_size = 0;
};
