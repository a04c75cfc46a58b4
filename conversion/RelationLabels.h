#pragma once
// The relation labels of a contact: Google groups a related name and its
// label as `itemN.X-ABRELATEDNAMES` and `itemN.X-ABLabel`, numbering the
// groups across all of the contact's custom-labelled lines, so a spouse or
// a child may stand at any item number.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Cp932Encoder.h"

namespace kartovo {

// The item number of a label key `itemN.X-ABLabel` ("item" and ".X-ABLabel"
// in any letter case), or 0 for any other key. N is written without leading
// zeros, as Google writes it (`item011` is no item 11), and has at most 19
// digits, so that it is held as an integer.
std::uint64_t LabelItemNumber(std::string_view key);

enum class Relation { None, Spouse, Child };
// What a label's text marks: compared byte for byte.
Relation RelationOf(std::string_view label);

// The item numbers whose label line a contact has shown already: only the
// first line of each number counts. An open-addressing hash set of the
// numbers themselves, eight bytes each, so that a contact of millions of
// labels costs neither time nor much memory.
class ItemNumbers {
public:
    // Adds a number (1 or more); false when it was there already.
    bool Insert(std::uint64_t item);
    void Clear();

private:
    void Grow();

    std::uint64_t small_ = 0;  // numbers below 64, nearly all there is
    std::vector<std::uint64_t> table_;  // 0 marks a free slot
    std::size_t count_ = 0;
};

// A related name that may reach a joint-name slot, with how its text came
// through the conversion.
struct RelatedName {
    std::uint64_t item = 0;
    std::string name;
    Conversion conversion = Conversion::Exact;
};

// The spouse and child labels of a contact that can still fill the slots.
// The slots follow the labels in item order: a later spouse overwrites an
// earlier one, and the third child ends the scan. So only the three
// lowest children count, and only a spouse below the third of them: the
// others are dropped as they come, which keeps a contact of a hundred
// thousand labels, in any order, linear.
class RelatedNames {
public:
    void Clear();
    // Whether a label of `item` could still reach a slot.
    bool Counts(std::uint64_t item) const { return item < Cutoff(); }
    // Takes the label of a counting item and returns the name to fill in.
    RelatedName& Add(std::uint64_t item, Relation relation);
    // Slot 0 the spouse, 1 to 3 the children; null where there is none.
    std::array<const RelatedName*, 4> Slots() const;

private:
    // Items from here on can no longer reach a slot.
    std::uint64_t Cutoff() const { return children_ == 3 ? child_[2].item : UINT64_MAX; }
    // Drops the spouses that the children have since cut off.
    void DropCutOffSpouses();

    std::array<RelatedName, 3> child_;  // by item
    std::size_t children_ = 0;
    std::vector<RelatedName> spouse_;   // in file order; storage kept across contacts
    std::size_t spouses_ = 0;
    std::size_t spousesChecked_ = 0;   // how many spouses the last drop left
};

}  // namespace kartovo
