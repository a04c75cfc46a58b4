#include "Components.h"

#include <algorithm>

#include "ByteSearch.h"
#include "Cp932.h"

namespace kartovo {
namespace {

constexpr char kBackslash = '\\';

// Whether a backslash in the text is followed by one of the three escaped
// characters. A second byte 0x5C may pass for a backslash here; that only
// costs the full pass, which steps whole characters.
bool MayHoldEscape(std::string_view text) {
    for (std::size_t i = FindByte(text, kBackslash); i != std::string_view::npos && i + 1 < text.size();
         i = FindByte(text, kBackslash, i + 1)) {
        const char next = text[i + 1];
        if (next == kBackslash || next == ',' || next == ';') return true;
    }
    return false;
}

// Undoes the escapes where the text stands: it only ever shrinks.
void UnescapeInPlace(std::string& text) {
    std::size_t to = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == kBackslash && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == kBackslash || next == ',' || next == ';') {
                text[to++] = next;
                i += 2;
                continue;
            }
            text[to++] = kBackslash;  // kept, and the character after it is copied whole below
            ++i;
        }
        for (const std::size_t end = NextCharPos(text, i); i < end; ++i) text[to++] = text[i];
    }
    text.resize(to);
}

// Most components hold no escape, and are left as they are.
void Unescape(std::string* component) {
    if (component != nullptr && MayHoldEscape(*component)) UnescapeInPlace(*component);
}

}  // namespace

std::string UnescapeText(std::string_view text) {
    std::string out(text);
    Unescape(&out);
    return out;
}

ComponentReader::ComponentReader(std::string_view value) {
    // One pass finds the end and the first backslash, which most values lack.
    const char* const end = value.data() + value.size();
    const char* stop = FindAnyOf(value.data(), end, '\0', kBackslash);
    escaped_ = stop != end && *stop == kBackslash;
    if (escaped_) stop = FindAnyOf(stop, end, '\0');
    value_ = std::string_view(value.data(), static_cast<std::size_t>(stop - value.data()));
}

std::size_t ComponentReader::PlainEnd() const {
    // Neither ";" nor '"' can be the second byte of a CP932 character, so
    // without any backslash a byte search stops only at real separators.
    const std::size_t semicolon = std::min(FindByte(value_, ';', pos_), value_.size());
    if (!escaped_ || semicolon == pos_ || semicolon == value_.size()) return semicolon;
    // A semicolon always starts a character, for no second byte is one. It
    // separates unless the character before it is a backslash, which can
    // only be so when the byte before it is a backslash or a lead byte.
    const auto before = static_cast<unsigned char>(value_[semicolon - 1]);
    if (before != kBackslash && !IsCp932LeadByte(before)) return semicolon;
    std::size_t i = pos_;
    while (i < value_.size() && value_[i] != ';') {
        // A backslash takes the whole character after it along.
        if (value_[i] == kBackslash && i + 1 < value_.size()) ++i;
        i = NextCharPos(value_, i);
    }
    return i;
}

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
        const std::size_t stop = PlainEnd();
        if (component != nullptr) component->append(value_.substr(pos_, stop - pos_));
        if (escaped_) Unescape(component);
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
    bool closed = false;
    while (pos_ < value_.size() && !closed) {
        const std::size_t quote = FindByte(value_, '"', pos_);
        if (quote == std::string_view::npos) break;
        if (component != nullptr) component->append(value_.substr(pos_, quote - pos_));
        closed = quote + 1 == value_.size() || value_[quote + 1] != '"';
        if (!closed && component != nullptr) component->push_back('"');
        pos_ = quote + (closed ? 1 : 2);
    }
    if (!closed) {
        // No closing quote: the rest of the value is the content.
        if (pos_ < value_.size() && component != nullptr) component->append(value_.substr(pos_));
        pos_ = value_.size();
    }
    if (escaped_) Unescape(component);  // after the quote pairs are reduced
}

void SplitComponents(std::string_view value, StringList& components) {
    components.Clear();
    ComponentReader reader(value);
    // Read straight into the list's reused entries; the one the end leaves
    // empty is taken back.
    while (reader.Next(components.NewEntry())) {
    }
    components.DropLast();
}

std::string ComponentAt(std::string_view value, int n) {
    std::string component;
    ReadComponent(value, n, component);
    return component;
}

void ReadComponent(std::string_view value, int n, std::string& component) {
    component.clear();
    ComponentReader reader(value);
    for (int i = 1; i < n; ++i) {
        if (!reader.Skip()) return;
    }
    if (n >= 1) reader.Next(component);
}

}  // namespace kartovo
