#include <gtest/gtest.h>

#include "Converter.h"
#include "Failure.h"
#include "TestSupport.h"
#include "Texts.h"

namespace kartovo {
namespace {

using test::Sjis;

using test::NoHost;

using Card = std::vector<std::pair<std::string, std::string>>;

// Builds the row of a contact whose stored lines (UTF-8 here) are `card`,
// followed by END:VCARD as the builder always sees it. The same lines read
// from a file, which keeps only those a row reads, must give the same row.
std::string RowOf(const Card& card) {
    NoHost host;
    Converter converter(host);
    std::string file;
    for (const auto& [key, value] : card) {
        converter.KeyList.Add(Sjis(key));
        converter.ValueList.Add(Sjis(value));
        file += key + ":" + value + "\r\n";
    }
    converter.KeyList.Add("END");
    converter.ValueList.Add("VCARD");
    converter.DataKiridashi();
    EXPECT_EQ(test::CsvText(converter.CsvList), converter.RowText + "\r\n");  // what the file receives

    Converter reader(host);
    EXPECT_EQ(reader.ConvertText(file + "END:VCARD\r\n"), 1);
    EXPECT_EQ(Cp932ToUtf8(test::CsvText(reader.CsvList)), Cp932ToUtf8(std::string(texts::kHeaderRow) + "\r\n" + converter.RowText + "\r\n"))
        << "read from a file";
    return Cp932ToUtf8(converter.RowText);
}

// Every field a row reads: reading, name, home address, a spouse and two
// children, and the note that prints them.
const Card kFullContact = {
    {"BEGIN", "VCARD"},
    {"N", "山田;太郎;;;"},
    {"X-PHONETIC-FIRST-NAME", "タロウ"},
    {"X-PHONETIC-LAST-NAME", "ヤマダ"},
    {"ADR;TYPE=HOME", ";サンプル荘101;サンプル町1?2?3\\nサンプルビル5階;千代田区;東京都;〒123-4567;日本"},
    {"item1.X-ABRELATEDNAMES", "花子"},
    {"item1.X-ABLabel", "_$!<Spouse>!$_"},
    {"item2.X-ABRELATEDNAMES", "一郎"},
    {"item2.X-ABLabel", "_$!<Child>!$_"},
    {"item3.X-ABRELATEDNAMES", "次郎"},
    {"item3.X-ABLabel", "_$!<Child>!$_"},
    {"NOTE", "配偶者印刷: true\\n子ども印刷: True"},
};

const std::string kFullContactStart =
    "\"ヤマダ　タロウ\",\"山田　太郎\",\"様\",\"123-4567\",\"東京都千代田区サンプル町1－2－3　サンプルビル5階\","
    "\"サンプル荘101\"";

TEST(DataKiridashi, FullContactWithReadingNameAddressSpouseAndChildren) {
    EXPECT_EQ(RowOf(kFullContact), kFullContactStart + ",\"花子\",\"一郎\",\"次郎\",\"\"");
    // Without the note the spouse and children are left out.
    Card noNote = kFullContact;
    noNote.pop_back();
    EXPECT_EQ(RowOf(noNote), kFullContactStart + ",\"\",\"\",\"\",\"\"");
}

TEST(DataKiridashi, FieldsFromMissingAndOddValues) {
    struct Case {
        Card card;
        std::string row;
    };
    const Case cases[] = {
        {{}, "\"　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        {{{"N", "山田;;;; "}}, "\"　\",\"山田　\",\" \",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        {{{"N", "山田;太郎;;;先生"}, {"X-PHONETIC-FIRST-NAME", "タロウ"}},
         "\"　タロウ\",\"山田　太郎\",\"先生\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        {{{"n", "a;b;;"}, {"N", "c;d;;;e"}}, "\"　\",\"a　b\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        // 〒 goes from the postal code only; \n and ? change in the street only.
        {{{"ADR;TYPE=HOME", "〒\\n;ext\\n?;st\\n?;loc\\n?〒;reg\\n;〒1〒2〒;jp"}},
         "\"　\",\"　\",\"様\",\"12\",\"reg\\nloc\\n?〒st　－\",\"ext　?\",\"\",\"\",\"\",\"\""},
        {{{"adr;type=home", ";;a\\Nb\\\\x;;;;"}}, "\"　\",\"　\",\"様\",\"\",\"a\\Nb\\x\",\"\",\"\",\"\",\"\",\"\""},
        // Escaped commas and semicolons of the export print as themselves.
        {{{"N", "山田\\;;太郎;;;"}, {"ADR;TYPE=HOME", ";北側\\, 2階;1-2-3\\, 北;;;;"}},
         "\"　\",\"山田;　太郎\",\"様\",\"\",\"1-2-3, 北\",\"北側, 2階\",\"\",\"\",\"\",\"\""},
        {{{"ADR;TYPE=HOME;TYPE=PREF", ";;x;y;z;1;"}}, "\"　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        {{{"item1.ADR;TYPE=HOME", ";;x;y;z;1;"}}, "\"　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        // Only letters fold: 0x1D is "=" with bit 0x20 off.
        {{{"ADR;TYPE\x1dHOME", ";;x;y;z;1;"}}, "\"　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        // ソ and 表 end in byte 0x5C: with a following n they are no "\n".
        {{{"ADR;TYPE=HOME", ";;ソn表n;;;;"}}, "\"　\",\"　\",\"様\",\"\",\"ソn表n\",\"\",\"\",\"\",\"\",\"\""},
        // Characters at the edges of the lead-byte ranges (81 81, 9F E0, E0 81,
        // F0 82, FA E5, FB FC), the user-defined ones included, and the single
        // bytes beside them (80, FD), before each replaced text.
        {{{"ADR;TYPE=HOME", ";;＝\\n游\\n焉\\n\uE041\\n栁\\n髙\\n﨑\\n\u0080\\n\uF8F1\\n;;;;"}},
         "\"　\",\"　\",\"様\",\"\",\"＝　游　焉　\uE041　栁　髙　﨑　\u0080　\uF8F1　\",\"\",\"\",\"\",\"\",\"\""},
        {{{"ADR;TYPE=HOME", ";;＝?游?焉?\uE041?栁?髙?;;;〒＝〒游〒焉〒\uE041〒栁〒髙〒;"}},
         "\"　\",\"　\",\"様\",\"＝游焉\uE041栁髙\",\"＝－游－焉－\uE041－栁－髙－\",\"\",\"\",\"\",\"\",\"\""},
    };
    for (const Case& c : cases) EXPECT_EQ(RowOf(c.card), c.row);
}

// The fields of a row as a CSV reader takes them: each between quotes, a
// doubled quote standing for one, and commas between them. Whatever follows
// a field that does not end where it should is left unread.
std::vector<std::string> ReadBack(std::string_view row) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at < row.size() && row[at] == '"') {
        std::string& field = fields.emplace_back();
        for (++at; at < row.size() && (row[at] != '"' || row.substr(at, 2) == "\"\""); ++at) {
            field += row[at];
            if (row[at] == '"') ++at;
        }
        if (row.substr(at, 2) != "\",") break;
        at += 2;
    }
    return fields;
}

// Every source of every field with a quote in it, and with a CR or LF,
// which only an overlong form (C0 8D, C0 8A) can bring into a value.
TEST(DataKiridashi, QuotesAndLineBreaksLeaveTenFieldsToReadBack) {
    const std::string cr = "\xC0\x8D";
    const std::string lf = "\xC0\x8A";
    struct Case {
        Card card;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {{{"N", "山\"" + cr + ";太\"\"郎" + lf + ";;;様\"" + lf},
          {"X-PHONETIC-LAST-NAME", "ヤ\"マ,ダ" + cr},
          {"X-PHONETIC-FIRST-NAME", "タ\"ロ" + lf}},
         {"ヤ\"マ,ダ 　タ\"ロ ", "山\" 　太\"\"郎 ", "様\" ", "", "", "", "", "", "", ""}},
        {{{"ADR;TYPE=HOME", ";2\"F" + cr + ";通\"り" + lf + ";町\"" + cr + ";都\"" + lf + ";〒1\"2" + cr + ";"}},
         {"　", "　", "様", "1\"2 ", "都\" 町\" 通\"り ", "2\"F ", "", "", "", ""}},
        {{{"item1.X-ABRELATEDNAMES", "花\"子" + lf}, {"item1.X-ABLabel", "_$!<Spouse>!$_"},
          {"item2.X-ABRELATEDNAMES", "\"一" + cr}, {"item2.X-ABLabel", "_$!<Child>!$_"},
          {"item3.X-ABRELATEDNAMES", "二\"" + lf}, {"item3.X-ABLabel", "_$!<Child>!$_"},
          {"item4.X-ABRELATEDNAMES", "三\"\"" + cr}, {"item4.X-ABLabel", "_$!<Child>!$_"},
          {"NOTE", "配偶者印刷: true 子ども印刷: true"}},
         {"　", "　", "様", "", "", "", "花\"子 ", "\"一 ", "二\" ", "三\"\" "}},
    };
    for (const Case& c : cases) {
        const std::string row = RowOf(c.card);
        EXPECT_EQ(row.find_first_of("\r\n"), std::string::npos) << row;
        EXPECT_EQ(ReadBack(row), c.fields) << row;
    }
}

// Just the four joint-name fields of a row.
std::string JointNames(Card card, const std::string& note) {
    if (!note.empty()) card.push_back({"NOTE", note});
    const std::string row = RowOf(card);
    std::size_t pos = 0;
    for (int i = 0; i < 6; ++i) pos = row.find("\",\"", pos) + 3;
    return row.substr(pos - 1);
}

TEST(DataKiridashi, PrintFlagsFromTheNote) {
    const Card family = {
        {"item1.X-ABRELATEDNAMES", "花子"}, {"item1.X-ABLabel", "_$!<Spouse>!$_"},
        {"item2.X-ABRELATEDNAMES", "一郎"}, {"item2.X-ABLabel", "_$!<Child>!$_"},
    };
    const std::string both = "\"花子\",\"一郎\",\"\",\"\"";
    const std::string none = "\"\",\"\",\"\",\"\"";
    const std::string spouse = "\"花子\",\"\",\"\",\"\"";
    const std::string children = "\"\",\"一郎\",\"\",\"\"";
    struct Case {
        std::string note;
        std::string fields;
    };
    const Case cases[] = {
        {"配偶者印刷: true 子ども印刷: TRUE", both},
        {"配偶者印刷:　true", spouse},         // any one character after the colon
        {"配偶者印刷:xTrue", spouse},
        {"配偶者印刷:true", none},             // no character between: "rue" is compared
        {"配偶者印刷: tRUE", none},
        {"配偶者印刷: truest", spouse},        // only four characters count
        {"配偶者印刷: tru", none},
        {"配偶者印刷: ", none},
        {"配偶者印刷:", none},
        {"配偶者印刷： true", none},           // a full-width colon is not the marker
        {"x;配偶者印刷: true", none},          // behind the first ";" of the note
        {"配偶者印刷: no 配偶者印刷: true", none},  // only the first marker counts
        {"子ども印刷: true", children},
        {"配偶者印刷: true\\; 子ども印刷: true", both},  // an escaped ";" does not end the note
        {"子ども印刷:\\ntrue", none},          // the escape is two characters
        {"子ども印刷: true😀", children},      // an emoji no longer loses the whole note
        {"", none},
    };
    for (const Case& c : cases) EXPECT_EQ(JointNames(family, c.note), c.fields) << c.note;
}

TEST(DataKiridashi, RelationScan) {
    const std::string print = "配偶者印刷: true 子ども印刷: true";
    struct Case {
        Card card;
        std::string fields;
    };
    const Case cases[] = {
        // Four children: the first three by item number, and the scan stops there.
        {{{"item1.X-ABRELATEDNAMES", "c1"}, {"item1.X-ABLabel", "_$!<Child>!$_"},
          {"item2.X-ABRELATEDNAMES", "c2"}, {"item2.X-ABLabel", "_$!<Child>!$_"},
          {"item3.X-ABRELATEDNAMES", "c3"}, {"item3.X-ABLabel", "_$!<Child>!$_"},
          {"item4.X-ABRELATEDNAMES", "s"}, {"item4.X-ABLabel", "_$!<Spouse>!$_"},
          {"item5.X-ABRELATEDNAMES", "c4"}, {"item5.X-ABLabel", "_$!<Child>!$_"}},
         "\"\",\"c1\",\"c2\",\"c3\""},
        // Item order decides, not line order; a later spouse wins.
        {{{"item2.X-ABRELATEDNAMES", "s2"}, {"item2.X-ABLabel", "_$!<Spouse>!$_"},
          {"item1.X-ABRELATEDNAMES", "s1"}, {"item1.X-ABLabel", "_$!<Spouse>!$_"}},
         "\"s2\",\"\",\"\",\"\""},
        // Google numbers the items across every custom label, so relations
        // stand past item 10; item numbers count as numbers, of up to 19
        // digits, keys as long as the readings' among them.
        {{{"item123456.X-ABRELATEDNAMES", "s6"}, {"item123456.X-ABLabel", "_$!<Spouse>!$_"},
          {"item1234567.X-ABRELATEDNAMES", "c7"}, {"item1234567.X-ABLabel", "_$!<Child>!$_"},
          {"item1234567890123456789.X-ABRELATEDNAMES", "c19"},
          {"item1234567890123456789.X-ABLabel", "_$!<Child>!$_"}},
         "\"s6\",\"c7\",\"c19\",\"\""},
        {{{"item11.X-ABRELATEDNAMES", "s"}, {"item11.X-ABLabel", "_$!<Spouse>!$_"}}, "\"s\",\"\",\"\",\"\""},
        {{{"item38.X-ABRELATEDNAMES", "c38"}, {"item38.X-ABLabel", "_$!<Child>!$_"},
          {"item12345678901234567890123.X-ABRELATEDNAMES", "c4"},
          {"item12345678901234567890123.X-ABLabel", "_$!<Child>!$_"},
          {"item100.X-ABRELATEDNAMES", "c100"}, {"item100.X-ABLabel", "_$!<Child>!$_"},
          {"item9.X-ABRELATEDNAMES", "c9"}, {"item9.X-ABLabel", "_$!<Child>!$_"},
          {"item11.X-ABRELATEDNAMES", "s"}, {"item11.X-ABLabel", "_$!<Spouse>!$_"}},
         "\"s\",\"c9\",\"c38\",\"c100\""},
        {{{"item011.X-ABRELATEDNAMES", "s"}, {"item011.X-ABLabel", "_$!<Spouse>!$_"}}, "\"\",\"\",\"\",\"\""},
        {{{"item70.X-ABRELATEDNAMES", "a"}, {"item70.X-ABLabel", "_$!<Mother>!$_"},
          {"item70.X-ABRELATEDNAMES", "b"}, {"Item70.x-ablabel", "_$!<Spouse>!$_"}},
         "\"\",\"\",\"\",\"\""},
        {{{"item10.X-ABRELATEDNAMES", "s"}, {"ITEM10.x-ablabel", "_$!<Spouse>!$_"}}, "\"s\",\"\",\"\",\"\""},
        {{{"item1.X-ABRELATEDNAMES", "s"}, {"item1.X-ABLabel", "_$!<spouse>!$_"}}, "\"\",\"\",\"\",\"\""},
        {{{"item1.X-ABRELATEDNAMES", "s"}, {"item1\x0eX-ABLabel", "_$!<Spouse>!$_"}}, "\"\",\"\",\"\",\"\""},
        {{{"item1.X-ABRELATEDNAMES", "母"}, {"item1.X-ABLabel", "_$!<Mother>!$_"}}, "\"\",\"\",\"\",\"\""},
        // The whole value of whatever line stands before the label.
        {{{"TEL", "03-1234;5678"}, {"item1.X-ABLabel", "_$!<Spouse>!$_"}}, "\"03-1234;5678\",\"\",\"\",\"\""},
        {{{"item1.X-ABRELATEDNAMES", "花子\\, 一\\;\\\\n"}, {"item1.X-ABLabel", "_$!<Spouse>!$_"}},
         "\"花子, 一;\\n\",\"\",\"\",\"\""},
        // Only the first line with a label key counts.
        {{{"item1.X-ABRELATEDNAMES", "a"}, {"item1.X-ABLabel", "_$!<Child>!$_"},
          {"item1.X-ABRELATEDNAMES", "b"}, {"item1.X-ABLabel", "_$!<Spouse>!$_"}},
         "\"\",\"a\",\"\",\"\""},
    };
    for (const Case& c : cases) EXPECT_EQ(JointNames(c.card, print), c.fields);
}

TEST(DataKiridashi, LabelAsFirstLineGivesAnEmptyName) {
    // The label has no line before it; the row is still built.
    const Card card = {{"item1.X-ABLabel", "_$!<Spouse>!$_"},
                       {"item2.X-ABRELATEDNAMES", "一郎"}, {"item2.X-ABLabel", "_$!<Child>!$_"}};
    EXPECT_EQ(JointNames(card, "配偶者印刷: true 子ども印刷: true"), "\"\",\"一郎\",\"\",\"\"");
    EXPECT_EQ(JointNames({{"item1.X-ABLabel", "_$!<Child>!$_"}}, ""), "\"\",\"\",\"\",\"\"");
}

TEST(DataKiridashi, AppendsBehindEarlierRowsAndStartsAfresh) {
    NoHost host;
    Converter converter(host);
    converter.CsvList.Add("header");
    converter.RowText = "stale";
    converter.KeyList.Add("N");
    converter.ValueList.Add("a;b");
    converter.DataKiridashi();
    converter.DataKiridashi();
    const std::string row = converter.RowText + "\r\n";
    EXPECT_EQ(test::CsvText(converter.CsvList), "header\r\n" + row + row);
    EXPECT_EQ(converter.KeyList.Count(), 1);  // the store is left as it was
}

}  // namespace
}  // namespace kartovo
