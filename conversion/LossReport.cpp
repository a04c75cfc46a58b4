#include "LossReport.h"

#include <algorithm>
#include <charconv>

#include "Unicode.h"

namespace kartovo {

void LossReport::Add(const LostContactView& contact) {
    ++count_;
    if (each_) each_(contact);
    if (entries_.size() < keep_) {
        entries_.push_back({contact.number, std::string(contact.name), contact.fields, std::string(contact.characters)});
    }
}

void LossReport::Clear() {
    entries_.clear();
    count_ = 0;
}

std::string LossHeading(long long count) {
    return std::to_string(count) + "件の連絡先に、CSVに書けない文字がありました。その文字は「?」になっています。";
}

namespace {

constexpr std::string_view kBullet = "・";
constexpr std::string_view kNumbered = "件目 ";
constexpr std::string_view kColon = "：";
constexpr std::size_t kMostDigits = 20;  // of a long long

}  // namespace

std::size_t LossLineBound(const LostContactView& contact) {
    return kBullet.size() + kMostDigits + kNumbered.size() + contact.name.size() + kColon.size() +
           contact.characters.size();
}

char* WriteLossLine(const LostContactView& contact, char* out) {
    // The console writes a line for every contact that lost text, which may
    // be every contact of the file: straight copies, no string grown and
    // checked at each part.
    const auto put = [](char* to, std::string_view part) { return std::copy(part.begin(), part.end(), to); };
    out = put(out, kBullet);
    out = std::to_chars(out, out + kMostDigits, contact.number).ptr;
    out = put(out, kNumbered);
    out = put(out, contact.name);
    out = put(out, kColon);
    return put(out, contact.characters);
}

void AppendLossLine(const LostContactView& contact, std::string& text) {
    const std::size_t start = text.size();
    text.resize(start + LossLineBound(contact));
    text.resize(static_cast<std::size_t>(WriteLossLine(contact, text.data() + start) - text.data()));
}

std::string LossReportText(const LossReport& report, std::size_t maxLines) {
    std::string text = LossHeading(report.Count());
    const std::size_t shown = std::min(maxLines, report.Entries().size());
    for (std::size_t i = 0; i < shown; ++i) {
        text += "\n";
        AppendLossLine(report.Entries()[i].View(), text);
    }
    const long long rest = report.Count() - static_cast<long long>(shown);
    if (rest > 0) text += "\nほか" + std::to_string(rest) + "件";
    return text;
}

char* WriteShownCharacter(char32_t c, char* out) {
    if (!IsInvisible(c)) return WriteUtf8(c, out);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    *out++ = 'U';
    *out++ = '+';
    int digits = 4;
    while (digits < 8 && (c >> (4 * digits)) != 0) ++digits;
    for (int i = digits - 1; i >= 0; --i) *out++ = kDigits[(c >> (4 * i)) & 0xF];
    return out;
}

}  // namespace kartovo
