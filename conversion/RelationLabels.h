#pragma once
// The relation labels of a contact: Google groups a related name and its
// label as `itemN.X-ABRELATEDNAMES` and `itemN.X-ABLabel`, numbering the
// groups across all of the contact's custom-labelled lines, so a spouse or
// a child may stand at any item number.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace kartovo {

// The item number of a label key `itemN.X-ABLabel` ("item" and ".X-ABLabel"
// in any letter case), as its digits; empty for any other key. N is written
// without leading zeros, as Google writes it: `item011` is no item 11.
std::string_view LabelItemNumber(std::string_view key);

// Whether item number `a` comes before `b`. There is no upper limit, so
// they are compared as digits: the shorter is the smaller.
bool ItemNumberLess(std::string_view a, std::string_view b);

// An item number's place in the order of ItemNumberLess, as one integer:
// its value, or kLongItemNumber for a number of 20 digits or more, which no
// 64 bits hold; only such numbers need their digits compared.
inline constexpr std::uint64_t kLongItemNumber = UINT64_MAX;
std::uint64_t ItemOrder(std::string_view digits);

// Whether a label's text marks a spouse or a child: compared byte for byte.
bool IsRelationLabel(std::string_view label);

// The item numbers whose label line a contact has shown already: only the
// first line of each number counts.
class ItemNumbers {
public:
    // Adds a number, of ItemOrder `order`; false when it was there already.
    bool Insert(std::string_view digits, std::uint64_t order);
    void Clear();

private:
    // Numbers below 64 are nearly all there is, and cost no allocation.
    std::uint64_t small_ = 0;
    std::set<std::string, std::less<>> large_;
};

}  // namespace kartovo
