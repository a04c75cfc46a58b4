// UTF-8 decoding, the CP932 encoder and decoder on arbitrary bytes. Each
// sizes its output from the input before writing through a raw pointer, so the
// sanitizers watch for any unit that takes more bytes than assumed; the
// checks below watch for well-formed text, one character per unit, and the
// two ways into the encoder, and the decoder's two forms, agreeing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Cp932.h"
#include "Cp932Encoder.h"
#include "FuzzCheck.h"
#include "TestSupport.h"
#include "Utf8.h"

namespace {

bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const kartovo::Utf8ToCp932 convert;
    const kartovo::Cp932Encoder encoder;

    // The same bytes read as CP932, which never fails; its UTF-8 form must
    // decode to the same units.
    const std::u16string read = kartovo::Cp932ToUtf16(input);
    std::u16string reread;
    FUZZ_CHECK(read.size() <= input.size());
    FUZZ_CHECK(kartovo::test::DecodeUtf8(kartovo::Cp932ToUtf8(input), reread) && reread == read);

    std::u16string units;
    const bool decoded = kartovo::test::DecodeUtf8(input, units);
    std::string cp932;
    const kartovo::Conversion conversion = convert.AppendTo(input, cp932);

    // The loss report's conversion hands on exactly the characters written
    // as "?", with the same outcome.
    std::string marked;
    std::size_t substituted = 0;
    const kartovo::Conversion marking = encoder.AppendUtf8(input, marked, [&](char32_t) {
        ++substituted;
        return std::string_view("?");
    });
    FUZZ_CHECK(marking == conversion && marked == cp932);
    FUZZ_CHECK((conversion == kartovo::Conversion::Undecodable) == !decoded);
    // A text that fails to decode may have handed some on before it did.
    if (decoded) {
        FUZZ_CHECK((conversion == kartovo::Conversion::Substituted) == (substituted > 0));
        FUZZ_CHECK(substituted <= static_cast<std::size_t>(std::count(cp932.begin(), cp932.end(), '?')));
    }

    FUZZ_CHECK(units.size() <= input.size());
    if (!decoded) {
        FUZZ_CHECK(units.empty());
        FUZZ_CHECK(cp932.empty());
        return 0;
    }
    // A decoded unit always leaves at least one byte.
    FUZZ_CHECK(cp932.empty() == input.empty());
    FUZZ_CHECK(cp932.size() <= input.size());
    if (kartovo::IsAscii(input)) FUZZ_CHECK(cp932 == input);

    std::string viaUnits;
    encoder.Append(units, viaUnits);
    FUZZ_CHECK(viaUnits == cp932);

    // Walk units and characters side by side: a surrogate pair is one "?",
    // an ASCII unit is itself, any other unit one well-formed character.
    std::size_t pos = 0;
    for (std::size_t u = 0; u < units.size(); ++u) {
        const char16_t unit = units[u];
        if (IsLowSurrogate(unit) && u > 0 && IsHighSurrogate(units[u - 1])) continue;
        FUZZ_CHECK(pos < cp932.size());
        const auto b = static_cast<unsigned char>(cp932[pos]);
        if (unit < 0x80) {
            FUZZ_CHECK(b == unit);
            ++pos;
        } else if (kartovo::IsCp932LeadByte(b)) {
            FUZZ_CHECK(pos + 1 < cp932.size() && IsTrailByte(static_cast<unsigned char>(cp932[pos + 1])));
            pos += 2;
        } else {
            // "?" for a unit without a CP932 form, else a byte that reads
            // back as the unit (the half-width katakana, 0x80, 0xA0, 0xFD-0xFF).
            FUZZ_CHECK(b == '?' ||
                       (b >= 0x80 && kartovo::Cp932ToUtf16(cp932.substr(pos, 1)) == std::u16string(1, unit)));
            ++pos;
        }
    }
    FUZZ_CHECK(pos == cp932.size());

    // What the encoder writes it can read back: CP932 to UTF-8 and again
    // gives the same bytes.
    FUZZ_CHECK(convert(kartovo::Cp932ToUtf8(cp932)) == cp932);
    return 0;
}
