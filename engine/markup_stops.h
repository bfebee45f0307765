// The bytes that escaped text stops at: LF, the quote and the other bytes
// HTML must have escaped (& ' < >), found among 16 bytes at once.
#pragma once

#include <array>

#include "byte_scan.h"

class MarkupStops {
public:
    // Which of the 16 bytes at `from`, all of which must be readable, are
    // stops: bit i for the byte at from + i.
    unsigned MaskIn(const char* from) const {
#ifdef __SSE2__
        // Four comparisons for six bytes: & (0x26) and ' (0x27) differ only
        // in the lowest bit, < (0x3C) and > (0x3E) only in the second.
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        __m128i found = _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n')),
                                     _mm_cmpeq_epi8(block, _mm_set1_epi8('"')));
        found = _mm_or_si128(
            found, _mm_cmpeq_epi8(_mm_or_si128(block, _mm_set1_epi8(0x01)), _mm_set1_epi8('\'')));
        found = _mm_or_si128(
            found, _mm_cmpeq_epi8(_mm_or_si128(block, _mm_set1_epi8(0x02)), _mm_set1_epi8('>')));
        return static_cast<unsigned>(_mm_movemask_epi8(found));
#else
        return m_stops.MaskIn(from);
#endif
    }

private:
#ifndef __SSE2__
    byte_scan::ByteSet<6> m_stops{std::array<char, 6>{'\n', '&', '<', '>', '"', '\''}};
#endif
};
