#include "RelationLabels.h"

#include <algorithm>
#include <utility>

#include "AsciiName.h"
#include "Texts.h"

namespace kartovo {
namespace {

constexpr AsciiName kItemPrefix("item");
constexpr AsciiName kLabelSuffix(".X-ABLabel");
constexpr std::size_t kMostDigits = 19;  // below 10^19, so within 64 bits

}  // namespace

std::uint64_t LabelItemNumber(std::string_view key) {
    // Most keys fail on their first four bytes, and all in a few compares.
    if (key.size() <= kItemPrefix.size() + kLabelSuffix.size() || !kItemPrefix.At(key.data()) ||
        !kLabelSuffix.At(key.data() + key.size() - kLabelSuffix.size())) {
        return 0;
    }
    const std::string_view digits =
        key.substr(kItemPrefix.size(), key.size() - kItemPrefix.size() - kLabelSuffix.size());
    if (digits[0] == '0' || digits.size() > kMostDigits) return 0;
    std::uint64_t item = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        item = item * 10 + static_cast<unsigned>(c - '0');
    }
    return item;
}

Relation RelationOf(std::string_view label) {
    if (label == texts::kSpouseLabel) return Relation::Spouse;
    if (label == texts::kChildLabel) return Relation::Child;
    return Relation::None;
}

bool ItemNumbers::Insert(std::uint64_t item) {
    if (item < 64) {
        const std::uint64_t bit = std::uint64_t{1} << item;
        const bool added = (small_ & bit) == 0;
        small_ |= bit;
        return added;
    }
    if (2 * (count_ + 1) > table_.size()) Grow();
    const std::size_t mask = table_.size() - 1;
    // Fibonacci hashing spreads numbers that differ in their low bits.
    for (std::size_t slot = static_cast<std::size_t>((item * 0x9E3779B97F4A7C15ULL) >> 32) & mask;;
         slot = (slot + 1) & mask) {
        if (table_[slot] == item) return false;
        if (table_[slot] == 0) {
            table_[slot] = item;
            ++count_;
            return true;
        }
    }
}

void ItemNumbers::Grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(16, 2 * table_.size()), 0);
    old.swap(table_);
    count_ = 0;
    for (const std::uint64_t item : old) {
        if (item != 0) Insert(item);
    }
}

void ItemNumbers::Clear() {
    small_ = 0;
    if (count_ == 0) return;
    // A contact of many labels gives its table back rather than leave the
    // next ones to clear it.
    if (table_.size() > 1024) {
        table_ = {};
    } else {
        std::fill(table_.begin(), table_.end(), 0);
    }
    count_ = 0;
}

void RelatedNames::Clear() {
    children_ = 0;
    spouses_ = 0;
    spousesChecked_ = 0;
}

RelatedName& RelatedNames::Add(std::uint64_t item, Relation relation) {
    if (relation == Relation::Spouse) {
        if (spouses_ >= 2 * spousesChecked_ + 8) DropCutOffSpouses();
        if (spouses_ == spouse_.size()) spouse_.emplace_back();
        RelatedName& spouse = spouse_[spouses_++];
        spouse.item = item;
        return spouse;
    }
    // Into its place among at most three, by item; with three, the highest goes.
    std::size_t at = std::min<std::size_t>(children_, 2);
    child_[at].item = item;
    for (; at > 0 && child_[at - 1].item > item; --at) std::swap(child_[at - 1], child_[at]);
    children_ = std::min<std::size_t>(children_ + 1, 3);
    return child_[at];
}

void RelatedNames::DropCutOffSpouses() {
    const std::uint64_t cutoff = Cutoff();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < spouses_; ++i) {
        if (spouse_[i].item < cutoff) std::swap(spouse_[kept++], spouse_[i]);
    }
    spouses_ = kept;
    spousesChecked_ = kept;
}

std::array<const RelatedName*, 4> RelatedNames::Slots() const {
    std::array<const RelatedName*, 4> slots{};
    const std::uint64_t cutoff = Cutoff();
    for (std::size_t i = 0; i < spouses_; ++i) {
        const RelatedName& spouse = spouse_[i];
        if (spouse.item < cutoff && (slots[0] == nullptr || spouse.item > slots[0]->item)) slots[0] = &spouse;
    }
    for (std::size_t i = 0; i < children_; ++i) slots[i + 1] = &child_[i];
    return slots;
}

}  // namespace kartovo
