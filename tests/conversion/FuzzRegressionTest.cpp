// Inputs the fuzzers (fuzz/) found to break the CSV, kept so the faults stay
// fixed.

#include <gtest/gtest.h>

#include "Converter.h"
#include "TestSupport.h"

namespace kartovo {
namespace {

// The lenient decoder spells out overlong forms and stray lead bytes, so a
// value can decode to CR or LF even though the source lines never hold one.
// A label program reads the CSV a line at a time: such a break must not cut
// the row in two.
TEST(FuzzRegressionTest, DecodedLineBreaksStayOutOfRows) {
    const std::string cards[] = {
        "N:\xC0\x8A;x",                        // overlong LF
        "N:x;\xE0\x80\x8D",                    // overlong CR, three bytes
        "ADR;TYPE=HOME:;;a\x80\x8A-b;;;;",    // a follow byte taken as a lead
        "X-PHONETIC-LAST-NAME:\xA0\x80\x8A",  // the same, three bytes
        // A spouse's name, printed as the note asks.
        "item1.X-ABRELATEDNAMES:\xC0\x8D\r\nitem1.X-ABLabel:_$!<Spouse>!$_\r\nNOTE:\xE9\x85\x8D\xE5\x81\xB6\xE8\x80\x85\xE5\x8D\xB0\xE5\x88\xB7: true",
    };
    for (const std::string& card : cards) {
        test::NoHost host;
        Converter converter(host);
        ASSERT_EQ(converter.ConvertText("BEGIN:VCARD\r\n" + card + "\r\nEND:VCARD\r\n"), 1) << test::Hex(card);
        const std::string csv = test::CsvText(converter.CsvList);
        const std::size_t row = csv.find("\r\n") + 2;
        EXPECT_EQ(csv.find_first_of("\r\n", row), csv.size() - 2) << test::Hex(card);
    }
}

}  // namespace
}  // namespace kartovo
