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

// The quote that closes the field whose text starts at `from`: the first
// that no other follows, as one inside it is doubled.
std::size_t ClosingQuote(std::string_view row, std::size_t from) {
    std::size_t quote = FindByte(row, '"', from);
    while (quote != std::string_view::npos && quote + 1 < row.size() && row[quote + 1] == '"') {
        quote = FindByte(row, '"', quote + 2);
    }
    return quote;
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

char* LossMarks::Room(std::size_t size) {
    if (described_.size() - used_ < size) described_.resize(std::max(2 * described_.size(), used_ + size));
    return described_.data() + used_;
}

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

std::uint16_t LossMarks::TakeOutEverywhere(std::string& row, std::uint16_t marked, bool describe) {
    if (describe) {
        // The name field is the second: after the first's closing quote, the comma and its opening quote.
        const std::size_t start = ClosingQuote(row, 1) + kSeparatorLength;
        Describe(std::string_view(row).substr(start, ClosingQuote(row, start) - start));
    }
    // The row shrinks in place by a byte a mark, from its first mark on.
    const std::size_t end = row.size() - 1;  // the last field's closing quote
    std::size_t at = NextMark(row, 1, end);
    if (at == end) return 0;
    std::size_t to = at;    // where the next byte kept goes
    std::size_t done = at;  // the bytes before it are in place
    while (at < end) {
        if (describe) List(MarkNumber(row, at));
        if (to != done) std::memmove(row.data() + to, row.data() + done, at - done);
        to += at - done;
        row[to++] = '?';
        done = at + 2;
        at = NextMark(row, done, end);
    }
    std::memmove(row.data() + to, row.data() + done, row.size() - done);
    row.resize(to + (row.size() - done));
    return marked;
}

std::uint16_t LossMarks::TakeOut(std::string& row, std::uint16_t marked, std::uint16_t unreadable, bool describe,
                                 bool exactFields) {
    if (unreadable == 0 && !exactFields) return TakeOutEverywhere(row, marked, describe);
    // The fields to read: the name, and those that may hold a mark.
    std::size_t last = kNameField;
    while ((marked >> (last + 1)) != 0) ++last;
    const auto starts = FieldStarts(row, last);
    // Where a field's text ends: before the separator, or the row's last quote.
    const auto fieldEnd = [&](std::size_t field) {
        return field + 1 < kRowFields ? starts[field + 1] - kSeparatorLength : row.size() - 1;
    };
    if (describe) Describe(std::string_view(row).substr(starts[kNameField], fieldEnd(kNameField) - starts[kNameField]));

    // In one pass, in order; the row shrinks in place by a byte a mark. A
    // value that could not be read is listed where its field begins.
    unsigned fields = 0;
    std::size_t field = 0;
    const auto enter = [&](std::size_t upTo) {  // the fields begun up to here
        for (; field <= upTo && (unreadable >> field) != 0; ++field) {
            if ((unreadable >> field & 1) == 0) continue;
            fields |= 1u << field;
            if (describe) List(kUnreadable);
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
            if (describe) List(MarkNumber(row, at));
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
