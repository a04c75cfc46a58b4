#include "Cp932Encoder.h"

#include "Utf8.h"

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
    if (DecodeUtf8(utf8, units_)) encoder_.Append(units_, out);
}

}  // namespace kartovo
