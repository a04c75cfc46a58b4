#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// Hands out the lines of a source text, the whole of it held by the caller
// or read piece by piece. A line ends at CR, LF or CR LF; a zero byte ends
// the text. A line that starts with a space or a tab (other than the first
// line) continues the line before it: the export folds every long line at
// 75 octets, often inside a multi-byte character, so the pieces are joined
// on the raw bytes, before any decoding.
//
// Read piece by piece, the text never has to be in memory whole: only the
// current line and the one before it are kept.
class SourceLines {
public:
    // Fills `into` with at most `room` more bytes of the text and returns how
    // many; 0 at its end. It may throw, and the failure passes through.
    using Reader = std::function<std::size_t(char* into, std::size_t room)>;

    explicit SourceLines(std::string_view bytes);
    explicit SourceLines(Reader read, std::size_t firstCapacity = std::size_t{1} << 20);

    // The next line; false at the end of the text.
    bool Next(std::string_view& line);
    // The line before the one Next gave last, or nothing before the first.
    // Like that line, it is valid until Next is called again.
    std::string_view Previous() const { return View(previous_); }

    // Keeps the text from the start of the next line on, until forgotten,
    // so that it can be read again: a card is read a second way only when
    // its end shows that it must be, and most never are.
    void KeepFromNextLine() { kept_ = pos_; }
    // Goes back to where the text kept starts, to hand out its lines again;
    // it is kept no longer, as the lines not handed out yet always are.
    void ReadKeptAgain();
    // How many bytes are kept before the line Next gave last.
    std::uint64_t KeptLength() const { return kept_ == kNowhere ? 0 : lineStart_ - kept_; }

private:
    struct Span {
        enum class Kind { None, Raw, Joined } kind = Kind::None;
        std::uint64_t start = 0;  // Raw: where in the text
        std::size_t length = 0;
        std::size_t joined = 0;   // Joined: which of joined_
    };

    std::string_view View(const Span& span) const;
    std::string_view Bytes(std::uint64_t from, std::uint64_t to) const {
        return {data_ + (from - base_), static_cast<std::size_t>(to - from)};
    }
    char At(std::uint64_t at) const { return data_[at - base_]; }

    // Whether the text holds a byte at `at`, reading more as needed.
    bool Has(std::uint64_t at);
    // Reads more of the text, keeping everything from keep_ on; false at its end.
    bool ReadMore();
    // Where the first line break (or the text's end) at or after pos_ is.
    std::uint64_t FindBreak();
    // Moves pos_ from `stop` over one line break: CR, LF or CR LF.
    void PassBreak(std::uint64_t stop);
    bool FoldFollows() { return Has(pos_) && (At(pos_) == ' ' || At(pos_) == '\t'); }
    // Makes the current line the one in [start, stop) with the pieces that
    // continue it, reading on to the end of the last one.
    void JoinFolds(std::uint64_t start, std::uint64_t stop);

    Reader readMore_;
    struct Free {
        void operator()(char* p) const;
    };
    // The pieces read, when reading piece by piece. Held with malloc, so a
    // long line grows it with realloc, which moves large blocks by remapping
    // their pages instead of copying them.
    std::unique_ptr<char, Free> storage_;
    std::size_t capacity_ = 0;
    const char* data_ = nullptr;
    std::uint64_t base_ = 0;  // the text's offset of data_[0]
    std::uint64_t end_ = 0;   // the text's offset just past the bytes held
    bool ended_ = true;       // nothing more to read
    static constexpr std::uint64_t kNowhere = UINT64_MAX;
    std::uint64_t pos_ = 0;   // where reading goes on
    std::uint64_t keep_ = 0;  // bytes before this may be dropped
    std::uint64_t kept_ = kNowhere;  // where the text kept for reading again starts
    std::uint64_t lineStart_ = 0;    // where the line Next gave last starts
    Span current_;
    Span previous_;
    std::string joined_[2];
};

}  // namespace kartovo
