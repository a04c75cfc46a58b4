#include "CsvLines.h"

#include <algorithm>

namespace kartovo {
namespace {

// Large enough that writing costs few calls, small enough that the last,
// partly filled block wastes little.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

}  // namespace

void CsvLines::Add(std::string_view line) {
    AddBytes(line);
    blocks_.back().append(lineEnd_);
    ++count_;
}

void CsvLines::AddBytes(std::string_view bytes) {
    const std::size_t needed = bytes.size() + lineEnd_.size();
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
    blocks_.back().append(bytes);
}

void CsvLines::SpillTo(Sink sink) { sink_ = std::move(sink); }

void CsvLines::Clear() {
    sink_ = nullptr;
    // The first block is kept, so that a list filled again and again (the
    // fuzzer converts every input with one converter) allocates nothing
    // more. A conversion run releases its lists when it ends.
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
