#include "Utf8.h"

namespace kartovo {
namespace {

constexpr bool IsFollowByte(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

}  // namespace

bool DecodeUtf8(std::string_view bytes, std::u16string& units) {
    // Never more units than bytes: size once, write through a pointer.
    units.resize(bytes.size());
    char16_t* out = units.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *out++ = b;
            i += 1;
        } else if (b >= 0xF0 && b <= 0xF7) {
            if (n - i < 4 || !IsFollowByte(p[i + 1]) || !IsFollowByte(p[i + 2]) || !IsFollowByte(p[i + 3])) {
                units.clear();
                return false;
            }
            *out++ = u'?';
            i += 4;
        } else if ((b & 0x20) == 0) {
            if (n - i < 2 || !IsFollowByte(p[i + 1])) {
                units.clear();
                return false;
            }
            *out++ = static_cast<char16_t>((b & 0x1F) << 6 | (p[i + 1] & 0x3F));
            i += 2;
        } else {
            if (n - i < 3 || !IsFollowByte(p[i + 1]) || !IsFollowByte(p[i + 2])) {
                units.clear();
                return false;
            }
            *out++ = static_cast<char16_t>((b & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F));
            i += 3;
        }
    }
    units.resize(static_cast<std::size_t>(out - units.data()));
    return true;
}

}  // namespace kartovo
