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
// The joining is done in place, inside the buffer given, which must outlive
// the views handed out: the file is never copied.
class SourceLines {
public:
    explicit SourceLines(std::string& bytes);
    bool Next(std::string_view& line);

private:
    std::size_t TakeRawLine();  // moves one raw line to write_, returns its length

    char* data_;
    std::size_t end_;
    std::size_t read_ = 0;
    std::size_t write_ = 0;
};

std::vector<std::string> SplitIntoLines(std::string bytes);

}  // namespace kartovo
