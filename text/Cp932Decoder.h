#pragma once

#include <string>
#include <string_view>

namespace kartovo {

// CP932 text to UTF-16 by a table taken from MultiByteToWideChar(932, 0)
// (Cp932Tables.h), so both builds read bytes as Windows does. Nothing is
// refused, as Windows refuses nothing without MB_ERR_INVALID_CHARS:
// - a lead byte and any byte but NUL after it are read as one character;
//   a pair that is none becomes U+30FB (・), the code page's default;
// - a lead byte at the end or before a NUL becomes ・ by itself;
// - the bytes 0x80, 0xA0 and 0xFD-0xFF give U+0080 and U+F8F0-U+F8F3, which
//   the encoder turns back into the same bytes.
std::u16string Cp932ToUtf16(std::string_view cp932);

// The same, as UTF-8, for consoles, logs and tests.
std::string Cp932ToUtf8(std::string_view cp932);
void AppendCp932AsUtf8(std::string_view cp932, std::string& utf8);

// One character at a time, for a walk that reads some characters its own
// way: the unit of a pair, or 0 when `first` leads none or `second` is NUL;
// and the unit of a byte that stands alone.
char16_t DecodeCp932Pair(unsigned char first, unsigned char second);
char16_t DecodeCp932Single(unsigned char byte);

}  // namespace kartovo
