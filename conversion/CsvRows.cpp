#include "CsvRows.h"

#include <algorithm>

namespace kartovo {
namespace {

// Reads the row that starts at `at` and returns where the next one starts.
std::size_t ReadRow(std::string_view text, std::size_t at, CsvRow& row) {
    const std::size_t start = at;
    row.cells.assign(1, std::string());
    bool quoted = false;
    bool cellBegun = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c != '"') {
                row.cells.back().push_back(c);
            } else if (at < text.size() && text[at] == '"') {
                row.cells.back().push_back('"');
                ++at;
            } else {
                quoted = false;
            }
        } else if (c == '"' && !cellBegun) {
            quoted = cellBegun = true;
        } else if (c == ',') {
            row.cells.emplace_back();
            cellBegun = false;
        } else if (c == '\n' || (c == '\r' && at < text.size() && text[at] == '\n')) {
            row.lineEndSize = c == '\n' ? 1 : 2;
            at += row.lineEndSize - 1;
            break;
        } else {
            row.cells.back().push_back(c);
            cellBegun = true;
        }
    }
    row.bytes = text.substr(start, at - start);
    return at;
}

}  // namespace

std::vector<CsvRow> SplitCsvRows(std::string_view text) {
    std::vector<CsvRow> rows;
    std::size_t at = 0;
    while (at < text.size()) {
        CsvRow& row = rows.emplace_back();
        at = ReadRow(text, at, row);
    }
    return rows;
}

bool IsBlankRow(const CsvRow& row) {
    return std::all_of(row.cells.begin(), row.cells.end(), [](const std::string& cell) { return cell.empty(); });
}

}  // namespace kartovo
