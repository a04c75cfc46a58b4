#pragma once
// The parts of a vCard property's key as other producers write them: an
// optional group before a ".", the name, and parameters after ";", as a set
// in any order and letter case: `item3.ADR;type=HOME;type=pref`,
// `ADR;TYPE=HOME,pref`, or vCard 2.1's bare words `ADR;HOME;PREF`.

#include <string>
#include <string_view>

namespace kartovo {

struct PropertyKey {
    std::string_view group;
    std::string_view name;
    std::string_view parameters;  // after the first ";", or empty
};

// Splits a key (the text before the line's first ":"). A "." counts only
// before the first ";": a parameter's value may hold one.
PropertyKey SplitKey(std::string_view key);

// What a property's parameters say that the reading needs, read in one
// pass: most lines of every card have a parameter or two.
enum ParameterFlag : unsigned {
    kHomeType = 1,           // TYPE=HOME, or a bare HOME
    kPreferred = 2,          // TYPE=PREF, or a bare PREF
    kIrmcName = 4,           // a bare X-IRMC-N (SOUND's reading of the name)
    kQuotedPrintable = 8,    // ENCODING=QUOTED-PRINTABLE, or a bare QUOTED-PRINTABLE
    kShiftJisCharset = 16,   // CHARSET names Shift_JIS
    kCharsetOrEncoding = 32, // any CHARSET or ENCODING, or a bare encoding word
};
unsigned ReadParameters(std::string_view parameters);

// Whether `text` equals `name` ignoring the letter case of ASCII letters.
bool SameName(std::string_view text, std::string_view name);

// What a line (its key before `colon`) tells of its card as a whole.
enum LineSign : unsigned {
    // Google did not write the card: a PRODID line, a VERSION other than
    // 3.0, an X-ABADR line (old macOS files have no PRODID, but write it
    // with every address), or a CHARSET or ENCODING parameter.
    kOtherProducer = 1,
    kAddressLine = 2,  // an ADR line of any kind
};
// Asked of every line of every card, so its common answer, nothing, comes
// from a few compares.
unsigned SignsOf(std::string_view line, std::size_t colon);

// Makes quoted-printable text the bytes it stands for: "=XX" is the byte XX;
// a "=" not followed by two hex digits stays as it is.
void DecodeQuotedPrintable(std::string& text);

// Whether a CHARSET value names Shift_JIS: SHIFT_JIS, SJIS, CP932,
// Windows-31J, in any letter case.
bool IsShiftJisCharset(std::string_view charset);

}  // namespace kartovo
