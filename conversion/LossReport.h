#pragma once
// What a conversion could not write. A character without a CP932 form is
// written as "?", and a value that is not valid UTF-8 as nothing; the label
// printed from the CSV would show neither loss, so the run reports each
// contact that lost text in one of its ten written fields.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// A contact that lost text, as the run hands it on: its texts are the
// run's own, good until the next contact.
struct LostContactView {
    long long number = 0;        // the contact's place in the file, counted from 1
    std::string_view name;       // field 2 in the source's own characters, UTF-8
    std::uint16_t fields = 0;    // bit i: field i + 1 shows lost text
    std::string_view characters;  // UTF-8: "𠮷、U+FE0F", or "（読めない値）" for a value that could not be read
};

// The same, kept.
struct LostContact {
    long long number = 0;
    std::string name;
    std::uint16_t fields = 0;
    std::string characters;

    LostContactView View() const { return {number, name, fields, characters}; }
};

// The contacts that lost text, in file order. All are counted; only the
// first few are kept when the caller asks so, which bounds the memory of a
// window that shows ten of them whatever the file.
class LossReport {
public:
    void KeepAtMost(std::size_t entries) { keep_ = entries; }
    // Hands each contact to `each` as it comes, kept or not: a caller that
    // lists them all keeps them in its own, smaller form. One that reads no
    // more than `number` and `fields` says so, and the run then describes
    // only the contacts kept.
    void HandEachTo(std::function<void(const LostContactView&)> each, bool describedEach = true) {
        each_ = std::move(each);
        describedEach_ = describedEach;
    }
    // Whether the next contact is kept or handed on described: only then is
    // it worth describing. Otherwise its name and characters are empty.
    bool KeepsNext() const { return entries_.size() < keep_ || (each_ != nullptr && describedEach_); }
    void Add(const LostContactView& contact);
    void Clear();
    long long Count() const { return count_; }
    const std::vector<LostContact>& Entries() const { return entries_; }

private:
    std::size_t keep_ = std::numeric_limits<std::size_t>::max();
    std::function<void(const LostContactView&)> each_;
    bool describedEach_ = true;
    std::vector<LostContact> entries_;
    long long count_ = 0;
};

// The contacts a report shown on screen lists by name: ten lines and the
// rest keep a message box within the screen, and the page reads the same.
inline constexpr std::size_t kShownLostContacts = 10;

// The report as the user reads it, UTF-8, lines joined by "\n": the heading
// with the count, one line per kept contact up to `maxLines`, then
// "ほか{K}件" for the contacts not listed.
std::string LossReportText(const LossReport& report, std::size_t maxLines);
// Its parts: the heading, and a contact's line, "・{n}件目 {name}：{characters}",
// which WriteLossLine writes in at most LossLineBound bytes at `out` and
// returns its end.
std::string LossHeading(long long count);
void AppendLossLine(const LostContactView& contact, std::string& text);
std::size_t LossLineBound(const LostContactView& contact);
char* WriteLossLine(const LostContactView& contact, char* out);

// Writes what a lost character reads as in the report, at most 10 bytes:
// the character itself, or its code (U+FE0F) when it shows nothing of its own.
char* WriteShownCharacter(char32_t c, char* out);

}  // namespace kartovo
