#include "CsvLines.h"

#include <algorithm>

#include "StringList.h"

namespace kartovo {
namespace {

// Large enough that writing costs few calls, small enough that the last,
// partly filled block wastes little.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

}  // namespace

void CsvLines::Add(std::string_view line) {
    const std::size_t needed = line.size() + 2;
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < needed) {
        blocks_.emplace_back().reserve(std::max(kBlockSize, needed));
    }
    std::string& block = blocks_.back();
    lines_.push_back({blocks_.size() - 1, block.size(), line.size()});
    block.append(line);
    block.append("\r\n");
}

std::string_view CsvLines::At(int index) const {
    if (index < 0 || index >= Count()) FailListIndex(index);
    const Where& where = lines_[static_cast<std::size_t>(index)];
    return std::string_view(blocks_[where.block]).substr(where.offset, where.length);
}

std::string CsvLines::Text() const {
    std::string text;
    for (const std::string& block : blocks_) text.append(block);
    return text;
}

void CsvLines::Clear() {
    // The first block is kept for the next run: most CSVs fit in it, and a
    // window converts again and again with the same lists.
    if (!blocks_.empty()) {
        blocks_.resize(1);
        blocks_.front().clear();
    }
    lines_.clear();
}

void CsvLines::Release() {
    std::vector<std::string>().swap(blocks_);
    std::vector<Where>().swap(lines_);
}

}  // namespace kartovo
