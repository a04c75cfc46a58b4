#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// The lines of the CSV file, kept as the file's bytes: every line added is
// followed by CR LF at once, into blocks that are never moved, so that a
// large CSV is written out as it stands, with no copy and no allocation per
// row. A run that writes as it goes hands each full block on and reuses it,
// so that the CSV is never held whole. Only the bytes and the count of lines
// are kept: nothing reads a line back.
class CsvLines {
public:
    using Sink = std::function<void(std::string_view bytes)>;

    // A line, and the line end after it (CR LF unless set).
    void Add(std::string_view line);
    // Bytes as they are: a byte-order mark, a template's own rows.
    void AddBytes(std::string_view bytes);
    void SetLineEnd(std::string_view lineEnd) { lineEnd_ = lineEnd; }
    // From now on each full block goes to `sink` and is then emptied for the
    // next lines; Text sees only the lines still held. Clear and Release end
    // it. A failure of the sink passes through Add.
    void SpillTo(Sink sink);
    int Count() const { return count_; }
    // The file's bytes, in order.
    const std::vector<std::string>& Blocks() const { return blocks_; }
    void Clear();
    // Gives the memory back too: a run's CSV can be large.
    void Release();

private:
    std::vector<std::string> blocks_;
    Sink sink_;
    int count_ = 0;
    std::string lineEnd_ = "\r\n";
};

}  // namespace kartovo
