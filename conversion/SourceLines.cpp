#include "SourceLines.h"

#include <cstring>

namespace kartovo {
namespace {

bool IsFoldBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

SourceLines::SourceLines(std::string_view bytes) : text_(bytes.substr(0, bytes.find('\0'))) {}

std::string_view SourceLines::RawLine() {
    // Two vectorised searches beat one byte loop looking for either break.
    const char* from = text_.data() + read_;
    const std::size_t left = text_.size() - read_;
    const char* lf = static_cast<const char*>(std::memchr(from, '\n', left));
    const std::size_t limit = lf != nullptr ? static_cast<std::size_t>(lf - from) : left;
    const char* cr = static_cast<const char*>(std::memchr(from, '\r', limit));
    const std::size_t length = cr != nullptr ? static_cast<std::size_t>(cr - from) : limit;
    read_ += length;
    if (read_ < text_.size() && text_[read_] == '\r') ++read_;
    if (read_ < text_.size() && text_[read_] == '\n') ++read_;
    return {from, length};
}

bool SourceLines::Next(std::string_view& line) {
    if (read_ >= text_.size()) return false;
    line = RawLine();
    if (read_ < text_.size() && IsFoldBlank(text_[read_])) {
        joined_.assign(line);
        while (read_ < text_.size() && IsFoldBlank(text_[read_])) {
            ++read_;  // the fold's blank
            joined_.append(RawLine());
        }
        line = joined_;
    }
    return true;
}

std::vector<std::string> SplitIntoLines(std::string_view bytes) {
    std::vector<std::string> lines;
    SourceLines source(bytes);
    std::string_view line;
    while (source.Next(line)) lines.emplace_back(line);
    return lines;
}

}  // namespace kartovo
