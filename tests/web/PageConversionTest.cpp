#include "PageConversion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "Failure.h"
#include "ScriptedHost.h"
#include "TestSupport.h"

namespace kartovo::web {
namespace {

constexpr std::uint16_t kNone = 0;
constexpr std::uint16_t kNoAddress = kNoAddressMark;

std::string Contacts(int count, std::string_view lines) {
    std::string all;
    for (int i = 0; i < count; ++i) all += "BEGIN:VCARD\r\n" + std::string(lines) + "END:VCARD\r\n";
    return all;
}

// The page's run hands on the bytes a plain conversion makes, whatever the
// pieces the source comes in, and marks each row by its fields as written.
TEST(PageConversion, HandsOnTheCsvAndMarksRows) {
    struct Case {
        const char* what;
        std::string source;
        std::vector<std::uint16_t> marks;  // the header's first
        std::string loss = "";             // the report, as the window words it
        std::string note = "";             // under the count
    };
    const std::string notCard = "\nvCard ファイルではないようです";
    const std::string oneWithout = "\n住所のない連絡先：1件";
    constexpr std::uint16_t kName = 1u << 1;
    constexpr std::uint16_t kSpouse = 1u << 6;
    const std::string lost = "N:𠮷田;健;;;\r\nADR;TYPE=HOME:;;1‑2;;;;\r\nNOTE:配偶者印刷: true\r\n"
                             "item12.X-ABRELATEDNAMES:花子😀\r\nitem12.X-ABLabel:_$!<Spouse>!$_\r\n";
    const std::string noAddress = Contacts(1, "N:山田;太郎;;;\r\n");
    const Case cases[] = {
        {"empty", "", {kNone}, "", notCard},
        {"not a vCard", "\x89PNG\r\n\x1a\n", {kNone}, "", notCard},
        {"postal code, street, second line, nothing",
         Contacts(1, "ADR;TYPE=HOME:;;;;;〒100-0001;\r\n") + Contacts(1, "ADR;TYPE=HOME:;;1-2-3;;;;\r\n") +
             Contacts(1, "ADR;TYPE=HOME:;北側;;;;;\r\n") + noAddress,
         {kNone, kNone, kNone, kNone, kNoAddress}, "", oneWithout},
        // An address that is not the home's is named, as no label gets it.
        {"only a work address", Contacts(1, "N:山田;花子;;;\r\nADR;TYPE=WORK:;;1-2-3;;;100-0001;\r\n"),
         {kNone, kNoAddress},
         "1件の連絡先は、自宅の住所がないため住所が空になっています。\n"
         "・1件目 山田　花子：自宅の住所がありません（自宅以外の住所だけ）"},
        // Quotes, written doubled, neither hide an empty field nor make one.
        {"quotes", Contacts(1, "N:\",\";\"\";;;\"\r\n") + Contacts(1, "ADR;TYPE=HOME:;\";;;;;\r\n"),
         {kNone, kNoAddress, kNone}, "", oneWithout},
        // The street's hyphen is mended, not lost; a lost name without an
        // address carries both marks.
        {"lost characters", Contacts(1, lost) + Contacts(1, "N:𠮷;;;;\r\n"),
         {kNone, kName | kSpouse, kName | kNoAddress},
         "2件の連絡先に、CSVに書けない文字がありました。その文字は「?」になっています。\n"
         "・1件目 𠮷田　健：𠮷、😀\n・2件目 𠮷　：𠮷", oneWithout},
        // Every row is marked, though the report names ten.
        {"more lost than the report names", Contacts(12, "N:𠮷;;;;\r\nADR;TYPE=HOME:;;1;;;;\r\n"),
         {kNone, kName, kName, kName, kName, kName, kName, kName, kName, kName, kName, kName, kName}},
        // Past the first block of the CSV, which goes out while converting.
        {"many", Contacts(30000, "N:a;b;;;\r\nADR;TYPE=HOME:;;1;;;;\r\n") + noAddress, {}, "", oneWithout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint16_t> marks = c.marks;
        if (marks.empty()) {
            marks.assign(30001, kNone);
            marks.push_back(kNoAddress);
        }
        PageConversion conversion;
        std::size_t at = 0;
        std::string csv;
        conversion.Run(
            [&c, &at](char* into, std::size_t room) {
                const std::size_t n = std::min({room, std::size_t{7}, c.source.size() - at});
                std::copy_n(c.source.data() + at, n, into);
                at += n;
                return n;
            },
            [&csv](std::string_view bytes) { csv.append(bytes); });

        test::ScriptedHost host;
        Converter plain(host);
        const long long count = plain.ConvertText(c.source);
        EXPECT_EQ(csv, test::CsvText(plain.CsvList));
        EXPECT_EQ(conversion.CountMessage(), std::to_string(count) + "件の連絡先を変換しました" + c.note);
        EXPECT_EQ(conversion.Marks(), marks);
        const std::string loss = conversion.LossMessage();
        if (c.marks.size() > 10) {
            EXPECT_EQ(std::count(loss.begin(), loss.end(), '\n'), 11) << loss;
            EXPECT_TRUE(loss.ends_with("\nほか2件")) << loss;
        } else {
            EXPECT_EQ(loss, c.loss);
        }
        std::size_t total = 0;
        for (const std::uint32_t length : conversion.RowLengths()) total += length + 2;
        EXPECT_EQ(total, csv.size());
    }
}

// A source that cannot be read stops the run with its failure, as a file
// does in the console converter; the next run starts afresh.
TEST(PageConversion, PassesOnTheSourcesFailure) {
    PageConversion conversion;
    const std::string source = Contacts(3, "N:a;b;;;\r\n");
    std::size_t reads = 0;
    const auto failing = [&](char* into, std::size_t room) -> std::size_t {
        if (++reads == 2) throw Failure(std::string("broken"));
        const std::size_t n = std::min(room, source.size());
        std::copy_n(source.data(), n, into);
        return n;
    };
    EXPECT_THROW(conversion.Run(failing, [](std::string_view) {}), Failure);
    std::string csv;
    conversion.Run([](char*, std::size_t) { return std::size_t{0}; }, [&csv](std::string_view bytes) { csv += bytes; });
    EXPECT_EQ(conversion.Count(), 0);
    EXPECT_EQ(conversion.RowLengths().size(), 1u);
    EXPECT_EQ(csv, test::Sjis("\"フリガナ\",\"氏名\",\"敬称\",\"郵便番号\",\"住所1\",\"住所2\",\"連名1\",\"連名2\",\"連名3\",\"連名4\"\r\n"));
}

}  // namespace
}  // namespace kartovo::web
