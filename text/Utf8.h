#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kartovo {

// Whether a byte may follow the lead byte of a form: 0x80-0xBF.
constexpr bool IsUtf8Follow(unsigned char b) { return (b & 0xC0) == 0x80; }

// The unit that the three-byte form at `form` spells: the low four bits of
// its lead byte, then the low six of each following byte. The encoder's own
// loop for Japanese text reads these forms with it too.
constexpr char16_t ThreeByteUnit(const unsigned char* form) {
    return static_cast<char16_t>((form[0] & 0x0F) << 12 | (form[1] & 0x3F) << 6 | (form[2] & 0x3F));
}

// Decodes UTF-8 bytes into 16-bit units by the address book's lenient rules:
// overlong forms give the value they spell and nothing beyond the form's
// shape is checked. A four-byte form (lead 0xF0-0xF7) gives the surrogate
// pair of its character, which CP932 writes as one "?"; losing the whole text
// for one emoji or for the 𠮷 of 𠮷田 would lose real names. A four-byte form
// that spells no such character (an overlong one, or one beyond U+10FFFF)
// gives U+FFFD, also one "?". Any missing or bad following byte fails the
// whole text.
//
// `emit` receives each unit in order; on failure the units already emitted
// must be discarded by the caller. Returns whether the whole text decoded.
template <typename Emit>
bool DecodeUtf8(std::string_view bytes, Emit&& emit) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            emit(static_cast<char16_t>(b));
            i += 1;
        } else if (b >= 0xF0 && b <= 0xF7) {
            if (n - i < 4 || !IsUtf8Follow(p[i + 1]) || !IsUtf8Follow(p[i + 2]) || !IsUtf8Follow(p[i + 3])) {
                return false;
            }
            const char32_t c = static_cast<char32_t>((b & 0x07) << 18 | (p[i + 1] & 0x3F) << 12 |
                                                     (p[i + 2] & 0x3F) << 6 | (p[i + 3] & 0x3F));
            if (c >= 0x10000 && c <= 0x10FFFF) {
                emit(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                emit(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                emit(u'\uFFFD');
            }
            i += 4;
        } else if ((b & 0x20) == 0) {
            if (n - i < 2 || !IsUtf8Follow(p[i + 1])) return false;
            emit(static_cast<char16_t>((b & 0x1F) << 6 | (p[i + 1] & 0x3F)));
            i += 2;
        } else {
            if (n - i < 3 || !IsUtf8Follow(p[i + 1]) || !IsUtf8Follow(p[i + 2])) return false;
            emit(ThreeByteUnit(p + i));
            i += 3;
        }
    }
    return true;
}

}  // namespace kartovo
