#include "LossMarks.h"

#include <algorithm>
#include <cstring>

#include "ByteSearch.h"
#include "Cp932.h"
#include "Cp932Decoder.h"
#include "Texts.h"
#include "Unicode.h"

namespace kartovo {
namespace {

// Trail bytes 0x80-0xFC on each unassigned lead byte: no ASCII byte, so no
// separator, quote or backslash, is ever part of a mark.
constexpr char kFirstLead = static_cast<char>(kUnassignedLeadBytes[0]);
constexpr char kSecondLead = static_cast<char>(kUnassignedLeadBytes[1]);
constexpr int kFirstTrail = 0x80;
constexpr int kTrailsPerLead = 0xFC - kFirstTrail + 1;
constexpr int kMarkCount = 2 * kTrailsPerLead;
static_assert(std::size(kUnassignedLeadBytes) == 2);
// The last mark stands for any lost character once a contact has lost more
// kinds than there are marks.
constexpr int kOthers = kMarkCount - 1;
constexpr int kUnreadable = kMarkCount;  // in the list of what a contact lost
constexpr std::size_t kNameField = 1;
constexpr std::size_t kSeparatorLength = 3;  // ","

// The next mark in text[from, to), where `from` starts a character: a byte
// search for the lead bytes, each hit then checked to start a character the
// way FindOnBoundary checks. Returns `to` when there is none.
std::size_t NextMark(std::string_view text, std::size_t from, std::size_t to) {
    std::size_t known = from;  // a character starts here
    for (std::size_t i = from;;) {
        const char* hit = FindAnyOf(text.data() + i, text.data() + to, kFirstLead, kSecondLead);
        const auto at = static_cast<std::size_t>(hit - text.data());
        if (at + 1 >= to) return to;
        std::size_t runStart = at;
        while (runStart > known && IsCp932LeadByte(static_cast<unsigned char>(text[runStart - 1]))) --runStart;
        const bool startsCharacter = (at - runStart) % 2 == 0;
        if (startsCharacter && static_cast<unsigned char>(text[at + 1]) >= kFirstTrail) return at;
        known = startsCharacter ? at + 2 : at + 1;  // past the character it starts, or ends
        i = known;
    }
}

int MarkNumber(std::string_view text, std::size_t at) {
    return (text[at] == kFirstLead ? 0 : kTrailsPerLead) + (static_cast<unsigned char>(text[at + 1]) - kFirstTrail);
}

}  // namespace

LossMarks::LossMarks() : marker_([this](char32_t lost) { return MarkOf(lost); }) {}

void LossMarks::Clear() {
    described_ = false;
    lost_.clear();
    marked_ = 0;
    unreadable_ = 0;
    streetLost_.clear();
}

void LossMarks::Note(Value value, Conversion conversion) {
    if (conversion == Conversion::Substituted) marked_ |= static_cast<std::uint16_t>(1u << value);
    if (conversion == Conversion::Undecodable) unreadable_ |= static_cast<std::uint16_t>(1u << value);
}

std::uint16_t LossMarks::FieldsOf(std::uint16_t values) {
    // Field 1 the reading, 2 and 3 the name and its honorific, 4 to 6 the
    // postal code and the address lines, 7 to 10 the joint names.
    unsigned fields = 0;
    if ((values & (1u << kReadingLast | 1u << kReadingFirst)) != 0) fields |= 1u << 0;
    if ((values & 1u << kName) != 0) fields |= 1u << 1 | 1u << 2;
    if ((values & 1u << kHomeAddress) != 0) fields |= 1u << 3 | 1u << 4 | 1u << 5;
    fields |= (values >> kSpouse & 0xFu) << 6;
    return static_cast<std::uint16_t>(fields);
}

std::string_view LossMarks::MarkOf(char32_t c) {
    auto known = std::find(lost_.begin(), lost_.end(), c);
    int number = kOthers;
    if (known != lost_.end()) {
        number = static_cast<int>(known - lost_.begin());
    } else if (lost_.size() < static_cast<std::size_t>(kOthers)) {
        number = static_cast<int>(lost_.size());
        lost_.push_back(c);
    }
    mark_[0] = number < kTrailsPerLead ? kFirstLead : kSecondLead;
    mark_[1] = static_cast<char>(kFirstTrail + number % kTrailsPerLead);
    return {mark_, 2};
}

void LossMarks::RepairStreet(std::string& street) {
    // A mark and "－" are both two bytes: the street keeps its length.
    for (std::size_t at = NextMark(street, 0, street.size()); at < street.size();
         at = NextMark(street, at + 2, street.size())) {
        const int mark = MarkNumber(street, at);
        if (mark == kOthers || !IsDashOrHyphen(lost_[static_cast<std::size_t>(mark)])) streetLost_.push_back(mark);
        std::memcpy(street.data() + at, texts::kFullwidthHyphen.data(), 2);
    }
}

void LossMarks::DecodeName(std::string_view field) {
    // A character at a time from the field's start, which starts one.
    const auto* p = reinterpret_cast<const unsigned char*>(field.data());
    for (std::size_t i = 0; i < field.size();) {
        const unsigned char c = p[i];
        char16_t pair = 0;
        if (c == '"') {
            description_ += '"';
            i += 2;  // and the quote that doubles it
        } else if (i + 1 < field.size() && (c == kUnassignedLeadBytes[0] || c == kUnassignedLeadBytes[1]) &&
                   p[i + 1] >= kFirstTrail) {
            const int mark = MarkNumber(field, i);
            AppendUtf8(mark == kOthers ? U'\uFFFD' : lost_[static_cast<std::size_t>(mark)], description_);
            i += 2;
        } else if (i + 1 < field.size() && (pair = DecodeCp932Pair(c, p[i + 1])) != 0) {
            AppendUtf8(pair, description_);
            i += 2;
        } else {
            AppendUtf8(DecodeCp932Single(c), description_);
            ++i;
        }
    }
}

void LossMarks::AddLostCharacter(int mark) {
    if (listed_[static_cast<std::size_t>(mark)]) return;
    listed_[static_cast<std::size_t>(mark)] = true;
    if (description_.size() > nameSize_) description_ += "、";
    if (mark == kUnreadable) {
        description_ += "（読めない値）";
    } else if (mark == kOthers) {
        description_ += "…";
    } else {
        AppendShownCharacter(lost_[static_cast<std::size_t>(mark)], description_);
    }
}

bool LossMarks::ReplaceFieldMarks(const std::string& row, std::size_t from, std::size_t to) {
    const std::size_t before = copied_;
    for (std::size_t at = NextMark(row, from, to); at < to; at = NextMark(row, at + 2, to)) {
        AddLostCharacter(MarkNumber(row, at));
        replaced_.append(row, copied_, at - copied_);
        replaced_ += '?';
        copied_ = at + 2;
    }
    return copied_ != before;
}

void LossMarks::Describe(const std::string& row, const FieldStarts& starts) {
    described_ = true;
    description_.clear();
    const std::size_t nameEnd = starts[kNameField + 1] - kSeparatorLength;
    DecodeName(std::string_view(row).substr(starts[kNameField], nameEnd - starts[kNameField]));
    nameSize_ = description_.size();
    listed_.reset();
}

void LossMarks::Fill(LostContactView& contact) const {
    contact.name = std::string_view(description_).substr(0, nameSize_);
    contact.characters = std::string_view(description_).substr(nameSize_);
}

void LossMarks::AddReason(const std::string& row, const FieldStarts& starts, ReportReason reason,
                          std::string_view text, LostContactView& contact) {
    if (!described_) Describe(row, starts);
    if (description_.size() > nameSize_) description_ += "、";
    description_ += text;
    contact.reasons |= reason;
    Fill(contact);
}

bool LossMarks::ReplaceMarks(std::string& row, const FieldStarts& starts, LostContactView& contact) {
    const std::uint16_t marked = FieldsOf(marked_);
    const std::uint16_t unreadable = FieldsOf(unreadable_);
    // Where a field's text ends: before the separator, or the row's last quote.
    const auto fieldEnd = [&](std::size_t field) {
        return field + 1 < kRowFields ? starts[field + 1] - kSeparatorLength : row.size() - 1;
    };
    Describe(row, starts);
    replaced_.clear();
    copied_ = 0;
    contact.fields = 0;
    for (std::size_t field = 0; field < kRowFields; ++field) {
        bool lost = (unreadable >> field & 1) != 0;
        if (lost) AddLostCharacter(kUnreadable);
        if ((marked >> field & 1) != 0 && ReplaceFieldMarks(row, starts[field], fieldEnd(field))) lost = true;
        if (field == kFirstAddressLine && !streetLost_.empty()) {
            for (const int mark : streetLost_) AddLostCharacter(mark);
            lost = true;
        }
        if (lost) contact.fields |= static_cast<std::uint16_t>(1u << field);
    }
    replaced_.append(row, copied_, std::string::npos);
    row.swap(replaced_);
    Fill(contact);
    if (contact.fields != 0) contact.reasons |= kLostText;
    return contact.fields != 0;
}

}  // namespace kartovo
