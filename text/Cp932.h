#pragma once
// CP932 text is kept as bytes. These helpers walk it by whole characters,
// so that no search ever matches on the second byte of a double-byte
// character (0x5C, the backslash, is a valid second byte: ソ is 83 5C).

#include <cstddef>
#include <string>
#include <string_view>

namespace kartovo {

constexpr bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Position of the character after the one at `pos`. A lead byte at the very
// end stands alone, as the system's own stepping treats it.
inline std::size_t NextCharPos(std::string_view text, std::size_t pos) {
    if (IsCp932LeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) {
        return pos + 2;
    }
    return pos + 1;
}

// Equality ignoring letter case: ASCII letters, full-width Latin, Greek and
// Cyrillic letters fold. Full-width and half-width forms stay different, and
// so do hiragana and katakana.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Byte offset of the first occurrence of `needle` that starts on a character
// boundary, or npos.
std::size_t FindOnBoundary(std::string_view text, std::string_view needle, std::size_t from = 0);

// Sets `out` to `text` with every occurrence of `from` (left to right,
// non-overlapping, the inserted text not searched again) that starts on a
// character boundary replaced. `out`'s storage is reused; `text` must not
// lie in it.
void AssignReplaced(std::string& out, std::string_view text, std::string_view from, std::string_view to);

// Walks a message pattern of CP932 text: `literal` gets each run of the
// pattern's own text, `placeholder` the number (0, then 1) of each of the
// first two "%s" or "%d", in order.
template <typename Literal, typename Placeholder>
void ForEachPatternPart(std::string_view pattern, Literal&& literal, Placeholder&& placeholder) {
    int used = 0;
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const bool isPlaceholder = pattern[i] == '%' && i + 1 < pattern.size() &&
                                   (pattern[i + 1] == 's' || pattern[i + 1] == 'd') && used < 2;
        if (!isPlaceholder) {
            i = NextCharPos(pattern, i);
            continue;
        }
        if (i > runStart) literal(pattern.substr(runStart, i - runStart));
        placeholder(used++);
        i += 2;
        runStart = i;
    }
    if (runStart < pattern.size()) literal(pattern.substr(runStart));
}

// Replaces each "%s" or "%d" of a message pattern with the next argument.
std::string FormatMessageText(std::string_view pattern, std::string_view first,
                              std::string_view second = {});

}  // namespace kartovo
