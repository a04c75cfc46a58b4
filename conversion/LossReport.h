#pragma once
// What a conversion could not write. A character without a CP932 form is
// written as "?", and a value that is not valid UTF-8 as nothing; the label
// printed from the CSV would show neither loss, so the run reports each
// contact that lost text in one of its written fields.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// What a contact is named in the report for.
enum ReportReason : std::uint8_t {
    kLostText = 1,        // a written field lost characters, or a value could not be read
    kNoHomeAddress = 2,   // it has addresses, none of them a home address
    kOverLimit = 4,       // a cell breaks a limit its form states, or a required cell is empty
};

// A contact named in the report, as the run hands it on: its texts are the
// run's own, good until the next contact.
struct LostContactView {
    long long number = 0;        // the contact's place in the file, counted from 1
    std::string_view name;       // field 2 in the source's own characters, UTF-8
    std::uint16_t fields = 0;    // bit i: field i + 1 shows lost text
    // UTF-8: "𠮷、U+FE0F", "（読めない値）" for a value that could not be
    // read, then what else the contact is named for.
    std::string_view characters;
    std::uint8_t reasons = 0;    // ReportReason bits
};

// The same, kept.
struct LostContact {
    long long number = 0;
    std::string name;
    std::uint16_t fields = 0;
    std::string characters;
    std::uint8_t reasons = 0;

    LostContactView View() const { return {number, name, fields, characters, reasons}; }
};

// What the report says of a contact with addresses, none of them at home.
inline constexpr std::string_view kNoHomeAddressText = "自宅の住所がありません（自宅以外の住所だけ）";

// The contacts named in the report, in file order: those that lost text,
// and those whose label will have no address. All are counted; only the
// first few are kept when the caller asks so, which bounds the memory of a
// window that shows ten of them whatever the file.
class LossReport {
public:
    void KeepAtMost(std::size_t entries) { keep_ = entries; }
    // Hands each contact to `each` as it comes, kept or not.
    void HandEachTo(std::function<void(const LostContactView&)> each) { each_ = std::move(each); }
    void Add(const LostContactView& contact);
    void Clear();
    long long Count() const { return count_; }
    // The contacts named for a reason.
    long long CountOf(ReportReason reason) const {
        return reason == kLostText ? lost_ : reason == kNoHomeAddress ? noHome_ : overLimit_;
    }
    const std::vector<LostContact>& Entries() const { return entries_; }

private:
    std::size_t keep_ = std::numeric_limits<std::size_t>::max();
    std::function<void(const LostContactView&)> each_;
    std::vector<LostContact> entries_;
    long long count_ = 0;
    long long lost_ = 0;
    long long noHome_ = 0;
    long long overLimit_ = 0;
};

// A line the run adds under the count, UTF-8: what the file looks like as a
// whole. One that warns turns the window's box into a warning.
struct RunNote {
    std::string text;
    bool warns = false;
};

// The contacts a report shown on screen lists by name: ten lines and the
// rest keep a message box within the screen, and the page reads the same.
inline constexpr std::size_t kShownLostContacts = 10;

// The report as the user reads it, UTF-8, lines joined by "\n": the
// headings with the counts, one line per kept contact up to `maxLines`,
// then "ほか{K}件" for the contacts not listed.
std::string LossReportText(const LossReport& report, std::size_t maxLines);
// Its parts: a heading for each reason, and a contact's line,
// "・{n}件目 {name}：{characters}".
std::string LossHeadings(const LossReport& report);
void AppendLossLine(const LostContactView& contact, std::string& text);
// The count message (UTF-8) with the notes under it, one a line.
std::string WithNotes(std::string countMessage, const std::vector<RunNote>& notes);
// Whether a run's outcome calls for a warning: a note that warns, or a
// contact that lost text.
bool Warns(const std::vector<RunNote>& notes, const LossReport& lost);

// Appends what a lost character reads as in the report: the character
// itself, or its code (U+FE0F) when it shows nothing of its own.
void AppendShownCharacter(char32_t c, std::string& text);
// The code of a character as the report writes it: U+ and four to six hex digits.
void AppendCodePoint(char32_t c, std::string& text);

}  // namespace kartovo
