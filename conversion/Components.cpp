#include "Components.h"

#include <algorithm>

namespace kartovo {

ComponentReader::ComponentReader(std::string_view value) : value_(value.substr(0, value.find('\0'))) {}

bool ComponentReader::Read(std::string* component) {
    if (component != nullptr) component->clear();
    if (emptyLast_) {
        emptyLast_ = false;
        return true;
    }
    if (pos_ >= value_.size()) return false;
    if (value_[pos_] == '"') {
        ReadQuoted(component);
    } else {
        // Neither ";" nor '"' can be the second byte of a CP932 character,
        // so a byte search stops only at real separators.
        const std::size_t stop = std::min(value_.find(';', pos_), value_.size());
        if (component != nullptr) component->assign(value_.substr(pos_, stop - pos_));
        pos_ = stop;
    }
    if (pos_ < value_.size() && value_[pos_] == ';') {
        if (pos_ + 1 == value_.size()) emptyLast_ = true;
        ++pos_;
    }
    return true;
}

void ComponentReader::ReadQuoted(std::string* component) {
    ++pos_;
    while (pos_ < value_.size()) {
        const std::size_t quote = value_.find('"', pos_);
        if (quote == std::string_view::npos) break;
        if (component != nullptr) component->append(value_.substr(pos_, quote - pos_));
        if (quote + 1 < value_.size() && value_[quote + 1] == '"') {
            if (component != nullptr) component->push_back('"');
            pos_ = quote + 2;
        } else {
            pos_ = quote + 1;
            return;
        }
    }
    // No closing quote: the rest of the value is the content.
    if (pos_ < value_.size() && component != nullptr) component->append(value_.substr(pos_));
    pos_ = value_.size();
}

void SplitComponents(std::string_view value, StringList& components) {
    components.Clear();
    ComponentReader reader(value);
    std::string component;
    while (reader.Next(component)) components.Add(component);
}

std::string ComponentAt(std::string_view value, int n) {
    ComponentReader reader(value);
    for (int i = 1; i < n; ++i) {
        if (!reader.Skip()) return {};
    }
    std::string component;
    if (n >= 1) reader.Next(component);
    return component;
}

}  // namespace kartovo
