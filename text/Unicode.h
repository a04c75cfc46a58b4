#pragma once
// Strict UTF-8 and UTF-16 for what screens and consoles show: messages that
// name a path keep the path's own characters, also those CP932 lacks.
// (The address book's own UTF-8 is read by DecodeUtf8's lenient rules.)

#include <string>
#include <string_view>

namespace kartovo {

// Writes the UTF-8 form of `c` (at most four bytes) at `out` and returns the
// end of it: the one encoder for paths, messages and CP932 text read back.
// `c` is a code point, or a 16-bit unit that is no surrogate.
template <typename CodePoint>
inline char* WriteUtf8(CodePoint c, char* out) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | c >> 6);
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | c >> 12);
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | c >> 18);
        *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// A byte that starts no well-formed character becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Whether the bytes are well-formed UTF-8 throughout: no overlong form, no
// surrogate half, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view bytes);

// Appends the UTF-8 form of a code point; a surrogate half or a value beyond
// U+10FFFF, which has none, appends U+FFFD.
void AppendUtf8(char32_t c, std::string& out);

// Whether a character shows nothing of its own where it stands: controls,
// spaces other than the ASCII one, format characters (joiners, direction
// marks, the byte-order mark), variation selectors and combining marks,
// surrogate halves, private-use characters, which no font need draw, and
// values that are no character.
bool IsInvisible(char32_t c);

// Whether a character is a dash or a hyphen: where one could not be written,
// the street's "－" stands for what was meant.
bool IsDashOrHyphen(char32_t c);

}  // namespace kartovo
