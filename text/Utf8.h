#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kartovo {

// Decodes UTF-8 bytes into 16-bit units by the address book's lenient rules:
// overlong forms give the value they spell and nothing beyond the form's
// shape is checked. A four-byte form (lead 0xF0-0xF7) becomes one "?": CP932
// has no character beyond U+FFFF, and losing the whole text for one emoji or
// for the 𠮷 of 𠮷田 would lose real names. Any missing or bad following byte
// fails the whole text.
//
// `emit` receives each unit in order; on failure the units already emitted
// must be discarded by the caller. Returns whether the whole text decoded.
template <typename Emit>
bool DecodeUtf8(std::string_view bytes, Emit&& emit) {
    const auto isFollow = [](unsigned char b) { return b >= 0x80 && b <= 0xBF; };
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            emit(static_cast<char16_t>(b));
            i += 1;
        } else if (b >= 0xF0 && b <= 0xF7) {
            if (n - i < 4 || !isFollow(p[i + 1]) || !isFollow(p[i + 2]) || !isFollow(p[i + 3])) return false;
            emit(u'?');
            i += 4;
        } else if ((b & 0x20) == 0) {
            if (n - i < 2 || !isFollow(p[i + 1])) return false;
            emit(static_cast<char16_t>((b & 0x1F) << 6 | (p[i + 1] & 0x3F)));
            i += 2;
        } else {
            if (n - i < 3 || !isFollow(p[i + 1]) || !isFollow(p[i + 2])) return false;
            emit(static_cast<char16_t>((b & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F)));
            i += 3;
        }
    }
    return true;
}

// The units of the whole text; false, with `units` empty, when it fails.
bool DecodeUtf8(std::string_view bytes, std::u16string& units);

}  // namespace kartovo
