#include "Unicode.h"

#include <cstdint>

namespace kartovo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

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
