#include "Unicode.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace kartovo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

struct Range {
    char32_t first;
    char32_t last;
};

// In order. Blocks of combining marks are taken whole: a mark alone shows,
// at most, over whatever stands before it.
constexpr Range kInvisible[] = {
    {0x0000, 0x001F}, {0x007F, 0x00A0}, {0x00AD, 0x00AD}, {0x0300, 0x036F}, {0x061C, 0x061C},
    {0x115F, 0x1160}, {0x17B4, 0x17B5}, {0x180B, 0x180F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x2000, 0x200F}, {0x2028, 0x202F}, {0x205F, 0x206F}, {0x20D0, 0x20FF}, {0x3099, 0x309A},
    {0x3164, 0x3164}, {0xD800, 0xF8FF}, {0xFDD0, 0xFDEF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
    {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFB}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
    {0xE0000, 0xE0FFF}, {0xF0000, 0x10FFFF},
};
static_assert(std::adjacent_find(std::begin(kInvisible), std::end(kInvisible), [](const Range& a, const Range& b) {
                  return a.first > a.last || a.last >= b.first;
              }) == std::end(kInvisible));
// The ideographs beyond the first plane, the characters most often lost
// from Japanese names, lie where no range does.
constexpr char32_t kFirstIdeographPlane = 0x20000;
constexpr char32_t kLastIdeographPlane = 0x3FFFF;
static_assert(std::none_of(std::begin(kInvisible), std::end(kInvisible), [](const Range& r) {
    return r.first <= kLastIdeographPlane && r.last >= kFirstIdeographPlane;
}));

}  // namespace

bool IsInvisible(char32_t c) {
    if ((c & 0xFFFE) == 0xFFFE || c > 0x10FFFF) return true;  // the last two of every plane, and beyond
    if (c >= kFirstIdeographPlane && c <= kLastIdeographPlane) return false;
    // A binary search: most characters asked about lie beyond U+FFFF,
    // past nearly every range.
    const Range* range = std::lower_bound(std::begin(kInvisible), std::end(kInvisible), c,
                                          [](const Range& r, char32_t value) { return r.last < value; });
    return range != std::end(kInvisible) && c >= range->first;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) c = kReplacement;
    char bytes[4];
    out.append(bytes, static_cast<std::size_t>(WriteUtf8(c, bytes) - bytes));
}

bool IsDashOrHyphen(char32_t c) {
    // Unicode's Dash property, less the wave dashes (U+2053, U+301C,
    // U+3030): a wave is no hyphen.
    static constexpr Range kDashes[] = {
        {0x002D, 0x002D}, {0x058A, 0x058A}, {0x05BE, 0x05BE}, {0x1400, 0x1400}, {0x1806, 0x1806},
        {0x2010, 0x2015}, {0x207B, 0x207B}, {0x208B, 0x208B}, {0x2212, 0x2212}, {0x2E17, 0x2E17},
        {0x2E1A, 0x2E1A}, {0x2E3A, 0x2E3B}, {0x2E40, 0x2E40}, {0x2E5D, 0x2E5D}, {0x30A0, 0x30A0},
        {0xFE31, 0xFE32}, {0xFE58, 0xFE58}, {0xFE63, 0xFE63}, {0xFF0D, 0xFF0D}, {0x10EAD, 0x10EAD},
    };
    return std::any_of(std::begin(kDashes), std::end(kDashes),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

namespace {

// The code point of the well-formed character at `i`, and its length; or
// the replacement character for one byte.
char32_t DecodeOne(std::string_view utf8, std::size_t i, std::size_t& length) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(utf8[i + k]); };
    const std::uint8_t lead = byte(0);
    length = 1;
    if (lead < 0x80) return lead;
    std::size_t size = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return kReplacement;
    }
    if (utf8.size() - i < size) return kReplacement;
    for (std::size_t k = 1; k < size; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return kReplacement;
        c = c << 6 | (byte(k) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c)) return kReplacement;
    length = size;
    return c;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view units) {
    // A unit gives at most three bytes, and a pair of units four.
    std::string text(units.size() * 3, '\0');
    char* out = text.data();
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (IsHighSurrogate(c) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = kReplacement;
        }
        out = WriteUtf8(c, out);
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

bool IsUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t length = 1;
        // A U+FFFD of the text itself is three bytes long; a bad byte's, one.
        if (DecodeOne(bytes, i, length) == kReplacement && length == 1) return false;
        i += length;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t length = 1;
        const char32_t c = DecodeOne(utf8, i, length);
        i += length;
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

}  // namespace kartovo
