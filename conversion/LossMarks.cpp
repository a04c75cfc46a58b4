#include "LossMarks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

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
constexpr int kUnreadable = -1;  // in the list of what a contact lost
constexpr std::size_t kRowFields = LossMarks::kRowFields;
constexpr std::size_t kNameField = 1;
constexpr std::size_t kSeparatorLength = 3;  // ","

// The next mark in text[from, to), where `from` starts a character: a byte
// search for the lead bytes, each hit then checked to start a character the
// way FindOnBoundary checks. Returns `to` when there is none.
std::size_t NextMark(std::string_view text, std::size_t from, std::size_t to) {
    std::size_t known = from;  // a character starts here
    for (std::size_t i = from;;) {
        const char* hit =
            FindAnyOfWithin(text.data() + i, text.data() + to, text.data() + text.size(), kFirstLead, kSecondLead);
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

void LossMarks::Grow(std::size_t size) { described_.resize(std::max(2 * described_.size(), used_ + size)); }

void LossMarks::Describe(std::string_view field) {
    // In one walk, a character at a time from the field's start, which
    // starts one. A byte of the field gives at most three of UTF-8: a mark,
    // two bytes, gives four at most, and a doubled quote one.
    used_ = 0;
    char* out = Room(field.size() * 3);
    const auto* p = reinterpret_cast<const unsigned char*>(field.data());
    const std::size_t n = field.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == '"') {
            *out++ = '"';
            i += 2;  // and the quote that doubles it
            continue;
        }
        if (i + 1 < n) {
            if ((c == kUnassignedLeadBytes[0] || c == kUnassignedLeadBytes[1]) && p[i + 1] >= kFirstTrail) {
                const int mark = MarkNumber(field, i);
                out = WriteUtf8(mark == kOthers ? U'\uFFFD' : lost_[static_cast<std::size_t>(mark)], out);
                i += 2;
                continue;
            }
            if (const char16_t pair = DecodeCp932Pair(c, p[i + 1]); pair != 0) {
                out = WriteUtf8(pair, out);
                i += 2;
                continue;
            }
        }
        out = WriteUtf8(DecodeCp932Single(c), out);
        ++i;
    }
    used_ = nameSize_ = static_cast<std::size_t>(out - described_.data());
    listed_ = 0;
    listedUnreadable_ = false;
    listedHigh_.clear();
}

void LossMarks::List(int mark) {
    // Each mark listed once: a contact rarely loses more than a few kinds
    // of character, and a bit each covers the first 64.
    if (mark == kUnreadable) {
        if (std::exchange(listedUnreadable_, true)) return;
    } else if (mark < 64) {
        if ((listed_ >> mark & 1) != 0) return;
        listed_ |= std::uint64_t{1} << mark;
    } else if (std::find(listedHigh_.begin(), listedHigh_.end(), mark) != listedHigh_.end()) {
        return;
    } else {
        listedHigh_.push_back(mark);
    }
    static constexpr std::string_view kComma = "、";
    static constexpr std::string_view kUnreadableText = "（読めない値）";
    static constexpr std::string_view kOthersText = "…";
    char* out = Room(kComma.size() + kUnreadableText.size());
    const auto put = [&out](std::string_view text) { out = std::copy(text.begin(), text.end(), out); };
    if (used_ > nameSize_) put(kComma);
    if (mark == kUnreadable) {
        put(kUnreadableText);
    } else if (mark == kOthers) {
        put(kOthersText);
    } else {
        out = WriteShownCharacter(lost_[static_cast<std::size_t>(mark)], out);
    }
    used_ = static_cast<std::size_t>(out - described_.data());
}

std::uint16_t LossMarks::TakeOut(std::string& row, const FieldStarts& starts, std::uint16_t marked,
                                 std::uint16_t unreadable, bool describe) {
    // Where a field's text ends: before the separator, or the row's last quote.
    const auto fieldEnd = [&](std::size_t field) {
        return field + 1 < kRowFields ? starts[field + 1] - kSeparatorLength : row.size() - 1;
    };
    if (describe) Describe(std::string_view(row.data() + starts[kNameField], fieldEnd(kNameField) - starts[kNameField]));

    // A value that could not be read is listed where its field begins.
    unsigned fields = 0;
    std::size_t begun = 0;
    const auto enter = [&](std::size_t upTo) {  // the fields begun up to here
        if (unreadable == 0) return;
        for (; begun <= upTo && (unreadable >> begun) != 0; ++begun) {
            if ((unreadable >> begun & 1) == 0) continue;
            fields |= 1u << begun;
            if (describe) List(kUnreadable);
        }
    };
    if (marked != 0) {
        // One search, in order, from the first field that may hold a mark
        // to the end of the last; the row shrinks in place by a byte a mark.
        auto field = static_cast<std::size_t>(std::countr_zero(marked));
        const auto last = static_cast<std::size_t>(std::bit_width(marked)) - 1;
        const std::size_t end = fieldEnd(last);
        std::size_t at = NextMark(row, starts[field], end);
        std::size_t to = at;    // where the next byte kept goes
        std::size_t done = at;  // the bytes before it are in place
        for (; at < end; at = NextMark(row, done, end)) {
            while (field < last && starts[field + 1] <= at) ++field;
            enter(field);
            fields |= 1u << field;
            if (describe) List(MarkNumber(row, at));
            if (to != done) std::memmove(row.data() + to, row.data() + done, at - done);
            to += at - done;
            row[to++] = '?';
            done = at + 2;
        }
        if (to != done) {
            std::memmove(row.data() + to, row.data() + done, row.size() - done);
            row.resize(to + (row.size() - done));
        }
    }
    enter(kRowFields - 1);
    return static_cast<std::uint16_t>(fields);
}

}  // namespace kartovo
