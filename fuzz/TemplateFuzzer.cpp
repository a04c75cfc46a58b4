// A user's template of arbitrary bytes: refused with a message, or read as
// a layout that a conversion then fills in. The template's rows must come
// first, byte for byte, then one row a contact, each as many cells as the
// header, on a line of its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Converter.h"
#include "CsvLayout.h"
#include "Failure.h"
#include "FuzzCheck.h"
#include "TestSupport.h"

namespace {

// Quotes, commas, a line break escaped, a lost character and a joint name:
// what a row's cells must survive.
constexpr std::string_view kContacts =
    "BEGIN:VCARD\r\nN:山\"田;太,郎;;;\r\nADR;TYPE=HOME:;北\\, 2階;1-2\\n\"A\";港区;東京都;〒105-0001;\r\n"
    "NOTE:配偶者印刷: true\r\nitem1.X-ABRELATEDNAMES:花子😀\r\nitem1.X-ABLabel:_$!<Spouse>!$_\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nN:𠮷;;;;\r\nEND:VCARD\r\n";
constexpr long long kContactCount = 2;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The cells of a row that holds no line break, quotes doubled inside a
// quoted cell; 0 when a quote is left open.
std::size_t CellCount(std::string_view row) {
    std::size_t cells = 1;
    bool quoted = false;
    for (const char c : row) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) ++cells;
    }
    return quoted ? 0 : cells;
}

kartovo::Converter& SessionConverter() {
    static kartovo::test::NoHost host;
    static kartovo::Converter converter(host);
    return converter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kartovo::Layout layout;
    try {
        layout = kartovo::ReadTemplate(bytes);
    } catch (const kartovo::Failure&) {
        FUZZ_CHECK(!kartovo::CurrentFailureText().empty());
        return 0;
    }
    FUZZ_CHECK(layout.columns.size() >= 3 && layout.rowsBelowHeader < layout.keptRows.size());
    FUZZ_CHECK(layout.lineEnd == "\r\n" || layout.lineEnd == "\n" || layout.lineEnd == "\r");

    std::string head = layout.encoding == kartovo::Encoding::Utf8WithBom ? std::string(kByteOrderMark) : "";
    for (const std::string& row : layout.keptRows) head += row;
    // The rows are the template's own bytes, but for a line end given to a
    // last row that had none.
    const std::string_view kept = std::string_view(head).substr(0, head.size() - layout.lineEnd.size());
    FUZZ_CHECK(bytes.substr(0, kept.size()) == kept);

    kartovo::Converter& converter = SessionConverter();
    converter.CsvList.Clear();
    converter.UseLayout(layout);
    FUZZ_CHECK(converter.ConvertText(kContacts) == kContactCount);
    const std::string csv = kartovo::test::CsvText(converter.CsvList);
    FUZZ_CHECK(csv.compare(0, head.size(), head) == 0);
    long long rows = 0;
    for (std::size_t start = head.size(); start < csv.size(); ++rows) {
        const std::size_t end = csv.find(layout.lineEnd, start);
        FUZZ_CHECK(end != std::string::npos);
        const std::string_view row = std::string_view(csv).substr(start, end - start);
        FUZZ_CHECK(row.find_first_of("\r\n") == std::string_view::npos);
        FUZZ_CHECK(CellCount(row) == layout.columns.size());
        start = end + layout.lineEnd.size();
    }
    FUZZ_CHECK(rows == kContactCount);
    return 0;
}
