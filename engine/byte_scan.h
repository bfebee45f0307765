// Finding one byte value in a run of bytes, as fast as plain C++ allows on
// every build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace byte_scan {

// The first `byte` in [from, end), or null; a word at a time, without
// reading outside the range.
inline const char* FindInWords(const char* from, const char* end, char byte) {
    using Word = std::size_t;
    constexpr Word kOnes = static_cast<Word>(-1) / 0xFF;  // 0x0101...01
    constexpr Word kHighBits = kOnes * 0x80;
    const Word pattern = kOnes * static_cast<unsigned char>(byte);
    while (static_cast<std::size_t>(end - from) >= sizeof(Word)) {
        Word word;
        std::memcpy(&word, from, sizeof word);
        const Word x = word ^ pattern;  // a zero byte where `byte` was
        // Non-zero exactly when some byte of x is zero; the byte is then
        // found below, so the order of bytes in the word does not matter.
        if ((x - kOnes) & ~x & kHighBits) break;
        from += sizeof(Word);
    }
    for (; from != end; ++from) {
        if (*from == byte) return from;
    }
    return nullptr;
}

constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kWideBlockSize = 4 * kBlockSize;

// Which of the 64 bytes at `from`, all of which must be readable, are in
// `set` (anything with MaskIn for 16 bytes): bit i for the byte at from + i.
// A loop over the bytes found goes four times as far before its end costs a
// mispredicted branch.
template <class Set>
std::uint64_t WideMask(const Set& set, const char* from) {
    return set.MaskIn(from) | std::uint64_t{set.MaskIn(from + kBlockSize)} << kBlockSize |
           std::uint64_t{set.MaskIn(from + 2 * kBlockSize)} << (2 * kBlockSize) |
           std::uint64_t{set.MaskIn(from + 3 * kBlockSize)} << (3 * kBlockSize);
}

// Up to N byte values looked for in blocks of 16 bytes at once: with SSE2
// where the build's baseline has it (every x86_64 build), else eight bytes
// per word, which any processor does.
template <std::size_t N>
class ByteSet {
public:
    explicit ByteSet(const std::array<char, N>& bytes) {
        for (std::size_t i = 0; i < N; ++i) {
#ifdef __SSE2__
            m_patterns[i] = _mm_set1_epi8(bytes[i]);
#else
            m_patterns[i] = kOnes * static_cast<unsigned char>(bytes[i]);
#endif
            m_bytes[i] = bytes[i];
        }
    }

    // Where the first byte of the set is among the 16 bytes at `from`, all
    // of which must be readable; kBlockSize when none of them is.
    unsigned FirstIn(const char* from) const {
#ifdef __SSE2__
        const unsigned mask = MaskIn(from);
        return mask ? static_cast<unsigned>(__builtin_ctz(mask)) : unsigned{kBlockSize};
#elif defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        const unsigned low = FirstInWord(from);
        return low < 8 ? low : 8 + FirstInWord(from + 8);
#else
        for (unsigned i = 0; i < kBlockSize; ++i) {
            if (Contains(from[i])) return i;
        }
        return kBlockSize;
#endif
    }

    // Which of the 16 bytes at `from`, all of which must be readable, are
    // in the set: bit i for the byte at from + i.
    unsigned MaskIn(const char* from) const {
#ifdef __SSE2__
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        __m128i found = _mm_cmpeq_epi8(block, m_patterns[0]);
        for (std::size_t i = 1; i < N; ++i) {
            found = _mm_or_si128(found, _mm_cmpeq_epi8(block, m_patterns[i]));
        }
        return static_cast<unsigned>(_mm_movemask_epi8(found));
#elif defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        return MaskInWord(from) | MaskInWord(from + 8) << 8;
#else
        unsigned mask = 0;
        for (unsigned i = 0; i < kBlockSize; ++i) {
            if (Contains(from[i])) mask |= 1u << i;
        }
        return mask;
#endif
    }

