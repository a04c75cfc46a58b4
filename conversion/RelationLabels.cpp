#include "RelationLabels.h"

#include "Cp932.h"
#include "Texts.h"

namespace kartovo {
namespace {

constexpr std::string_view kItemPrefix = "item";
constexpr std::string_view kLabelSuffix = ".X-ABLabel";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view LabelItemNumber(std::string_view key) {
    if (key.size() <= kItemPrefix.size() + kLabelSuffix.size()) return {};
    const std::string_view digits =
        key.substr(kItemPrefix.size(), key.size() - kItemPrefix.size() - kLabelSuffix.size());
    if (digits[0] == '0') return {};
    for (const char c : digits) {
        if (!IsDigit(c)) return {};
    }
    if (!EqualsIgnoreCase(key.substr(0, kItemPrefix.size()), kItemPrefix)) return {};
    if (!EqualsIgnoreCase(key.substr(key.size() - kLabelSuffix.size()), kLabelSuffix)) return {};
    return digits;
}

bool ItemNumberLess(std::string_view a, std::string_view b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool IsRelationLabel(std::string_view label) { return label == texts::kSpouseLabel || label == texts::kChildLabel; }

bool ItemNumbers::Insert(std::string_view digits) {
    if (digits.size() <= 2) {
        unsigned number = 0;
        for (const char c : digits) number = number * 10 + static_cast<unsigned>(c - '0');
        if (number < 64) {
            const std::uint64_t bit = std::uint64_t{1} << number;
            const bool added = (small_ & bit) == 0;
            small_ |= bit;
            return added;
        }
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
