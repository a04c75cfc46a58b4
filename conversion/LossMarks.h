#pragma once
// How a run learns which written fields of a contact show lost text, and
// what they lost. The values a row reads are converted with a mark in the
// place of each character that has no CP932 form, instead of "?": one
// double-byte character on a lead byte that CP932 leaves unassigned. The row
// builder carries a mark exactly where it would carry "?": through the
// component split, the unescaping, the line-break replacement and the
// quoting; and, being one character as "?" is, it reads the note's print
// flags alike. So the built row shows each lost character in its place, and
// with every mark made "?" it is the CSV's row. Only the written fields are
// read: a lost character of the note, or of a joint name that is not
// printed, counts for nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Cp932Encoder.h"
#include "LossReport.h"

namespace kartovo {

class LossMarks {
public:
    LossMarks();
    LossMarks(const LossMarks&) = delete;
    LossMarks& operator=(const LossMarks&) = delete;

    // Forgets the contact before.
    void Clear();
    // What the encoder writes for a lost character of this contact.
    const Cp932Encoder::Marker& Marker() const { return marker_; }
    // Value `index` of the store lost text: it holds marks, or, when it
    // could not be read, it is empty.
    void AddValue(int index, Conversion conversion);
    // Whether a value of the contact lost anything.
    bool Any() const { return !marked_.empty() || !unreadable_.empty(); }
    bool IsMarked(int index) const { return Holds(marked_, index); }
    // The store indexes of the values that lost text, and of those that
    // could not be read.
    const std::vector<int>& MarkedValues() const { return marked_; }
    const std::vector<int>& UnreadableValues() const { return unreadable_; }

    // The street's "?" become "－": so do the marks of the characters lost
    // there, whose "?" the CSV shows as a hyphen.
    void RepairStreet(std::string& street) const;

    // Where each of a row's fields starts, as the row builder wrote them.
    static constexpr std::size_t kRowFields = 10;
    using FieldStarts = std::array<std::size_t, kRowFields>;

    // Makes each mark of a built row the CSV's "?" (bit i of `marked` for
    // field i + 1 where one may stand), and returns the fields that showed
    // one, together with `unreadable`, those left empty by a value that
    // could not be read. To `describe` the contact is to work out Name()
    // and Characters().
    std::uint16_t TakeOut(std::string& row, const FieldStarts& starts, std::uint16_t marked,
                          std::uint16_t unreadable, bool describe);
    // The contact described last: its name field in its own characters,
    // and the characters it lost in order of appearance, UTF-8. Good until
    // the next contact is described.
    std::string_view Name() const { return {described_.data(), nameSize_}; }
    std::string_view Characters() const { return {described_.data() + nameSize_, used_ - nameSize_}; }

private:
    static bool Holds(const std::vector<int>& indexes, int index) {
        for (const int held : indexes) {
            if (held == index) return true;
        }
        return false;
    }
    // Takes the name field as the row holds it (CP932, quotes doubled,
    // marks in place) as UTF-8, each mark as the character it stands for,
    // and starts the list of characters after it.
    void Describe(std::string_view nameField);
    // Adds what mark `mark` stands for to the characters unless listed already.
    void List(int mark);
    // At least `size` bytes at the end of what is described, to write.
    char* Room(std::size_t size) {
        if (described_.size() - used_ < size) Grow(size);
        return described_.data() + used_;
    }
    void Grow(std::size_t size);
    // The mark of lost character `c`, the same for each occurrence.
    std::string_view MarkOf(char32_t c);

    Cp932Encoder::Marker marker_;
    char mark_[2] = {};
    std::vector<char32_t> lost_;  // the character of each mark, by its number
    std::vector<int> marked_;  // store indexes
    std::vector<int> unreadable_;
    // The name, then the characters, written straight into bytes reused
    // from contact to contact: no string grown a piece at a time.
    std::string described_;
    std::size_t nameSize_ = 0;
    std::size_t used_ = 0;
    // The marks listed for the contact described: a bit each for the first
    // 64, the rest by number.
    std::uint64_t listed_ = 0;
    bool listedUnreadable_ = false;
    std::vector<int> listedHigh_;
};

}  // namespace kartovo
