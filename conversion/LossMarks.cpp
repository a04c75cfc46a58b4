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
    lost_.clear();
    marked_ = 0;
    unreadable_ = 0;
    streetLost_.clear();
}

void LossMarks::Note(Value value, Conversion conversion) {
    if (conversion == Conversion::Substituted) marked_ |= static_cast<std::uint16_t>(1u << value);
    if (conversion == Conversion::Undecodable) unreadable_ |= static_cast<std::uint16_t>(1u << value);
}

void LossMarks::StandardCells(const FieldStarts& starts, std::size_t rowSize, std::vector<Cell>& cells) {
    // Field 1 the reading, 2 and 3 the name and its honorific, 4 to 6 the
    // postal code and the address lines, 7 to 10 the joint names.
    static constexpr std::uint16_t kFed[kRowFields] = {
        1u << kReadingLast | 1u << kReadingFirst, 1u << kName, 1u << kName, 1u << kHomeAddress, 1u << kHomeAddress,
        1u << kHomeAddress, 1u << kSpouse, 1u << kChild1, 1u << kChild2, 1u << kChild3};
    cells.resize(kRowFields);
    for (std::size_t field = 0; field < kRowFields; ++field) {
        // A field's text ends before the separator, or the row's last quote.
        const std::size_t end = field + 1 < kRowFields ? starts[field + 1] - kSeparatorLength : rowSize - 1;
        cells[field] = {starts[field], end, kFed[field], field == 4};
    }
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

char32_t LossMarks::LostCharacter(int mark) const {
    return mark == kOthers ? U'\uFFFD' : lost_[static_cast<std::size_t>(mark)];
}

void LossMarks::AppendAsUtf8(std::string_view text, std::string& utf8) const {
    // A character at a time from the text's start, which starts one,
    // written through a pointer: a byte gives at most three bytes of UTF-8,
    // and a mark, two bytes, at most four.
    const std::size_t start = utf8.size();
    utf8.resize(start + 3 * text.size());
    char* out = utf8.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        char16_t pair = 0;
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
            ++i;
        } else if (i + 1 < n && (c == kUnassignedLeadBytes[0] || c == kUnassignedLeadBytes[1]) &&
                   p[i + 1] >= kFirstTrail) {
            out = WriteUtf8(LostCharacter(MarkNumber(text, i)), out);
            i += 2;
        } else if (i + 1 < n && (pair = DecodeCp932Pair(c, p[i + 1])) != 0) {
            out = WriteUtf8(pair, out);
            i += 2;
        } else {
            out = WriteUtf8(DecodeCp932Single(c), out);
            ++i;
        }
    }
    utf8.resize(static_cast<std::size_t>(out - utf8.data()));
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
        AppendShownCharacter(LostCharacter(mark), description_);
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

void LossMarks::StartDescription(std::string_view name) {
    description_.clear();
    AppendAsUtf8(name, description_);
    nameSize_ = description_.size();
    listed_.reset();
}

void LossMarks::Fill(LostContactView& contact) const {
    contact.name = std::string_view(description_).substr(0, nameSize_);
    contact.characters = std::string_view(description_).substr(nameSize_);
}

void LossMarks::AddReason(ReportReason reason, std::string_view text, LostContactView& contact) {
    if (description_.size() > nameSize_) description_ += "、";
    description_ += text;
    contact.reasons |= reason;
    Fill(contact);
}

bool LossMarks::ReplaceMarks(std::string& row, const std::vector<Cell>& cells, bool kept, LostContactView& contact) {
    replaced_.clear();
    copied_ = 0;
    contact.fields = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        bool lost = (cell.values & unreadable_) != 0;
        if (lost) AddLostCharacter(kUnreadable);
        if (!kept && (cell.values & marked_) != 0 && ReplaceFieldMarks(row, cell.start, cell.end)) lost = true;
        if (!kept && cell.street && !streetLost_.empty()) {
            for (const int mark : streetLost_) AddLostCharacter(mark);
            lost = true;
        }
        if (lost && i < 16) contact.fields |= static_cast<std::uint16_t>(1u << i);
        if (lost) contact.reasons |= kLostText;
    }
    replaced_.append(row, copied_, std::string::npos);
    row.swap(replaced_);
    Fill(contact);
    return (contact.reasons & kLostText) != 0;
}

}  // namespace kartovo
