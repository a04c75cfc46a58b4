#pragma once
// The CSV files that label programs and print services import differ in
// their header rows, encodings, line ends and quoting. A layout holds those
// as data: its columns are found by their header texts in one vocabulary of
// column names, so a user's own template is read the same way as the
// built-in layouts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// What a column holds, from one contact.
enum class Field {
    None,                                        // a column Kartovo does not fill: left empty
    FamilyName, GivenName, FullName,              // 姓, 名, 姓 + "　" + 名
    FamilyReading, GivenReading, FullReading,     // the readings alike
    Honorific,                                    // the contact's honorific, or 様
    PostalCode,                                   // as written, without 〒
    PostalDigits,                                 // seven digits: 1234567
    PostalHyphenated,                             // 123-4567
    Prefecture, Locality, Street, Extended,       // the home address's components
    AddressLine1, AddressLine2,                   // prefecture + locality + street; extended address
    EmptyAddressLine,                             // 住所3, 住所4: known, left empty
    // Joint person `person` (1 = first joint person). Person 0 is every
    // joint person in one cell, joined by "/". JointFull is the name whole,
    // as the address book has it; JointReading the reading of the name the
    // other joint columns print.
    JointFamily, JointGiven, JointFull, JointHonorific, JointReading,
    PrintFlag,                                    // "o"
    RowId,                                        // "NO1", "NO2"...: the template's ID column
};

struct Column {
    Field field = Field::None;
    int person = 0;          // for the Joint fields: 1, 2, ...; 0 all of them, joined by "/"
    bool required = false;   // the header says ※必須
    int maxChars = 0;        // in characters (code points); 0: no limit stated
    std::string header;      // the header cell's text, UTF-8, as the file has it (for messages)
};

enum class Encoding { Cp932, Utf8, Utf8WithBom };
// Never: as nenga-atena (values with , " CR LF still get quoted, so a row is never broken).
enum class Quoting { Always, WhereNeeded, Never };

// A file is written as: the byte-order mark when the encoding is
// Utf8WithBom; then keptRows when there are any (a template: its header is
// among them), else headerBytes and lineEnd; then one row per contact,
// each followed by lineEnd.
struct Layout {
    std::string name;                 // for messages and --layout: e.g. "kitamura"
    std::string title;                // for people: e.g. "カメラのキタムラ用 CSV"
    std::string yearKnown;            // the year the form was known to be right; empty when not known
    std::vector<Column> columns;
    std::string headerBytes;          // the header row exactly as written, in the layout's encoding, without line end
    // A template's rows, byte for byte, line ends included; the last one is
    // given the template's line end when the file ended without one, and
    // empty rows after the last row with text are left out, as data goes
    // there. No byte-order mark. Built-ins: none.
    std::vector<std::string> keptRows;
    std::size_t rowsBelowHeader = 0;  // template rows after its header (samples left in a form)
    Encoding encoding = Encoding::Cp932;
    std::string lineEnd = "\r\n";
    Quoting quoting = Quoting::WhereNeeded;
};

// The column a header cell names (UTF-8), or Field::None. Half-width and
// full-width forms, both kinds of brackets, blanks and a "※..." note read
// alike.
Column ColumnOf(std::string_view headerCell);

// The columns of a whole header row. Some names mean different things by
// what stands beside them, which ColumnOf alone cannot see:
// - an empty first cell is the ID column;
// - 敬称N belongs to the contact's numbered names (敬称1 the contact's,
//   敬称2 the first joint person's) where the row has 姓1 or 名1, and
//   otherwise to 連名N;
// - a form known by its header gets the limits it states.
std::vector<Column> ColumnsOf(const std::vector<std::string>& headerCells);

// The built-in layouts, the present one first (name "standard", title "CSV（標準）").
const std::vector<Layout>& BuiltInLayouts();
// The first of them, the one a run writes unless told otherwise.
const Layout& StandardLayout();
const Layout* FindLayout(std::string_view name);

// No form is anywhere near this size; a larger file is surely something else.
inline constexpr std::uintmax_t kTemplateMaxBytes = std::uintmax_t{1} << 20;  // 1 MB

// Throws Failure when a template file of `size` bytes is too large, so that
// a caller can refuse it before reading it.
void CheckTemplateSize(std::uintmax_t size);

// Reads a user's template (the file's bytes): finds its header row (the
// first with at least three cells that ColumnOf knows), its encoding (a
// UTF-8 byte-order mark, else valid UTF-8, else code page 932) and its line
// end. Throws Failure with a Japanese message when the file is too large,
// empty, not text, or has no such row.
Layout ReadTemplate(std::string_view bytes);

}  // namespace kartovo
