#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// One row of a CSV text read by RFC 4180: quoted cells may hold commas,
// doubled quotes and line breaks. A quote that does not open a cell is kept
// as text, as spreadsheet programs read it.
struct CsvRow {
    std::string_view bytes;         // the row as the text has it, line end included
    std::size_t lineEndSize = 0;    // 2 for CR LF, 1 for LF, 0 at the end of the text
    std::vector<std::string> cells; // unquoted
};

// The rows of a text in UTF-8 or code page 932: neither has a comma, quote,
// CR or LF byte inside a character, so both split alike.
std::vector<CsvRow> SplitCsvRows(std::string_view text);

// Whether no cell of the row holds anything.
bool IsBlankRow(const CsvRow& row);

}  // namespace kartovo
