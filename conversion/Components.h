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
//
// The export escapes "\", "," and ";" inside values with a backslash: an
// escaped semicolon separates nothing, and every component comes out
// unescaped (see UnescapeText).
class ComponentReader {
public:
    explicit ComponentReader(std::string_view value);
    bool Next(std::string& component) { return Read(&component); }
    // Steps over one component without copying it.
    bool Skip() { return Read(nullptr); }

private:
    bool Read(std::string* component);
    void ReadQuoted(std::string* component);
    std::size_t PlainEnd() const;  // where the unquoted component at pos_ ends

    std::string_view value_;
    bool escaped_;  // the value holds a backslash byte, real or a second byte
    std::size_t pos_ = 0;
    bool emptyLast_ = false;
};

void SplitComponents(std::string_view value, StringList& components);

// Component n, counted from 1, or the empty text when there are fewer.
std::string ComponentAt(std::string_view value, int n);
// The same into `component`, whose storage is reused.
void ReadComponent(std::string_view value, int n, std::string& component);

// Undoes the export's escapes in one pass: "\\" gives "\", "\," gives ","
// and "\;" gives ";". Any other backslash stays, with the character after
// it, so "\n" is left for the row's line-break rule. Works on whole CP932
// characters: the second byte of ソ or 表 (0x5C) is no backslash.
std::string UnescapeText(std::string_view text);

}  // namespace kartovo
