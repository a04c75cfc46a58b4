#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Cp932Decoder.h"

namespace kartovo {

// How a text came through the conversion from UTF-8: whole; with a
// character that has no CP932 form written as "?"; or not at all, as it
// failed to decode.
enum class Conversion { Exact, Substituted, Undecodable };

// UTF-16 to CP932 by a table taken from WideCharToMultiByte(932,
// WC_NO_BEST_FIT_CHARS) over the whole BMP (Cp932Tables.h), so the Linux and
// Windows builds write the bytes Windows writes, on a Windows set to any
// language. A character without a CP932 form becomes "?", never a
// look-alike; a surrogate pair is one character beyond CP932 and leaves one
// "?". Seven characters that phones and Macs write in their JIS form take
// the bytes of the Microsoft code point whose CP932 cell has the same glyph,
// so that 1−2−3 and 1〜3 keep their dash and tilde.
class Cp932Encoder {
public:
    // What stands for a character without a CP932 form (a code point, or a
    // lone surrogate half) instead of "?": at most two bytes.
    using Marker = std::function<std::string_view(char32_t lost)>;

    void Append(std::u16string_view units, std::string& out) const;
    // Decodes UTF-8 (see DecodeUtf8) and appends the result; a text that
    // fails to decode appends nothing.
    Conversion AppendUtf8(std::string_view utf8, std::string& out) const;
    // The same, with what `mark` gives in place of each "?" the other writes
    // for a lost character: the loss report follows them through the row.
    Conversion AppendUtf8(std::string_view utf8, std::string& out, const Marker& mark) const;
};

// Lead bytes to which CP932 assigns no character: the encoder never writes
// them, so a pair on one of them can stand for something else inside the
// program and never be mistaken for text.
inline constexpr unsigned char kUnassignedLeadBytes[] = {0x85, 0x86};

// UTF-8 bytes to CP932 text, with the decoding rules of DecodeUtf8: a text
// that fails to decode becomes the empty text.
class Utf8ToCp932 {
public:
    std::string operator()(std::string_view utf8) const;
    Conversion AppendTo(std::string_view utf8, std::string& out,
                        const Cp932Encoder::Marker* mark = nullptr) const;
};

bool IsAscii(std::string_view bytes);

}  // namespace kartovo
