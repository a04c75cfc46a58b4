#pragma once

#include <string>
#include <string_view>

#include "StringList.h"

namespace kartovo {

// Reads the ";"-separated components of a value, one at a time. Nothing is
// trimmed; a component that starts with a double quote runs to the closing
// quote ("" inside stands for one quote) and may hold semicolons. Bytes that
// follow a closing quote, up to the next ";", form a component of their own.
// A value that ends in ";" has an empty last component. A zero byte ends the
// value.
class ComponentReader {
public:
    explicit ComponentReader(std::string_view value);
    bool Next(std::string& component) { return Read(&component); }
    // Steps over one component without copying it.
    bool Skip() { return Read(nullptr); }

private:
    bool Read(std::string* component);
    void ReadQuoted(std::string* component);

    std::string_view value_;
    std::size_t pos_ = 0;
    bool emptyLast_ = false;
};

void SplitComponents(std::string_view value, StringList& components);

// Component n, counted from 1, or the empty text when there are fewer.
std::string ComponentAt(std::string_view value, int n);

}  // namespace kartovo
