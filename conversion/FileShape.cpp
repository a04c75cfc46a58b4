#include "FileShape.h"

#include "AsciiName.h"
#include "Cp932.h"
#include "Cp932Decoder.h"
#include "Cp932Encoder.h"
#include "Unicode.h"

namespace kartovo {

void FileShape::Clear() { *this = FileShape(); }

void FileShape::FindCard(std::string_view line) {
    static constexpr AsciiName kBeginCard("BEGIN:VCARD");
    static constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    if (firstLine_) {
        firstLine_ = false;
        utf16_ = line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF");
        if (line.starts_with(kUtf8Mark)) line.remove_prefix(kUtf8Mark.size());
    }
    sawCard_ = kBeginCard.Is(line);
}

void FileShape::SeeValue(std::string_view raw) {
    if (IsAscii(raw)) return;  // as good in either encoding
    ++sampled_;
    if (!IsUtf8(raw) && IsShiftJisText(raw)) ++shiftJis_;
}

std::optional<RunNote> FileShape::Note() const {
    if (utf16_) return RunNote{"文字コードが UTF-8 ではありません（UTF-16 のようです）", true};
    if (!sawCard_) return RunNote{"vCard ファイルではないようです", true};
    // Most values: a UTF-8 file may hold a broken value or two.
    if (2 * shiftJis_ > sampled_) {
        return RunNote{"文字コードが UTF-8 ではありません（Shift_JIS のようです）", true};
    }
    return std::nullopt;
}

bool IsShiftJisText(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;  // ASCII, half-width katakana
        if (!IsCp932LeadByte(c) || i + 1 == bytes.size()) return false;
        // A pair that is no character reads as ・ (81 45), as ・ itself does.
        const auto second = static_cast<unsigned char>(bytes[++i]);
        const char16_t unit = DecodeCp932Pair(c, second);
        if (unit == 0 || (unit == u'\u30FB' && !(c == 0x81 && second == 0x45))) return false;
    }
    return true;
}

}  // namespace kartovo
