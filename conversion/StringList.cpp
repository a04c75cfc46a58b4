#include "StringList.h"

#include "Cp932.h"
#include "Failure.h"
#include "Texts.h"

namespace kartovo {

const std::string& StringList::At(int index) const {
    if (index < 0 || index >= Count()) {
        throw Failure(FormatMessageText(texts::kListIndexFormat, std::to_string(index)));
    }
    return items_[static_cast<std::size_t>(index)];
}

int StringList::IndexOf(std::string_view text) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        // Folding keeps byte lengths, so most keys are ruled out by size.
        if (items_[i].size() == text.size() && EqualsIgnoreCase(items_[i], text)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace kartovo
