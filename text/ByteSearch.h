#pragma once
// Byte searches for the hot paths, done here rather than by the C library:
// the Windows build's memchr is the system's, and Wine's steps byte by byte,
// thirty times slower over a whole file and slower on every short text.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

// The WebAssembly build takes the plain path, eight bytes at a time in a
// 64-bit integer: vector instructions there would shut out the browsers of
// older tablets and Macs. The tests build it natively too
// (KARTOVO_PORTABLE_BYTE_SEARCH), to hold it to the same answers.
#if defined(__SSE2__) && !defined(KARTOVO_PORTABLE_BYTE_SEARCH)
#define KARTOVO_SSE2_BYTE_SEARCH
#include <emmintrin.h>
#endif

namespace kartovo {

// Whether any of the eight bytes of `word` is `byte`: exact as a yes or no,
// with no branch per byte.
inline bool WordHasByte(std::uint64_t word, char byte) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(byte));  // a zero byte where it stands
    return ((x - kOnes) & ~x & (kOnes << 7)) != 0;
}

// The first byte in [p, end) that is one of `bytes`, or end: one pass for
// all of them, sixteen bytes at a time where the processor allows, else
// eight.
template <typename... Byte>
const char* FindAnyOf(const char* p, const char* end, Byte... bytes) {
    static_assert((std::is_same_v<Byte, char> && ...));
#ifdef KARTOVO_SSE2_BYTE_SEARCH
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(bytes)))), ...);
        const int found = _mm_movemask_epi8(hits);
        if (found != 0) return p + __builtin_ctz(static_cast<unsigned>(found));
        p += 16;
    }
#else
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if ((WordHasByte(word, bytes) || ...)) break;  // found below, byte by byte
        p += 8;
    }
#endif
    while (p < end && ((*p != bytes) && ...)) ++p;
    return p;
}

// Whether a short text holds `byte`: whole words, the last one overlapping
// the one before. Keys of a few bytes are asked about on every line.
inline bool ContainsByte(std::string_view text, char byte) {
    const char* p = text.data();
    const std::size_t n = text.size();
    if (n >= 8) {
        std::uint64_t word;
        for (std::size_t i = 0; i + 8 <= n; i += 8) {
            std::memcpy(&word, p + i, 8);
            if (WordHasByte(word, byte)) return true;
        }
        std::memcpy(&word, p + n - 8, 8);
        return WordHasByte(word, byte);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == byte) return true;
    }
    return false;
}

// string_view::find for one byte.
inline std::size_t FindByte(std::string_view text, char byte, std::size_t from = 0) {
    if (from >= text.size()) return std::string_view::npos;
    const char* const end = text.data() + text.size();
    const char* const at = FindAnyOf(text.data() + from, end, byte);
    return at == end ? std::string_view::npos : static_cast<std::size_t>(at - text.data());
}

// string_view::find for a text.
inline std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0) {
    if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
    for (std::size_t at = FindByte(text, needle[0], from); at != std::string_view::npos;
         at = FindByte(text, needle[0], at + 1)) {
        if (text.size() - at < needle.size()) break;
        // Most candidates differ at once: in CP932 text the first byte of a
        // needle is often a lead byte that many characters share.
        if (needle.size() > 1 && text[at + 1] != needle[1]) continue;
        if (std::memcmp(text.data() + at + 1, needle.data() + 1, needle.size() - 1) == 0) return at;
    }
    return std::string_view::npos;
}

}  // namespace kartovo
