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
    // The console writes a line for every contact that lost text, which may
    // be every contact of the file: one resize and straight copies, not a
    // string grown and checked at each part.
    static constexpr std::string_view kBullet = "・";
    static constexpr std::string_view kNumbered = "件目 ";
    static constexpr std::string_view kColon = "：";
    char digits[24];
    char* const digitsEnd = digits + sizeof digits;
    char* first = digitsEnd;
    auto n = static_cast<unsigned long long>(contact.number);
    do {
        *--first = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    const auto put = [](char* out, std::string_view part) { return std::copy(part.begin(), part.end(), out); };
    const std::size_t start = text.size();
    text.resize(start + kBullet.size() + static_cast<std::size_t>(digitsEnd - first) + kNumbered.size() +
                contact.name.size() + kColon.size() + contact.characters.size());
    char* out = put(text.data() + start, kBullet);
    out = std::copy(first, digitsEnd, out);
    out = put(out, kNumbered);
    out = put(out, contact.name);
    out = put(out, kColon);
    put(out, contact.characters);
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

void AppendShownCharacter(char32_t c, std::string& text) {
    if (!IsInvisible(c)) {
        AppendUtf8(c, text);
        return;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text += "U+";
    int digits = 4;
    while (digits < 8 && (c >> (4 * digits)) != 0) ++digits;
    for (int i = digits - 1; i >= 0; --i) text.push_back(kDigits[(c >> (4 * i)) & 0xF]);
}

}  // namespace kartovo
