#include "Cp932Encoder.h"

#include "Cp932Tables.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace kartovo {
namespace {

struct JisForm {
    char16_t jis;
    char16_t twin;
};

constexpr JisForm kJisForms[] = {
    {u'\u301C', u'\uFF5E'},  // wave dash -> 0x8160
    {u'\u2212', u'\uFF0D'},  // minus -> 0x817C
    {u'\u2014', u'\u2015'},  // em dash -> 0x815C
    {u'\u2016', u'\u2225'},  // double vertical line -> 0x8161
    {u'\u00A2', u'\uFFE0'},  // cent -> 0x8191
    {u'\u00A3', u'\uFFE1'},  // pound -> 0x8192
    {u'\u00AC', u'\uFFE2'},  // not sign -> 0x81CA
};

struct EncodeTable {
    std::uint8_t page[256];
    std::uint16_t cells[cp932::kEncodePageCount][256];
};

// A JIS form's cell is rewritten in place, which would rewrite it for every
// high byte sharing its page.
constexpr bool JisFormPagesAreTheirOwn() {
    for (const JisForm& form : kJisForms) {
        for (int high = 0; high < 256; ++high) {
            if (high != form.jis >> 8 && cp932::kEncodePage[high] == cp932::kEncodePage[form.jis >> 8]) return false;
        }
    }
    return true;
}
static_assert(JisFormPagesAreTheirOwn());

// The swept table with the JIS forms given their twins' cells, built by the
// compiler: the hot loop pays nothing for them.
constexpr EncodeTable BuildEncodeTable() {
    EncodeTable table{};
    for (int high = 0; high < 256; ++high) table.page[high] = cp932::kEncodePage[high];
    for (int page = 0; page < cp932::kEncodePageCount; ++page) {
        for (int low = 0; low < 256; ++low) table.cells[page][low] = cp932::kEncodeCells[page][low];
    }
    for (const JisForm& form : kJisForms) {
        table.cells[table.page[form.jis >> 8]][form.jis & 0xFF] =
            cp932::kEncodeCells[cp932::kEncodePage[form.twin >> 8]][form.twin & 0xFF];
    }
    return table;
}

constexpr EncodeTable kTable = BuildEncodeTable();

constexpr bool WritesLeadByte(unsigned char lead) {
    for (const auto& page : kTable.cells) {
        for (const std::uint16_t code : page) {
            if (code >> 8 == lead) return true;
        }
    }
    return false;
}
static_assert(!WritesLeadByte(kUnassignedLeadBytes[0]) && !WritesLeadByte(kUnassignedLeadBytes[1]));

// The CP932 form of a unit that is neither ASCII nor a surrogate half: one
// byte below 0x100, else lead and trail byte; "?" when it has none.
std::uint16_t CodeOf(char16_t unit) { return kTable.cells[kTable.page[unit >> 8]][unit & 0xFF]; }

// Writes the CP932 form of units, one at a time, through a pointer into
// storage with room for two bytes a unit. A character without a CP932 form
// leaves "?", or the mark that `mark` gives for it, of at most two bytes: no
// such character takes fewer than two bytes of UTF-8, or fewer than one
// unit. A surrogate pair is one such character, and so is a lone half.
class UnitWriter {
public:
    UnitWriter(char* out, const Cp932Encoder::Marker* mark) : out_(out), mark_(mark) {}

    void operator()(char16_t unit) {
        if (highSurrogate_ != 0) {
            const char16_t high = std::exchange(highSurrogate_, u'\0');
            if ((unit & 0xFC00) == 0xDC00) return Lost(0x10000 + ((char32_t{high} & 0x3FF) << 10) + (unit & 0x3FFu));
            Lost(high);
        }
        if (unit < 0x80) {
            *out_++ = static_cast<char>(unit);
        } else if ((unit & 0xFC00) == 0xD800) {
            highSurrogate_ = unit;
        } else {
            Write(unit);
        }
    }
    // A unit that is neither ASCII nor a surrogate half.
    void Write(char16_t unit) {
        const std::uint16_t code = CodeOf(unit);
        if (code > 0xFF) {
            *out_++ = static_cast<char>(code >> 8);
        } else if (code == '?') [[unlikely]] {
            // No unit but "?" itself, which is ASCII, has the form "?". Kanji
            // and kana take two bytes, and never come this way.
            return Lost(unit);
        }
        *out_++ = static_cast<char>(code & 0xFF);
    }
    void WriteAscii(unsigned char b) { *out_++ = static_cast<char>(b); }
    // Ends the text, where a high surrogate half stands alone; returns the
    // end of what was written.
    char* Finish() {
        if (highSurrogate_ != 0) Lost(std::exchange(highSurrogate_, u'\0'));
        return out_;
    }
    bool Substituted() const { return substituted_; }

private:
    void Lost(char32_t c) {
        substituted_ = true;
        if (mark_ == nullptr) {
            *out_++ = '?';
            return;
        }
        out_ = WriteMark(*mark_, c, out_);
    }
    static char* WriteMark(const Cp932Encoder::Marker& mark, char32_t c, char* out) {
        const std::string_view bytes = mark(c);
        if (!bytes.empty()) *out++ = bytes[0];
        if (bytes.size() > 1) *out++ = bytes[1];
        return out;
    }

