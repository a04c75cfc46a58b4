#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// An ordered, unsorted list of CP932 texts. Reading outside it fails with the
// list index error rather than returning something made up.
class StringList {
public:
    void Add(std::string text) { items_.push_back(std::move(text)); }
    const std::string& At(int index) const;
    int Count() const { return static_cast<int>(items_.size()); }
    void Clear() { items_.clear(); }
    // Gives the memory back, not only the entries: a run's lists can be large.
    void Release() { std::vector<std::string>().swap(items_); }
    // Index of the first entry equal to `text` ignoring letter case, or -1.
    int IndexOf(std::string_view text) const;
    const std::vector<std::string>& Items() const { return items_; }

private:
    std::vector<std::string> items_;
};

}  // namespace kartovo
