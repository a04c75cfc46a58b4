#include "Cp932Decoder.h"

#include "Cp932Tables.h"
#include "Unicode.h"

#include <cstddef>

namespace kartovo {
namespace {

// Hands emit the unit of each character of cp932 in turn.
template <typename Emit>
void DecodeCp932(std::string_view cp932, Emit&& emit) {
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    const std::size_t n = cp932.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char first = p[i];
        if (i + 1 < n) {
            // Zero for every byte that leads no pair, and before a NUL.
            const char16_t pair = cp932::kDecodePairs[cp932::kDecodeRow[first]][p[i + 1]];
            if (pair != 0) {
                emit(pair);
                i += 2;
                continue;
            }
        }
        emit(cp932::kDecodeSingle[first]);
        i += 1;
    }
}

}  // namespace

char16_t DecodeCp932Pair(unsigned char first, unsigned char second) {
    return cp932::kDecodePairs[cp932::kDecodeRow[first]][second];
}

char16_t DecodeCp932Single(unsigned char byte) { return cp932::kDecodeSingle[byte]; }

std::u16string Cp932ToUtf16(std::string_view cp932) {
    std::u16string units(cp932.size(), u'\0');  // never more units than bytes
    char16_t* out = units.data();
    DecodeCp932(cp932, [&out](char16_t unit) { *out++ = unit; });
    units.resize(static_cast<std::size_t>(out - units.data()));
    return units;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string text;
    AppendCp932AsUtf8(cp932, text);
    return text;
}

void AppendCp932AsUtf8(std::string_view cp932, std::string& text) {
    // Each unit takes at most three UTF-8 bytes, and a byte gives at most
    // one unit. No table cell is a surrogate, so units convert one by one.
    const std::size_t start = text.size();
    text.resize(start + cp932.size() * 3);
    char* out = text.data() + start;
    DecodeCp932(cp932, [&out](char16_t unit) { out = WriteUtf8(unit, out); });
    text.resize(static_cast<std::size_t>(out - text.data()));
}

}  // namespace kartovo
