// Finding one byte value in a run of bytes, as fast as plain C++ allows on
// every build.
#pragma once

#include <cstddef>
#include <cstring>

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

// The first `byte` in [from, end), or null.
inline const char* Find(const char* from, const char* end, char byte) {
    if (from == end) return nullptr;
#ifdef _WIN32
    // The msvcrt.dll these builds link may compare one byte per step, as
    // Wine's does.
    return FindInWords(from, end, byte);
#else
    // Other C libraries (glibc, musl, the BSDs') scan with vector or word
    // instructions chosen for the processor at hand.
    return static_cast<const char*>(std::memchr(from, byte, static_cast<std::size_t>(end - from)));
#endif
}

}  // namespace byte_scan
