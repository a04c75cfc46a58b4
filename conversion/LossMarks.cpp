#include "LossMarks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "ByteSearch.h"
#include "Cp932.h"
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
constexpr int kUnreadable = -1;  // in the list of what a contact lost
constexpr std::size_t kRowFields = 10;
constexpr std::size_t kNameField = 1;
constexpr std::size_t kSeparatorLength = 3;  // ","

// Where each field's text starts in a row, up to field `last`, and where
// the one after it starts: the row builder writes each field between
// quotes, with any quote in it doubled, and a comma between them. No trail
// byte is a quote, so the bytes tell. Only a row that lost text is read so:
// the row builder, which runs for every contact, records nothing.
std::array<std::size_t, kRowFields> FieldStarts(std::string_view row, std::size_t last) {
    std::array<std::size_t, kRowFields> starts{};
    std::size_t field = 0;
    starts[0] = 1;
    const std::size_t wanted = std::min(last + 1, kRowFields - 1);
    for (std::size_t quote = FindByte(row, '"', 1); quote != std::string_view::npos && field < wanted;
         quote = FindByte(row, '"', quote + 1)) {
        if (quote + 1 < row.size() && row[quote + 1] == '"') {
            ++quote;  // a doubled quote, inside the field
            continue;
        }
        quote += 2;  // the closing quote, the comma, and the next opening quote
        starts[++field] = quote + 1;
    }
    return starts;
}

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
    marked_.clear();
    unreadable_.clear();
}

void LossMarks::AddValue(int index, Conversion conversion) {
    (conversion == Conversion::Undecodable ? unreadable_ : marked_).push_back(index);
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

void LossMarks::RepairStreet(std::string& street) const {
    // A mark and "－" are both two bytes: the street keeps its length.
    for (std::size_t at = NextMark(street, 0, street.size()); at < street.size();
         at = NextMark(street, at + 2, street.size())) {
        std::memcpy(street.data() + at, texts::kFullwidthHyphen.data(), 2);
    }
}

void LossMarks::AppendName(std::string_view field, std::string& utf8) const {
    // Character by character from the field's start, which starts one: the
    // runs between marks and doubled quotes are decoded whole.
    std::size_t plain = 0;
    const auto flush = [&](std::size_t to) {
        if (to > plain) AppendCp932AsUtf8(field.substr(plain, to - plain), utf8);
    };
    for (std::size_t i = 0; i < field.size();) {
        const auto c = static_cast<unsigned char>(field[i]);
        if (c == '"') {
            flush(i + 1);  // and the quote that doubles it goes
            i += 2;
            plain = i;
        } else if (!IsCp932LeadByte(c) || i + 1 == field.size()) {
            ++i;
        } else if ((field[i] == kFirstLead || field[i] == kSecondLead) &&
                   static_cast<unsigned char>(field[i + 1]) >= kFirstTrail) {
            flush(i);
            const int mark = MarkNumber(field, i);
            AppendUtf8(mark == kOthers ? U'\uFFFD' : lost_[static_cast<std::size_t>(mark)], utf8);
            i += 2;
            plain = i;
        } else {
            i += 2;
        }
    }
    flush(field.size());
}

std::uint16_t LossMarks::TakeOut(std::string& row, std::uint16_t marked, std::uint16_t unreadable,
                                 LostContact* contact) {
    // The fields to read: the name, and those that may hold a mark.
    std::size_t last = kNameField;
    while ((marked >> (last + 1)) != 0) ++last;
    const auto starts = FieldStarts(row, last);
    // Each mark listed once: a contact rarely loses more than a few kinds
    // of character, and a bit each covers the first 64.
    std::uint64_t listed = 0;
    bool listedUnreadable = false;
    const auto list = [&](int mark) {
        if (contact == nullptr) return;
        if (mark == kUnreadable) {
            if (std::exchange(listedUnreadable, true)) return;
        } else if (mark < 64) {
            if ((listed >> mark & 1) != 0) return;
            listed |= std::uint64_t{1} << mark;
        } else if (std::find(listedHigh_.begin(), listedHigh_.end(), mark) != listedHigh_.end()) {
            return;
        } else {
            listedHigh_.push_back(mark);
        }
        if (!contact->characters.empty()) contact->characters += "、";
        if (mark == kUnreadable) {
            contact->characters += "（読めない値）";
        } else if (mark == kOthers) {
            contact->characters += "…";
        } else {
            AppendShownCharacter(lost_[static_cast<std::size_t>(mark)], contact->characters);
        }
    };
    listedHigh_.clear();
    // Where a field's text ends: before the separator, or the row's last quote.
    const auto fieldEnd = [&](std::size_t field) {
        return field + 1 < kRowFields ? starts[field + 1] - kSeparatorLength : row.size() - 1;
    };

    if (contact != nullptr) {
        contact->name.clear();
        contact->characters.clear();
        AppendName(std::string_view(row).substr(starts[kNameField], fieldEnd(kNameField) - starts[kNameField]),
                   contact->name);
    }

    // In one pass, in order; the row shrinks in place by a byte a mark. A
    // value that could not be read is listed where its field begins.
    unsigned fields = 0;
    std::size_t field = 0;
    const auto enter = [&](std::size_t upTo) {  // the fields begun up to here
        for (; field <= upTo && (unreadable >> field) != 0; ++field) {
            if ((unreadable >> field & 1) == 0) continue;
            fields |= 1u << field;
            list(kUnreadable);
        }
    };
    std::size_t to = starts[0];
    std::size_t done = starts[0];  // what is copied, or stays where it is
    for (unsigned rest = marked; rest != 0; rest &= rest - 1) {
        const auto markField = static_cast<std::size_t>(std::countr_zero(rest));
        const std::size_t end = fieldEnd(markField);
        for (std::size_t at = NextMark(row, starts[markField], end); at < end; at = NextMark(row, at + 2, end)) {
            enter(markField);
            fields |= 1u << markField;
            list(MarkNumber(row, at));
            if (to != done) std::memmove(row.data() + to, row.data() + done, at - done);
            to += at - done;
            row[to++] = '?';
            done = at + 2;
        }
    }
    enter(kRowFields - 1);
    if (to != done) std::memmove(row.data() + to, row.data() + done, row.size() - done);
    row.resize(to + (row.size() - done));
    return static_cast<std::uint16_t>(fields);
}

}  // namespace kartovo
