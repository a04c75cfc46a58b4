#include "PageConversion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "CsvLayout.h"
#include "Failure.h"
#include "ScriptedHost.h"
#include "TestSupport.h"

namespace kartovo::web {
namespace {

constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kNoAddress = kNoAddressMark;

std::string Contacts(int count, std::string_view lines) {
    std::string all;
    for (int i = 0; i < count; ++i) all += "BEGIN:VCARD\r\n" + std::string(lines) + "END:VCARD\r\n";
    return all;
}

// The page's run hands on the bytes a plain conversion makes, whatever the
// pieces the source comes in and whatever the layout, and marks each row by
// its cells as written.
TEST(PageConversion, HandsOnTheCsvAndMarksRows) {
    struct Case {
        const char* what;
        std::string source;
        std::vector<std::uint32_t> marks;  // the head rows' first
        std::string loss = "";             // the report, as the window words it
        std::string note = "";             // under the count
        std::string layout = "standard";   // or a template's text
        std::size_t headerRow = 0;
    };
    const std::string notCard = "\nvCard ファイルではないようです";
    const std::string oneWithout = "\n住所のない連絡先：1件";
    constexpr std::uint32_t kName = 1u << 1;
    constexpr std::uint32_t kSpouse = 1u << 6;
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
        // Cells of their own, unquoted; the first lost, and a row without an
        // address that no cell of 26 could tell.
        {"another layout", Contacts(1, "N:𠮷田;健;;;\r\nADR;TYPE=HOME:;;1;港区;;;\r\n") + noAddress,
         {kNone, 1u << 0, kNoAddress},
         "1件の連絡先に、CSVに書けない文字がありました。その文字は「?」になっています。\n・1件目 𠮷田　健：𠮷",
         oneWithout + "\n書き出した様式：カメラのキタムラ用 CSV（2022年の様式）", "kitamura"},
        // A template's own rows come first, one with a line break inside
        // quotes; its rows end in LF alone.
        {"a template", Contacts(1, "N:𠮷田;健;;;\r\nADR;TYPE=HOME:;;;;;105-0001;\r\n") + noAddress,
         {kNone, kNone, kNone, kNone, kNoAddress}, "",
         oneWithout + "\n書き出した様式：テンプレート\nテンプレートの見出しの行の下に1行あります。"
                      "見本の行なら、印刷の前に消してください。",
         "\"説明\n二行目\",,\n姓,名,郵便番号,住所1\n見本,太郎,100-0001,東京都\n", 1},
        // Past the first block of the CSV, which goes out while converting.
        {"many", Contacts(30000, "N:a;b;;;\r\nADR;TYPE=HOME:;;1;;;;\r\n") + noAddress, {}, "", oneWithout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Layout layout = c.layout.find(',') == std::string::npos ? *FindLayout(c.layout) : ReadTemplate(c.layout);
        std::vector<std::uint32_t> marks = c.marks;
        if (marks.empty()) {
            marks.assign(30001, kNone);
            marks.push_back(kNoAddress);
        }
        PageConversion conversion;
        conversion.UseLayout(layout);
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
        plain.UseLayout(layout);
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
        for (const std::uint32_t length : conversion.RowLengths()) total += length;
        EXPECT_EQ(total, csv.size());
        EXPECT_EQ(conversion.HeadRows(), marks.size() - static_cast<std::size_t>(count));
        EXPECT_EQ(conversion.HeaderRow(), c.headerRow);
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
    EXPECT_EQ(csv, test::Sjis("\"フリガナ\",\"氏名\",\"敬称\",\"郵便番号\",\"住所1\",\"住所2\",\"連名1\",\"連名2\",\"連名3\",\"連名4\"\r\n"));
    EXPECT_EQ(conversion.RowLengths(), std::vector<std::uint32_t>{static_cast<std::uint32_t>(csv.size())});
    EXPECT_EQ(conversion.Marks(), std::vector<std::uint32_t>{kNone});
}

}  // namespace
}  // namespace kartovo::web
