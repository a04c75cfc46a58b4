#include "LossReport.h"

#include <algorithm>
#include <charconv>

#include "Unicode.h"

namespace kartovo {

void LossReport::Add(const LostContactView& contact) {
    ++count_;
    if ((contact.reasons & kLostText) != 0) ++lost_;
    if ((contact.reasons & kNoHomeAddress) != 0) ++noHome_;
    if ((contact.reasons & kOverLimit) != 0) ++overLimit_;
    if (each_) each_(contact);
    if (entries_.size() < keep_) {
        entries_.push_back({contact.number, std::string(contact.name), contact.fields,
                            std::string(contact.characters), contact.reasons});
    }
}

void LossReport::Clear() {
    entries_.clear();
    count_ = lost_ = noHome_ = overLimit_ = 0;
}

std::string LossHeadings(const LossReport& report) {
    std::string text;
    if (const long long lost = report.CountOf(kLostText)) {
        text = std::to_string(lost) + "件の連絡先に、CSVに書けない文字がありました。その文字は「?」になっています。";
    }
    if (const long long noHome = report.CountOf(kNoHomeAddress)) {
        if (!text.empty()) text += "\n";
        text += std::to_string(noHome) + "件の連絡先は、自宅の住所がないため住所が空になっています。";
    }
    if (const long long overLimit = report.CountOf(kOverLimit)) {
        if (!text.empty()) text += "\n";
        text += std::to_string(overLimit) + "件の連絡先に、様式の字数の制限を超える値か、空の必須の欄があります。"
                "値は切らずにそのまま書き出しています。";
    }
    return text;
}

void AppendLossLine(const LostContactView& contact, std::string& text) {
    char number[20];
    char* end = std::to_chars(number, number + sizeof number, contact.number).ptr;
    text += "・";
    text.append(number, static_cast<std::size_t>(end - number));
    text += "件目 ";
    text += contact.name;
    text += "：";
    text += contact.characters;
}

std::string LossReportText(const LossReport& report, std::size_t maxLines) {
    std::string text = LossHeadings(report);
    const std::size_t shown = std::min(maxLines, report.Entries().size());
    for (std::size_t i = 0; i < shown; ++i) {
        text += "\n";
        AppendLossLine(report.Entries()[i].View(), text);
    }
    const long long rest = report.Count() - static_cast<long long>(shown);
    if (rest > 0) text += "\nほか" + std::to_string(rest) + "件";
    return text;
}

std::string WithNotes(std::string countMessage, const std::vector<RunNote>& notes) {
    for (const RunNote& note : notes) countMessage += "\n" + note.text;
    return countMessage;
}

bool Warns(const std::vector<RunNote>& notes, const LossReport& lost) {
    return lost.Count() != 0 || std::any_of(notes.begin(), notes.end(), [](const RunNote& note) { return note.warns; });
}

void AppendShownCharacter(char32_t c, std::string& text) {
    if (IsInvisible(c)) {
        AppendCodePoint(c, text);
    } else {
        AppendUtf8(c, text);
    }
}

void AppendCodePoint(char32_t c, std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text += "U+";
    int digits = 4;
    while (digits < 8 && (c >> (4 * digits)) != 0) ++digits;
    for (int i = digits - 1; i >= 0; --i) text += kDigits[(c >> (4 * i)) & 0xF];
}

}  // namespace kartovo
