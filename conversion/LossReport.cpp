#include "LossReport.h"

#include <algorithm>

#include "Unicode.h"

namespace kartovo {

void LossReport::Add(const LostContact& contact) {
    ++count_;
    if (each_) each_(contact);
    if (entries_.size() < keep_) entries_.push_back(contact);
}

void LossReport::Clear() {
    entries_.clear();
    count_ = 0;
}

std::string LossHeading(long long count) {
    return std::to_string(count) + "件の連絡先に、CSVに書けない文字がありました。その文字は「?」になっています。";
}

void AppendLossLine(const LostContact& contact, std::string& text) {
    text += "・";
    text += std::to_string(contact.number);
    text += "件目 ";
    text += contact.name;
    text += "：";
    text += contact.characters;
}

std::string LossReportText(const LossReport& report, std::size_t maxLines) {
    std::string text = LossHeading(report.Count());
    const std::size_t shown = std::min(maxLines, report.Entries().size());
    for (std::size_t i = 0; i < shown; ++i) {
        text += "\n";
        AppendLossLine(report.Entries()[i], text);
    }
    const long long rest = report.Count() - static_cast<long long>(shown);
    if (rest > 0) text += "\nほか" + std::to_string(rest) + "件";
    return text;
}

std::string ShownCharacter(char32_t c) {
    std::string shown;
    if (!IsInvisible(c)) {
        AppendUtf8(c, shown);
        return shown;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    shown = "U+";
    int digits = 4;
    while (digits < 8 && (c >> (4 * digits)) != 0) ++digits;
    for (int i = digits - 1; i >= 0; --i) shown.push_back(kDigits[(c >> (4 * i)) & 0xF]);
    return shown;
}

}  // namespace kartovo
