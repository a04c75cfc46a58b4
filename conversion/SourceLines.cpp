#include "SourceLines.h"

#include <algorithm>
#include <cstring>

namespace kartovo {
namespace {

bool IsFoldBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

SourceLines::SourceLines(std::string_view bytes) : text_(bytes.substr(0, bytes.find('\0'))) {}

std::size_t SourceLines::Next(char byte, std::size_t& cached) const {
    if (!searched_ || cached < read_) {
        const void* found = std::memchr(text_.data() + read_, byte, text_.size() - read_);
        cached = found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - text_.data())
                                  : text_.size();
    }
    return cached;
}

std::string_view SourceLines::RawLine() {
    const std::size_t start = read_;
    const std::size_t cr = Next('\r', nextCr_);
    const std::size_t lf = Next('\n', nextLf_);
    searched_ = true;
    const std::size_t stop = std::min(cr, lf);
    read_ = stop;
    if (read_ < text_.size() && text_[read_] == '\r') ++read_;
    if (read_ < text_.size() && text_[read_] == '\n') ++read_;
    return text_.substr(start, stop - start);
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
