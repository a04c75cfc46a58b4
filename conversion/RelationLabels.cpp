#include "RelationLabels.h"

#include "AsciiName.h"
#include "Texts.h"

namespace kartovo {
namespace {

constexpr AsciiName kItemPrefix("item");
constexpr AsciiName kLabelSuffix(".X-ABLabel");

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view LabelItemNumber(std::string_view key) {
    // Most keys fail on their first four bytes, and all in a few compares.
    if (key.size() <= kItemPrefix.size() + kLabelSuffix.size() || !kItemPrefix.At(key.data()) ||
        !kLabelSuffix.At(key.data() + key.size() - kLabelSuffix.size())) {
        return {};
    }
    const std::string_view digits =
        key.substr(kItemPrefix.size(), key.size() - kItemPrefix.size() - kLabelSuffix.size());
    if (digits[0] == '0') return {};
    for (const char c : digits) {
        if (!IsDigit(c)) return {};
    }
    return digits;
}

bool ItemNumberLess(std::string_view a, std::string_view b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::uint64_t ItemOrder(std::string_view digits) {
    if (digits.size() >= 20) return kLongItemNumber;
    std::uint64_t value = 0;
    for (const char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
    return value;
}

bool IsRelationLabel(std::string_view label) { return label == texts::kSpouseLabel || label == texts::kChildLabel; }

bool ItemNumbers::Insert(std::string_view digits, std::uint64_t order) {
    if (order < 64) {
        const std::uint64_t bit = std::uint64_t{1} << order;
        const bool added = (small_ & bit) == 0;
        small_ |= bit;
        return added;
    }
    if (large_.find(digits) != large_.end()) return false;
    large_.emplace(digits);
    return true;
}

void ItemNumbers::Clear() {
    small_ = 0;
    large_.clear();
}

}  // namespace kartovo
