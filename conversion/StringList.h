#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// Fails with "リストのインデックスが範囲を超えています (%d)" for the index.
[[noreturn]] void FailListIndex(int index);

// An ordered, unsorted list of CP932 texts. Reading outside it fails with the
// list index error rather than returning something made up.
//
// Clearing keeps the entries' storage: the card line store is filled and
// emptied once per contact, and reusing the strings spares two allocations
// a line.
class StringList {
public:
    // The entry comes empty: appending to it skips assign's general path.
    void Add(std::string_view text) { NewEntry().append(text); }
    // Appends an empty entry and returns it, to be filled in place.
    std::string& NewEntry() {
        if (count_ == items_.size()) items_.emplace_back();
        std::string& entry = items_[count_++];
        entry.clear();
        return entry;
    }
    const std::string& At(int index) const;
    int Count() const { return static_cast<int>(count_); }
    void Clear() { count_ = 0; }
    // Takes back the last entry, keeping its storage.
    void DropLast() {
        if (count_ > 0) --count_;
    }
    // Gives the memory back too: a run's lists can be large.
    void Release();
    // Index of the first entry equal to `text` ignoring letter case, or -1.
    int IndexOf(std::string_view text) const;

private:
    std::vector<std::string> items_;
    std::size_t count_ = 0;
};

}  // namespace kartovo
