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
        if (sink_ && !blocks_.empty()) {
            // The same block again: its memory stays in the cache, where a
            // new one would be faulted in page by page.
            sink_(blocks_.back());
            blocks_.back().clear();
            if (blocks_.back().capacity() < needed) blocks_.back().reserve(needed);
        } else {
            blocks_.emplace_back().reserve(std::max(kBlockSize, needed));
        }
    }
    std::string& block = blocks_.back();
    block.append(line);
    block.append("\r\n");
    ++count_;
}

std::string_view CsvLines::At(int index) const {
    if (index < 0 || index >= Count()) FailListIndex(index);
    // A line never spans blocks: each starts a new block when it does not fit.
    int line = 0;
    for (const std::string& block : blocks_) {
        for (std::size_t start = 0; start < block.size(); ++line) {
            const std::size_t end = block.find("\r\n", start);
            if (line == index) return std::string_view(block).substr(start, end - start);
            start = end + 2;
        }
    }
    return {};
}

std::string CsvLines::Text() const {
    std::string text;
    for (const std::string& block : blocks_) text.append(block);
    return text;
}

void CsvLines::SpillTo(Sink sink) { sink_ = std::move(sink); }

void CsvLines::Clear() {
    sink_ = nullptr;
    // The first block is kept for the next run: most CSVs fit in it, and a
    // window converts again and again with the same lists.
    if (!blocks_.empty()) {
        blocks_.resize(1);
        blocks_.front().clear();
    }
    count_ = 0;
}

void CsvLines::Release() {
    std::vector<std::string>().swap(blocks_);
    sink_ = nullptr;
    count_ = 0;
}

}  // namespace kartovo
