#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// The lines of the CSV file, kept as the file's bytes: every line added is
// followed by CR LF at once, into blocks that are never moved, so that a
// large CSV is written out as it stands, with no copy and no allocation per
// row. Reading a line outside the list fails with the list index error.
// Only the count of lines is kept beside the bytes: a line never holds CR
// or LF, so At finds one by its line breaks, and the run itself never asks.
class CsvLines {
public:
    void Add(std::string_view line);
    int Count() const { return count_; }
    std::string_view At(int index) const;  // without its CR LF
    // The file's bytes, in order.
    const std::vector<std::string>& Blocks() const { return blocks_; }
    std::string Text() const;
    void Clear();
    // Gives the memory back too: a run's CSV can be large.
    void Release();

private:
    std::vector<std::string> blocks_;
    int count_ = 0;
};

}  // namespace kartovo
