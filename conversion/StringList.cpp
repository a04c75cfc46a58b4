#include "StringList.h"

#include "Cp932.h"
#include "Failure.h"
#include "Texts.h"

namespace kartovo {

void FailListIndex(int index) { throw Failure(FormatMessageText(texts::kListIndexFormat, std::to_string(index))); }

const std::string& StringList::At(int index) const {
    if (index < 0 || index >= Count()) FailListIndex(index);
    return items_[static_cast<std::size_t>(index)];
}

void StringList::Release() {
    std::vector<std::string>().swap(items_);
    count_ = 0;
}

int StringList::IndexOf(std::string_view text) const {
    for (std::size_t i = 0; i < count_; ++i) {
        // Folding keeps byte lengths, so most keys are ruled out by size.
        const std::string& item = items_[i];
        if (item.size() == text.size() && EqualsIgnoreCase(item, text)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace kartovo
