#pragma once

#include <string>
#include <string_view>

namespace kartovo {

// Decodes UTF-8 bytes into 16-bit units by the address book's lenient rules:
// overlong forms give the value they spell and nothing beyond the form's
// shape is checked. A four-byte form (lead 0xF0-0xF7) becomes one "?": CP932
// has no character beyond U+FFFF, and losing the whole text for one emoji or
// for the 𠮷 of 𠮷田 would lose real names. Any missing or bad following byte
// fails the whole text: returns false and leaves `units` empty.
bool DecodeUtf8(std::string_view bytes, std::u16string& units);

}  // namespace kartovo
