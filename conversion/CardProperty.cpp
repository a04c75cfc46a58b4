#include "CardProperty.h"

#include <array>

#include "AsciiName.h"
#include "ByteSearch.h"

namespace kartovo {
namespace {

char Folded(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The next ";"-separated piece of `rest`, which loses it.
std::string_view NextPiece(std::string_view& rest, char separator) {
    const std::size_t end = FindByte(rest, separator);
    const std::string_view piece = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return piece;
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

// The value of each byte as a hex digit, or -1.
constexpr std::array<signed char, 256> kHexDigits = [] {
    std::array<signed char, 256> digits{};
    for (int c = 0; c < 256; ++c) {
        digits[static_cast<std::size_t>(c)] = static_cast<signed char>(
            c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1);
    }
    return digits;
}();

int HexDigit(char c) { return kHexDigits[static_cast<unsigned char>(c)]; }

}  // namespace

PropertyKey SplitKey(std::string_view key) {
    PropertyKey parts;
    const char* const end = key.data() + key.size();
    const char* stop = FindAnyOf(key.data(), end, '.', ';');
    const char* nameStart = key.data();
    if (stop != end && *stop == '.') {
        parts.group = std::string_view(key.data(), static_cast<std::size_t>(stop - key.data()));
        nameStart = stop + 1;
        stop = FindAnyOf(nameStart, end, ';');
    }
    parts.name = std::string_view(nameStart, static_cast<std::size_t>(stop - nameStart));
    if (stop != end) parts.parameters = std::string_view(stop + 1, static_cast<std::size_t>(end - stop - 1));
    return parts;
}

bool SameName(std::string_view text, std::string_view name) {
    if (text.size() != name.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Folded(text[i]) != Folded(name[i])) return false;
    }
    return true;
}

namespace {

constexpr AsciiName kQuotedPrintableWord("QUOTED-PRINTABLE");

// The flag a type word or bare parameter gives. Every line of a card but a
// few has a parameter or two: the words are compared a word at a time.
unsigned TypeFlag(std::string_view word) {
    static constexpr AsciiName kHome("HOME");
    static constexpr AsciiName kPref("PREF");
    static constexpr AsciiName kBase64("BASE64");
    static constexpr AsciiName kIrmcN("X-IRMC-N");
    switch (word.size()) {
        case 4: return kHome.At(word.data()) ? kHomeType : kPref.At(word.data()) ? kPreferred : 0u;
        case 6: return kBase64.At(word.data()) ? unsigned{kCharsetOrEncoding} : 0u;
        case 8: return kIrmcN.At(word.data()) ? unsigned{kIrmcName} : 0u;
        case 16: return kQuotedPrintableWord.At(word.data()) ? kQuotedPrintable | kCharsetOrEncoding : 0u;
        default: return 0;
    }
}

unsigned ParameterFlags(std::string_view name, std::string_view value) {
    static constexpr AsciiName kType("TYPE");
    static constexpr AsciiName kCharset("CHARSET");
    static constexpr AsciiName kEncoding("ENCODING");
    if (kType.Is(name)) {
        unsigned flags = 0;
        while (!value.empty()) flags |= TypeFlag(Unquoted(NextPiece(value, ',')));
        return flags & (kHomeType | kPreferred);
    }
    if (kCharset.Is(name)) {
        return kCharsetOrEncoding | (IsShiftJisCharset(Unquoted(value)) ? unsigned{kShiftJisCharset} : 0u);
    }
    if (kEncoding.Is(name)) {
        return kCharsetOrEncoding | (kQuotedPrintableWord.Is(Unquoted(value)) ? unsigned{kQuotedPrintable} : 0u);
    }
    return 0;
}

}  // namespace

unsigned ReadParameters(std::string_view parameters) {
    unsigned flags = 0;
    while (!parameters.empty()) {
        const std::string_view parameter = NextPiece(parameters, ';');
        const std::size_t equals = FindByte(parameter, '=');
        if (equals == std::string_view::npos) {
            flags |= TypeFlag(Unquoted(parameter));
        } else {
            flags |= ParameterFlags(parameter.substr(0, equals), parameter.substr(equals + 1));
        }
    }
    return flags;
}

namespace {

// Whether the name ends `head` (a key before its parameters), alone or
// after a group's ".".
template <std::size_t N>
bool EndsWithName(std::string_view head, const AsciiName<N>& name) {
    if (head.size() < N || !name.At(head.data() + head.size() - N)) return false;
    return head.size() == N || head[head.size() - N - 1] == '.';
}

// Whether a CHARSET= or ENCODING= parameter stands among them. vCard 2.1's
// bare QUOTED-PRINTABLE needs no looking for: its card says VERSION:2.1.
bool NamesEncoding(std::string_view parameters) {
    static constexpr AsciiName kCharset("CHARSET");
    static constexpr AsciiName kEncoding("ENCODING");
    for (std::size_t equals = FindByte(parameters, '='); equals != std::string_view::npos;
         equals = FindByte(parameters, '=', equals + 1)) {
        const char* name = parameters.data() + equals;
        if ((equals >= kCharset.size() && kCharset.At(name - kCharset.size())) ||
            (equals >= kEncoding.size() && kEncoding.At(name - kEncoding.size()))) {
            return true;
        }
    }
    return false;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

unsigned SignsOf(std::string_view line, std::size_t colon) {
    static constexpr AsciiName kVersion("VERSION");
    static constexpr AsciiName kProdid("PRODID");
    static constexpr AsciiName kAbAdr("X-ABADR");
    static constexpr AsciiName kAdr("ADR");
    const std::string_view key = line.substr(0, colon);
    const std::size_t semicolon = ContainsByte(key, ';') ? FindByte(key, ';') : colon;
    const std::string_view head = key.substr(0, semicolon);
    unsigned signs = semicolon < colon && NamesEncoding(key.substr(semicolon + 1)) ? kOtherProducer : 0u;
    // A name is told by its last letter first: N, D or R, in either case.
    switch (head.empty() ? 0 : head.back() | 0x20) {
        case 'n':
            if (EndsWithName(head, kVersion) && Trimmed(line.substr(colon + 1)) != "3.0") signs |= kOtherProducer;
            break;
        case 'd':
            if (EndsWithName(head, kProdid)) signs |= kOtherProducer;
            break;
        case 'r':
            if (EndsWithName(head, kAdr)) signs |= kAddressLine;
            if (EndsWithName(head, kAbAdr)) signs |= kOtherProducer;
            break;
        default: break;
    }
    return signs;
}

void DecodeQuotedPrintable(std::string& text) {
    // Android writes every byte of a value so, three times its size: the
    // bytes are written over the text as it is read, never ahead of it.
    char* out = text.data();
    const char* p = text.data();
    const char* const end = p + text.size();
    while (end - p >= 3) {
        const int high = HexDigit(p[1]);
        const int low = HexDigit(p[2]);
        if (*p == '=' && (high | low) >= 0) {  // both digits: -1 has the sign bit
            *out++ = static_cast<char>(high * 16 + low);
            p += 3;
        } else {
            *out++ = *p++;
        }
    }
    while (p < end) *out++ = *p++;  // too short for "=XX"
    text.resize(static_cast<std::size_t>(out - text.data()));
}

bool IsShiftJisCharset(std::string_view charset) {
    // Android names UTF-8 on every value: most names are ruled out at once.
    static constexpr AsciiName kSjis("SJIS");
    static constexpr AsciiName kCp932("CP932");
    static constexpr AsciiName kMs932("MS932");
    static constexpr AsciiName kShiftJis("SHIFT_JIS");
    static constexpr AsciiName kShiftJisHyphen("SHIFT-JIS");
    static constexpr AsciiName kWindows31j("WINDOWS-31J");
    const char* p = charset.data();
    switch (charset.size()) {
        case 4: return kSjis.At(p);
        case 5: return kCp932.At(p) || kMs932.At(p);
        case 9: return kShiftJis.At(p) || kShiftJisHyphen.At(p);
        case 11: return kWindows31j.At(p);
        default: return false;
    }
}

}  // namespace kartovo
