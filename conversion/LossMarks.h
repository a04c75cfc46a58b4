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
    bool IsUnreadable(int index) const { return Holds(unreadable_, index); }

    // The street's "?" become "－": so do the marks of the characters lost
    // there, whose "?" the CSV shows as a hyphen.
    void RepairStreet(std::string& street) const;

    // Makes each mark of a built row the CSV's "?" (bit i of `marked` for
    // field i + 1 where one may stand), and returns the fields that showed
    // one, together with `unreadable`, those left empty by a value that
    // could not be read. With `contact`, it also gives the name field in
    // its own characters and the lost characters in order of appearance.
    std::uint16_t TakeOut(std::string& row, std::uint16_t marked, std::uint16_t unreadable, LostContact* contact);

private:
    static bool Holds(const std::vector<int>& indexes, int index) {
        for (const int held : indexes) {
            if (held == index) return true;
        }
        return false;
    }
    // Appends a name field as the row holds it (CP932, quotes doubled,
    // marks in place) as UTF-8, each mark as the character it stands for.
    void AppendName(std::string_view field, std::string& utf8) const;
    // The mark of lost character `c`, the same for each occurrence.
    std::string_view MarkOf(char32_t c);

    Cp932Encoder::Marker marker_;
    char mark_[2] = {};
    std::vector<char32_t> lost_;  // the character of each mark, by its number
    std::vector<int> marked_;  // store indexes
    std::vector<int> unreadable_;
    std::vector<int> listedHigh_;  // the marks from 64 on that TakeOut listed
};

}  // namespace kartovo
