// A user's template: the form a print service lets them download, whose
// rows (instructions, the header, a sample) are written back unchanged and
// followed by the contacts' rows.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Cp932.h"
#include "Cp932Decoder.h"
#include "CsvRows.h"
#include "Failure.h"
#include "CsvLayout.h"
#include "Texts.h"
#include "Unicode.h"

namespace kartovo {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A header row names at least this many columns Kartovo knows: a line of
// instructions may mention one or two.
constexpr std::ptrdiff_t kKnownNamesOfHeader = 3;

[[noreturn]] void Refuse(std::string_view message) { throw Failure(std::string(message)); }

// Whether every byte belongs to a character of code page 932. The decoder
// reads any pair as one character, giving ・ to a pair that is none, so a
// ・ that is not ・'s own pair marks a pair that is no text.
bool IsCp932Text(std::string_view bytes) {
    constexpr char16_t kDefaultCharacter = u'\u30FB';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (IsCp932LeadByte(lead)) {
            if (i + 1 == bytes.size()) return false;
            const auto trail = static_cast<unsigned char>(bytes[++i]);
            const char16_t unit = DecodeCp932Pair(lead, trail);
            if (unit == 0 || (unit == kDefaultCharacter && !(lead == 0x81 && trail == 0x45))) return false;
        } else if (lead == 0x80 || lead == 0xA0 || lead >= 0xFD) {
            return false;
        }
    }
    return true;
}

// The template's encoding; takes the byte-order mark off `text`.
Encoding EncodingOf(std::string_view& text) {
    if (text.find('\0') != std::string_view::npos) Refuse(texts::kTemplateNotText);
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
        if (!IsUtf8(text)) Refuse(texts::kTemplateNotText);
        return Encoding::Utf8WithBom;
    }
    if (IsUtf8(text)) return Encoding::Utf8;
    if (!IsCp932Text(text)) Refuse(texts::kTemplateNotText);
    return Encoding::Cp932;
}

// The line end of the first row that has one; CR LF, Windows' own, when the
// template is a single row without one.
std::string LineEndOf(const std::vector<CsvRow>& rows) {
    for (const CsvRow& row : rows) {
        if (row.lineEndSize > 0) return std::string(row.bytes.substr(row.bytes.size() - row.lineEndSize));
    }
    return "\r\n";
}

// The index of the header row, whose cells it leaves in UTF-8.
std::size_t FindHeader(std::vector<CsvRow>& rows, Encoding encoding) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::vector<std::string>& cells = rows[i].cells;
        if (encoding == Encoding::Cp932) {
            for (std::string& cell : cells) cell = Cp932ToUtf8(cell);
        }
        const auto known = std::count_if(cells.begin(), cells.end(),
                                         [](const std::string& cell) { return ColumnOf(cell).field != Field::None; });
        if (known >= kKnownNamesOfHeader) return i;
    }
    Refuse(texts::kTemplateNoHeader);
}

}  // namespace

void CheckTemplateSize(std::uintmax_t size) {
    if (size > kTemplateMaxBytes) Refuse(texts::kTemplateTooLarge);
}

Layout ReadTemplate(std::string_view bytes) {
    CheckTemplateSize(bytes.size());
    if (bytes.empty()) Refuse(texts::kTemplateEmpty);
    Layout layout;
    layout.name = "template";
    layout.title = "テンプレート";
    layout.encoding = EncodingOf(bytes);
    std::vector<CsvRow> rows = SplitCsvRows(bytes);
    // Empty rows at the end are where a form leaves room for data.
    std::size_t end = rows.size();
    while (end > 0 && IsBlankRow(rows[end - 1])) --end;
    rows.resize(end);
    const std::size_t header = FindHeader(rows, layout.encoding);
    layout.columns = ColumnsOf(rows[header].cells);
    const CsvRow& headerRow = rows[header];
    layout.headerBytes = headerRow.bytes.substr(0, headerRow.bytes.size() - headerRow.lineEndSize);
    layout.lineEnd = LineEndOf(rows);
    for (const CsvRow& row : rows) layout.keptRows.emplace_back(row.bytes);
    if (rows.back().lineEndSize == 0) layout.keptRows.back() += layout.lineEnd;
    layout.rowsBelowHeader = rows.size() - header - 1;
    layout.quoting = Quoting::WhereNeeded;
    return layout;
}

}  // namespace kartovo
