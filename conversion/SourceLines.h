#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// Hands out the lines of a whole source file. A line ends at CR, LF or CR LF;
// a zero byte ends the text. A line that starts with a space or a tab (other
// than the first line) continues the line before it: the export folds every
// long line at 75 octets, often inside a multi-byte character, so the pieces
// are joined on the raw bytes, before any decoding.
//
// Unfolded lines are views into the file's bytes, which must outlive them;
// a joined line lives in a buffer of the reader's and is valid until the
// next call.
class SourceLines {
public:
    explicit SourceLines(std::string_view bytes);
    bool Next(std::string_view& line);
    // Hands the buffer of the last joined line to the caller (and takes the
    // caller's for reuse), so a long joined line can outlive the next read
    // without a copy.
    void KeepLastJoined(std::string& into) { std::swap(joined_, into); }

private:
    std::string_view RawLine();  // the raw line at read_; moves past its break

    // Where the next CR and LF at or after read_ are (the text's size for
    // none). Each is searched for again only once read_ has passed it, so a
    // file that has only one kind of break is still read in one pass.
    std::size_t Next(char byte, std::size_t& cached) const;

    std::string_view text_;
    std::size_t read_ = 0;
    std::size_t nextCr_ = 0;
    std::size_t nextLf_ = 0;
    bool searched_ = false;
    std::string joined_;
};

std::vector<std::string> SplitIntoLines(std::string_view bytes);

}  // namespace kartovo
