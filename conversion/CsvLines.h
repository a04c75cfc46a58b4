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
class CsvLines {
public:
    void Add(std::string_view line);
    int Count() const { return static_cast<int>(lines_.size()); }
    std::string_view At(int index) const;  // without its CR LF
    // The file's bytes, in order.
    const std::vector<std::string>& Blocks() const { return blocks_; }
    std::string Text() const;
    void Clear();
    // Gives the memory back too: a run's CSV can be large.
    void Release();

private:
    struct Where {
        std::size_t block;
        std::size_t offset;
        std::size_t length;
    };
    std::vector<std::string> blocks_;
    std::vector<Where> lines_;
};

}  // namespace kartovo
