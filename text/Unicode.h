#pragma once
// Strict UTF-8 and UTF-16 for what screens and consoles show: messages that
// name a path keep the path's own characters, also those CP932 lacks.
// (The address book's own UTF-8 is read by DecodeUtf8's lenient rules.)

#include <string>
#include <string_view>

namespace kartovo {

// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// A byte that starts no well-formed character becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Appends the UTF-8 form of a code point; a surrogate half or a value beyond
// U+10FFFF, which has none, appends U+FFFD.
void AppendUtf8(char32_t c, std::string& out);

// Whether a character shows nothing of its own where it stands: controls,
// spaces other than the ASCII one, format characters (joiners, direction
// marks, the byte-order mark), variation selectors and combining marks,
// surrogate halves, private-use characters, which no font need draw, and
// values that are no character.
bool IsInvisible(char32_t c);

}  // namespace kartovo
