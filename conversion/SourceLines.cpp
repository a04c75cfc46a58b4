#include "SourceLines.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "ByteSearch.h"

namespace kartovo {
namespace {

char* Allocate(std::size_t size) {
    void* p = std::malloc(size);
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<char*>(p);
}

}  // namespace

void SourceLines::Free::operator()(char* p) const { std::free(p); }

SourceLines::SourceLines(std::string_view bytes)
    : data_(bytes.data()), end_(std::min(FindByte(bytes, '\0'), bytes.size())) {}

SourceLines::SourceLines(Reader read, std::size_t firstCapacity)
    : readMore_(std::move(read)),
      storage_(Allocate(std::max<std::size_t>(firstCapacity, 1))),
      capacity_(std::max<std::size_t>(firstCapacity, 1)),
      data_(storage_.get()),
      ended_(false) {}

std::string_view SourceLines::View(const Span& span) const {
    switch (span.kind) {
        case Span::Kind::Raw: return Bytes(span.start, span.start + span.length);
        case Span::Kind::Joined: return joined_[span.joined];
        case Span::Kind::None: break;
    }
    return {};
}

bool SourceLines::ReadMore() {
    if (ended_) return false;
    auto held = static_cast<std::size_t>(end_ - base_);
    if (held == capacity_) {
        // Full: drop what is no longer needed, and make room when what must
        // stay (a long line) fills more than half.
        const auto kept = static_cast<std::size_t>(end_ - keep_);
        const char* from = storage_.get() + (keep_ - base_);
        // Nothing moves while one long line grows.
        if (from != storage_.get()) std::memmove(storage_.get(), from, kept);
        if (kept > capacity_ / 2) {
            char* larger = static_cast<char*>(std::realloc(storage_.get(), capacity_ * 2));
            if (larger == nullptr) throw std::bad_alloc();
            static_cast<void>(storage_.release());
            storage_.reset(larger);
            capacity_ *= 2;
        }
        data_ = storage_.get();
        base_ = keep_;
        held = kept;
    }
    char* into = storage_.get() + held;
    std::size_t got = readMore_(into, capacity_ - held);
    if (got == 0) {
        ended_ = true;
        return false;
    }
    if (const char* zero = FindAnyOf(into, into + got, '\0'); zero != into + got) {
        got = static_cast<std::size_t>(zero - into);
        ended_ = true;  // a zero byte ends the text
    }
    end_ += got;
    return got > 0;
}

bool SourceLines::Has(std::uint64_t at) {
    while (at >= end_) {
        if (!ReadMore()) return false;
    }
    return true;
}

std::uint64_t SourceLines::FindBreak() {
    std::uint64_t from = pos_;
    for (;;) {
        const char* end = data_ + (end_ - base_);
        // One pass for CR and LF: a file may end its lines with either or both.
        const char* found = FindAnyOf(data_ + (from - base_), end, '\r', '\n');
        if (found != end) return base_ + static_cast<std::uint64_t>(found - data_);
        from = end_;
        if (!ReadMore()) return end_;
    }
}

void SourceLines::PassBreak(std::uint64_t stop) {
    pos_ = stop;
    if (!Has(pos_)) return;
    const char first = At(pos_++);
    if (first == '\r' && Has(pos_) && At(pos_) == '\n') ++pos_;
}

void SourceLines::ReadKeptAgain() {
    pos_ = std::exchange(kept_, kNowhere);
    previous_ = current_ = {};
}

bool SourceLines::Next(std::string_view& line) {
    previous_ = current_;
    current_ = {};
    const std::uint64_t keepPrevious = previous_.kind == Span::Kind::Raw ? previous_.start : kNowhere;
    const std::uint64_t start = pos_;
    keep_ = std::min(std::min(keepPrevious, start), kept_);
    lineStart_ = start;
    if (!Has(start)) return false;
    const std::uint64_t stop = FindBreak();
    bool folds = false;
    if (stop + 2 < end_) {
        // The common case, with the break and the byte after it held: no
        // need to ask for more text on the way.
        const char* at = data_ + (stop - base_);
        pos_ = stop + (at[0] == '\r' && at[1] == '\n' ? 2 : 1);
        folds = At(pos_) == ' ' || At(pos_) == '\t';
    } else {
        PassBreak(stop);
        folds = FoldFollows();
    }
    if (folds) {
        JoinFolds(start, stop);
    } else {
        current_ = {Span::Kind::Raw, start, static_cast<std::size_t>(stop - start), 0};
    }
    line = View(current_);
    return true;
}

void SourceLines::JoinFolds(std::uint64_t start, std::uint64_t stop) {
    // The pieces are copied out, so their bytes need not be kept. The line
    // before is copied out too, or it would pin the text read since it, and
    // a line folded a million times would keep the whole file.
    if (previous_.kind == Span::Kind::Raw) {
        joined_[1].assign(View(previous_));
        previous_ = {Span::Kind::Joined, 0, 0, 1};
    }
    const std::size_t which = 1 - previous_.joined;
    std::string& joined = joined_[which];
    joined.assign(Bytes(start, stop));
    while (FoldFollows()) {
        ++pos_;  // the fold's blank
        keep_ = std::min(pos_, kept_);
        const std::uint64_t pieceStop = FindBreak();
        joined.append(Bytes(pos_, pieceStop));
        keep_ = std::min(pieceStop, kept_);
        PassBreak(pieceStop);
    }
    current_ = {Span::Kind::Joined, 0, 0, which};
}

}  // namespace kartovo
