#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kartovo {

// UTF-16 to CP932 through the system's converter: WideCharToMultiByte with
// code page 932 on Windows (never the ANSI code page, so the output is the
// same on a Windows set to any language), iconv elsewhere. A character
// without a CP932 form becomes "?"; best-fit look-alikes are not used, so
// both platforms give the same bytes. One encoder serves a whole run.
class Cp932Encoder {
public:
    Cp932Encoder();
    ~Cp932Encoder();
    Cp932Encoder(const Cp932Encoder&) = delete;
    Cp932Encoder& operator=(const Cp932Encoder&) = delete;

    void Append(std::u16string_view units, std::string& out);
    // Decodes UTF-8 (see DecodeUtf8) and appends the result; a text that
    // fails to decode appends nothing and gives false.
    bool AppendUtf8(std::string_view utf8, std::string& out);

    struct Platform;  // the converter's state, one kind per platform

private:
    std::unique_ptr<Platform> platform_;
    std::u16string units_;
    std::u16string prepared_;
};

// UTF-8 bytes to CP932 text, with the decoding rules of DecodeUtf8: a text
// that fails to decode becomes the empty text.
class Utf8ToCp932 {
public:
    std::string operator()(std::string_view utf8);
    void AppendTo(std::string_view utf8, std::string& out);

private:
    Cp932Encoder encoder_;
};

bool IsAscii(std::string_view bytes);

// CP932 text back to UTF-8, for consoles and logs. Invalid bytes become "?".
std::string Cp932ToUtf8(std::string_view cp932);

// Seven characters that phones and Macs write in their JIS form, mapped to
// the Microsoft code point whose CP932 cell has the same glyph, so that
// 1−2−3 and 1〜3 keep their dash and tilde.
char16_t MapJisFormToCp932Form(char16_t unit);

}  // namespace kartovo
