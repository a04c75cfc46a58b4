#include "Cp932Encoder.h"

#include "Utf8.h"

#include <cstdint>
#include <cstring>

namespace kartovo {

char16_t MapJisFormToCp932Form(char16_t unit) {
    switch (unit) {
        case u'\u301C': return u'\uFF5E';  // wave dash -> 0x8160
        case u'\u2212': return u'\uFF0D';  // minus -> 0x817C
        case u'\u2014': return u'\u2015';  // em dash -> 0x815C
        case u'\u2016': return u'\u2225';  // double vertical line -> 0x8161
        case u'\u00A2': return u'\uFFE0';  // cent -> 0x8191
        case u'\u00A3': return u'\uFFE1';  // pound -> 0x8192
        case u'\u00AC': return u'\uFFE2';  // not sign -> 0x81CA
        default: return unit;
    }
}

std::string Utf8ToCp932::operator()(std::string_view utf8) {
    std::string out;
    AppendTo(utf8, out);
    return out;
}

void Utf8ToCp932::AppendTo(std::string_view utf8, std::string& out) {
    // ASCII is the same in both encodings, and most keys are nothing else.
    if (IsAscii(utf8)) {
        out.append(utf8);
    } else {
        encoder_.AppendUtf8(utf8, out);
    }
}

bool IsAscii(std::string_view bytes) {
    std::size_t i = 0;
    std::uint64_t any = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        any |= word;
    }
    for (; i < bytes.size(); ++i) any |= static_cast<unsigned char>(bytes[i]);
    return (any & 0x8080808080808080ULL) == 0;
}

}  // namespace kartovo