    // The same for the 64 bytes at `from`.
    std::uint64_t WideMaskIn(const char* from) const { return WideMask(*this, from); }

    // Where the first byte of the set is in [from, end), a range of fewer
    // than 16 bytes whose last 16 bytes, [end - 16, end), are readable;
    // end - from when none of them is.
    unsigned FirstInTail(const char* from, const char* end) const {
        const auto size = static_cast<unsigned>(end - from);
#ifdef __SSE2__
        const unsigned mask = MaskIn(end - kBlockSize) >> (kBlockSize - size);
        return mask ? static_cast<unsigned>(__builtin_ctz(mask)) : size;
#else
        unsigned at = 0;
        while (at < size && !Contains(from[at])) ++at;
        return at;
#endif
    }

    // The first byte of the set in [from, end), or end.
    const char* Find(const char* from, const char* end) const {
        while (static_cast<std::size_t>(end - from) >= kBlockSize) {
            const unsigned at = FirstIn(from);
            if (at < kBlockSize) return from + at;
            from += kBlockSize;
        }
        while (from != end && !Contains(*from)) ++from;
        return from;
    }

    bool Contains(char byte) const {
        for (const char member : m_bytes) {
            if (member == byte) return true;
        }
        return false;
    }

private:
#ifdef __SSE2__
    __m128i m_patterns[N];  // a plain array: std::array drops its alignment
#else
    static constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    static constexpr std::uint64_t kLow7 = kOnes * 0x7F;
    std::uint64_t m_patterns[N];

#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The high bit of each of the 8 bytes at `from` that is in the set.
    // Exact per byte (no borrow between bytes), so any match found is a
    // true one.
    std::uint64_t MatchesInWord(const char* from) const {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        std::uint64_t found = 0;
        for (const std::uint64_t pattern : m_patterns) {
            const std::uint64_t x = word ^ pattern;  // a zero byte where a match is
            found |= ~(((x & kLow7) + kLow7) | x | kLow7);
        }
        return found;
    }

    // Where the first byte of the set is in the 8 bytes at `from`; 8 when
    // none is.
    unsigned FirstInWord(const char* from) const {
        const std::uint64_t found = MatchesInWord(from);
        return found ? static_cast<unsigned>(__builtin_ctzll(found)) >> 3 : 8;
    }

    // The same as a bit per byte: the multiply gathers each byte's flag
    // into the top byte, every product bit apart, so nothing carries.
    unsigned MaskInWord(const char* from) const {
        return static_cast<unsigned>(((MatchesInWord(from) >> 7) * 0x0102040810204080ULL) >> 56);
    }
#endif
#endif
    std::array<char, N> m_bytes;
};

// The first `byte` in [from, end), or null.
inline const char* Find(const char* from, const char* end, char byte) {
    if (from == end) return nullptr;
#ifdef _WIN32
        // The msvcrt.dll these builds link may compare one byte per step, as
        // Wine's does.
#ifdef __SSE2__
    const char* const found = ByteSet<1>(std::array<char, 1>{byte}).Find(from, end);
    return found != end ? found : nullptr;
#else
    return FindInWords(from, end, byte);
#endif
#else
    // Other C libraries (glibc, musl, the BSDs') scan with vector or word
    // instructions chosen for the processor at hand.
    return static_cast<const char*>(std::memchr(from, byte, static_cast<std::size_t>(end - from)));
#endif
}

// The last `byte` in [from, end), or null: where a run of lines ends.
inline const char* FindLast(const char* from, const char* end, char byte) {
#ifdef __GNUC__
    const ByteSet<1> set(std::array<char, 1>{byte});
    while (static_cast<std::size_t>(end - from) >= kBlockSize) {
        const unsigned mask = set.MaskIn(end - kBlockSize);
        if (mask) return end - 1 - __builtin_clz(mask << (32 - kBlockSize));
        end -= kBlockSize;
    }
#endif
    while (end != from) {
        if (*--end == byte) return end;
    }
    return nullptr;
}

}  // namespace byte_scan