    char* out_;
    const Cp932Encoder::Marker* mark_;
    char16_t highSurrogate_ = u'\0';  // waiting for its low half
    bool substituted_ = false;
};

// UTF-8 to CP932 into `out`, "?" or the mark for what has no CP932 form.
Conversion AppendUtf8To(std::string_view utf8, std::string& out, const Cp932Encoder::Marker* mark) {
    // No unit takes fewer bytes than it gives, so the UTF-8 length bounds
    // the result; decoding feeds the writer directly, with no unit buffer.
    const std::size_t start = out.size();
    out.resize(start + utf8.size());
    UnitWriter writer(out.data() + start, mark);
    // Japanese text is nearly all ASCII and three-byte forms: those go
    // straight to the table here. At anything else, a surrogate half
    // included, the general decoder takes over; no unit before it was a
    // surrogate, so the writer has no pair pending.
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            writer.WriteAscii(lead);
            ++i;
            continue;
        }
        if ((lead & 0xF0) != 0xE0 || utf8.size() - i < 3 || !IsUtf8Follow(p[i + 1]) || !IsUtf8Follow(p[i + 2])) {
            break;
        }
        const char16_t unit = ThreeByteUnit(p + i);
        if ((unit & 0xF800) == 0xD800) break;
        writer.Write(unit);
        i += 3;
    }
    const bool decoded = DecodeUtf8(utf8.substr(i), writer);
    out.resize(decoded ? static_cast<std::size_t>(writer.Finish() - out.data()) : start);
    if (!decoded) return Conversion::Undecodable;
    return writer.Substituted() ? Conversion::Substituted : Conversion::Exact;
}

}  // namespace

void Cp932Encoder::Append(std::u16string_view units, std::string& out) const {
    const std::size_t start = out.size();
    out.resize(start + units.size() * 2);
    UnitWriter writer(out.data() + start, nullptr);
    for (char16_t unit : units) writer(unit);
    out.resize(static_cast<std::size_t>(writer.Finish() - out.data()));
}

Conversion Cp932Encoder::AppendUtf8(std::string_view utf8, std::string& out) const {
    return AppendUtf8To(utf8, out, nullptr);
}

Conversion Cp932Encoder::AppendUtf8(std::string_view utf8, std::string& out, const Marker& mark) const {
    return AppendUtf8To(utf8, out, &mark);
}

std::string Utf8ToCp932::operator()(std::string_view utf8) const {
    std::string out;
    AppendTo(utf8, out);
    return out;
}

Conversion Utf8ToCp932::AppendTo(std::string_view utf8, std::string& out, const Cp932Encoder::Marker* mark) const {
    // ASCII is the same in both encodings, and most keys are nothing else.
    if (IsAscii(utf8)) {
        out.append(utf8);
        return Conversion::Exact;
    }
    return AppendUtf8To(utf8, out, mark);
}

bool IsAscii(std::string_view bytes) {
    // Whole words only, the last one overlapping the one before: keys and
    // short lines would otherwise spend most of their time in a byte loop.
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    const auto load = [p](std::size_t at, auto word) {
        std::memcpy(&word, p + at, sizeof word);
        return static_cast<std::uint64_t>(word);
    };
    std::uint64_t any = 0;
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 <= n; i += 8) any |= load(i, std::uint64_t{});
        any |= load(n - 8, std::uint64_t{});
    } else if (n >= 4) {
        any = load(0, std::uint32_t{}) | load(n - 4, std::uint32_t{});
    } else if (n >= 2) {
        any = load(0, std::uint16_t{}) | load(n - 2, std::uint16_t{});
    } else if (n == 1) {
        any = static_cast<unsigned char>(p[0]);
    }
    return (any & 0x8080808080808080ULL) == 0;
}

}  // namespace kartovo
