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
#include <bitset>
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
    // The values a row is built from, each feeding fields of its own.
    enum Value { kReadingLast, kReadingFirst, kName, kHomeAddress, kSpouse, kChild1, kChild2, kChild3, kValueCount };

    static constexpr std::size_t kRowFields = 10;
    // Where each of the present layout's fields starts, as the row builder
    // wrote them.
    using FieldStarts = std::array<std::size_t, kRowFields>;
    // A cell of a written row: its text's bytes, the values it shows (bits
    // of Value), and whether the street ends it.
    struct Cell {
        std::size_t start = 0;
        std::size_t end = 0;
        std::uint16_t values = 0;
        bool street = false;
    };
    // The present layout's ten cells.
    static void StandardCells(const FieldStarts& starts, std::size_t rowSize, std::vector<Cell>& cells);

    LossMarks();
    LossMarks(const LossMarks&) = delete;
    LossMarks& operator=(const LossMarks&) = delete;

    // Forgets the contact before.
    void Clear();
    // What the encoder writes for a lost character of this contact.
    const Cp932Encoder::Marker& Marker() const { return marker_; }
    // How a value that the row writes came through the conversion.
    void Note(Value value, Conversion conversion);
    // Whether a written value lost anything.
    bool Any() const { return marked_ != 0 || unreadable_ != 0; }
    bool IsMarked(Value value) const { return (marked_ >> value & 1) != 0; }

    // The street's "?" become "－", and so do the marks of the characters
    // lost there. A lost dash or hyphen is what the hyphen stands for, and
    // goes unreported; any other character is reported.
    void RepairStreet(std::string& street);

    // Starts the contact's description with its name (CP932, marks in
    // place) as UTF-8, each mark as the character it stands for.
    void StartDescription(std::string_view name);
    // Makes every mark of a written row the CSV's "?", and names in
    // `contact` (good until the next contact) the cells that lost text and
    // what they lost. Where the file keeps every character (`kept`), a mark
    // loses nothing and stays, and only a value that could not be read is
    // named. False when nothing written was lost.
    bool ReplaceMarks(std::string& row, const std::vector<Cell>& cells, bool kept, LostContactView& contact);
    // Names the contact for another reason too: `text` after what it lost.
    void AddReason(ReportReason reason, std::string_view text, LostContactView& contact);
    // Appends a written row as UTF-8, each mark as the character it stands for.
    void AppendAsUtf8(std::string_view row, std::string& utf8) const;

private:
    // The description as `contact` reads it.
    void Fill(LostContactView& contact) const;
    // The character a mark stands for.
    char32_t LostCharacter(int mark) const;
    // Takes row[copied_, to) into replaced_ with each mark of [from, to)
    // as "?", and lists their characters; false when there was none.
    bool ReplaceFieldMarks(const std::string& row, std::size_t from, std::size_t to);
    // Adds what mark `mark` stands for to the characters unless listed already.
    void AddLostCharacter(int mark);
    // The mark of lost character `c`, the same for each occurrence.
    std::string_view MarkOf(char32_t c);

    Cp932Encoder::Marker marker_;
    char mark_[2] = {};
    std::vector<char32_t> lost_;  // the character of each mark, by its number
    std::uint16_t marked_ = 0;      // values that lost characters
    std::uint16_t unreadable_ = 0;  // values that could not be read
    std::vector<int> streetLost_;   // marks the street's repair took, in order
    // The contact being reported: the row with "?" for its marks, and its
    // name then the characters it lost.
    std::string replaced_;
    std::size_t copied_ = 0;  // bytes of the row taken into replaced_
    std::string description_;
    std::size_t nameSize_ = 0;
    std::bitset<256> listed_;  // marks listed already, and kUnreadable
};

}  // namespace kartovo
