#include "SourceLines.h"

#include <cstring>

namespace kartovo {

SourceLines::SourceLines(std::string& bytes) : data_(bytes.data()), end_(bytes.size()) {
    if (const void* zero = std::memchr(data_, '\0', end_)) {
        end_ = static_cast<std::size_t>(static_cast<const char*>(zero) - data_);
    }
}

std::size_t SourceLines::TakeRawLine() {
    // Two vectorised searches beat one byte loop looking for either break.
    const char* from = data_ + read_;
    const char* lf = static_cast<const char*>(std::memchr(from, '\n', end_ - read_));
    const char* limit = lf != nullptr ? lf : data_ + end_;
    const char* cr = static_cast<const char*>(std::memchr(from, '\r', static_cast<std::size_t>(limit - from)));
    const std::size_t stop = static_cast<std::size_t>((cr != nullptr ? cr : limit) - data_);
    const std::size_t length = stop - read_;
    // Everything dropped so far (breaks, fold blanks) keeps write_ <= read_.
    if (write_ != read_) std::memmove(data_ + write_, data_ + read_, length);
    write_ += length;
    read_ = stop;
    if (read_ < end_ && data_[read_] == '\r') ++read_;
    if (read_ < end_ && data_[read_] == '\n') ++read_;
    return length;
}

bool SourceLines::Next(std::string_view& line) {
    if (read_ >= end_) return false;
    const std::size_t start = write_;
    TakeRawLine();
    while (read_ < end_ && (data_[read_] == ' ' || data_[read_] == '\t')) {
        ++read_;  // the fold blank
        TakeRawLine();
    }
    line = std::string_view(data_ + start, write_ - start);
    return true;
}

std::vector<std::string> SplitIntoLines(std::string bytes) {
    std::vector<std::string> lines;
    SourceLines source(bytes);
    std::string_view line;
    while (source.Next(line)) lines.emplace_back(line);
    return lines;
}

}  // namespace kartovo
