#include <gtest/gtest.h>

#include "CardProperty.h"
#include "Converter.h"
#include "SourceLines.h"
#include "Texts.h"

#include <random>
#include "Failure.h"
#include "TestSupport.h"

namespace kartovo {
namespace {

using test::Bytes;
using test::Sjis;

TEST(StoreLine, SplitsAtTheFirstColonAndConvertsEachSide) {
    struct Case {
        std::string line;
        std::string key;
        std::string value;
    };
    const Case cases[] = {
        {"ADR;TYPE=HOME:;;1-2-3;Town;Pref;100-0001;Japan", "ADR;TYPE=HOME", ";;1-2-3;Town;Pref;100-0001;Japan"},
        {"URL:https://example.com:8080/x", "URL", "https://example.com:8080/x"},
        {"NOTE:", "NOTE", ""},
        {":value", "", "value"},
        {"", "", ""},
        {"no colon here", "", "no colon here"},
        {"N:山田;太郎;;;", "N", Sjis("山田;太郎;;;")},
        {"NOTE:hi 😀 there", "NOTE", "hi ? there"},
        {"NOTE:" + Bytes({0xE5, 0xB1}), "NOTE", ""},   // a value cut short is lost, the key stays
        {"K" + Bytes({0xE5}) + ":v", "", "v"},        // and the other way round
        {"NOTE:한", "NOTE", "?"},
        {"X:" + Bytes({0xC1, 0x81}), "X", "A"},
        {"\xEF\xBB\xBF" "BEGIN:VCARD", "?BEGIN", "VCARD"},  // a byte-order mark stays in front
    };
    Utf8ToCp932 convert;
    for (const Case& c : cases) {
        StringList keys, values;
        StoreLine(c.line, convert, keys, values);
        ASSERT_EQ(keys.Count(), 1);
        ASSERT_EQ(values.Count(), 1);
        EXPECT_EQ(test::Hex(keys.At(0)), test::Hex(c.key)) << c.line;
        EXPECT_EQ(test::Hex(values.At(0)), test::Hex(c.value)) << c.line;
    }
}

TEST(IsEndOfCard, MatchesTheWholeLineExactly) {
    struct Case {
        std::string line;
        bool end;
    };
    const Case cases[] = {
        {"END:VCARD", true},
        {"end:vcard", false},
        {"END:VCARD ", false},
        {" END:VCARD", false},
        {"END:VCARDS", false},
        {"", false},
        {Bytes({0xC1, 0x85}) + "ND:VCARD", true},  // an overlong E converts to E
        {"END:VCARD" + Bytes({0xC0, 0x80}), false},
        {"E" + Bytes({0xE0, 0x81, 0x8E}) + "D:VCAR" + Bytes({0xC1, 0x84}), true},  // three- and two-byte forms
        {"ＥＮＤ：ＶＣＡＲＤ", false},
        {"F" + Bytes({0xC1, 0x8E}) + "D:VCARD", false},  // the ASCII first byte alone decides
        {"END:VCARD" + Bytes({0xF0, 0x9F, 0x98, 0x80}), false},
        {"END:VCAR" + Bytes({0xC1}), false},  // cut short: the line converts to nothing
    };
    for (const Case& c : cases) EXPECT_EQ(IsEndOfCard(c.line), c.end) << test::Hex(c.line);
}

TEST(StringList, IndexOfIgnoresCaseAndTakesTheFirst) {
    StringList list;
    for (const char* key : {"BEGIN", "n", "N", "item1.x-ablabel"}) list.Add(key);
    EXPECT_EQ(list.IndexOf("N"), 1);
    EXPECT_EQ(list.IndexOf("ITEM1.X-ABLabel"), 3);
    EXPECT_EQ(list.IndexOf("FN"), -1);
    EXPECT_EQ(list.IndexOf(""), -1);
}

TEST(StringList, ReadingOutsideFailsWithTheIndex) {
    StringList list;
    list.Add("a");
    EXPECT_EQ(list.At(0), "a");
    for (int index : {-1, 1, 5}) {
        try {
            (void)list.At(index);
            ADD_FAILURE() << "no failure for " << index;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Message(),
                      Sjis("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")"));
        }
    }
}

class LoadFieldTest : public ::testing::Test {
protected:
    test::NoHost host;
    Converter converter{host};

    void Store(const std::string& key, const std::string& value) {
        converter.KeyList.Add(Sjis(key));
        converter.ValueList.Add(Sjis(value));
    }
};

TEST_F(LoadFieldTest, FindsTheFirstLineAndItsComponent) {
    Store("BEGIN", "VCARD");
    Store("n", "山田;太郎;;;");
    Store("N", "別;人;;;");
    Store("ADR;TYPE=HOME;TYPE=PREF", ";;x;;;;");
    struct Case {
        const char* key;
        int n;
        const char* expected;
    };
    const Case cases[] = {
        {"N", 1, "山田"}, {"N", 2, "太郎"}, {"N", 5, ""}, {"N", 6, ""},
        {"ADR;TYPE=HOME", 3, ""},  // a further parameter makes it another key
        {"NOTE", 1, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(converter.LoadField(c.key, c.n), Sjis(c.expected)) << c.key << " " << c.n;
    }
}

}  // namespace
}  // namespace kartovo

namespace kartovo {
namespace {

// The plain way: every line stored, a row at each end line.
std::string RowsStoringEveryLine(const std::string& source) {
    test::NoHost host;
    Converter converter(host);
    converter.CsvList.Add(texts::kHeaderRow);
    Utf8ToCp932 convert;
    for (const std::string& line : test::SplitIntoLines(source)) {
        StoreLine(line, convert, converter.KeyList, converter.ValueList);
        if (IsEndOfCard(line)) {
            converter.DataKiridashi();
            converter.KeyList.Clear();
            converter.ValueList.Clear();
        }
    }
    return test::CsvText(converter.CsvList);
}

TEST(ConvertText, KeepsOnlyTheLinesRowsReadAndGivesTheSameRows) {
    // Lines chosen to meet every rule of lookup: repeated keys, keys in other
    // letter case or spelt with overlong forms, labels on the first line,
    // after each other, after a repeated key, and past the third child.
    const std::vector<std::string> pool = {
        "BEGIN:VCARD", "END:VCARD", "N:a;b;;;c", "n:second;x", "\xC1\x8E:overlong;n", "NOTE:配偶者印刷: true 子ども印刷: true",
        "note:配偶者印刷: false", "ADR;TYPE=HOME:;e;s\\n1?2;l;r;〒1;c", "adr;type=home:;;other", "X-PHONETIC-LAST-NAME:ヤ",
        "X-PHONETIC-FIRST-NAME:タ", "item1.X-ABRELATEDNAMES:花子", "item1.X-ABLabel:_$!<Spouse>!$_",
        "ITEM2.x-ablabel:_$!<Child>!$_", "item3.X-ABLabel:_$!<Child>!$_", "item4.X-ABLabel:_$!<Child>!$_",
        "item5.X-ABLabel:_$!<Spouse>!$_", "item10.X-ABLabel:_$!<Child>!$_", "item2.X-ABRELATEDNAMES:一郎",
        "TEL:03", "no colon", "", " folded", "EMAIL:x@example.jp",
    };
    std::mt19937 random(20261207);
    for (int round = 0; round < 3000; ++round) {
        std::string source;
        const int count = static_cast<int>(random() % 24);
        for (int i = 0; i < count; ++i) source += pool[random() % pool.size()] + "\r\n";
        test::NoHost host;
        Converter converter(host);
        converter.ConvertText(source);
        ASSERT_EQ(test::CsvText(converter.CsvList), RowsStoringEveryLine(source)) << source;
    }
}

TEST(ConvertText, AContactThatNeverEndsKeepsNoLines) {
    std::string source = "BEGIN:VCARD\r\nN:a;b\r\n";
    for (int i = 0; i < 100000; ++i) source += "\r\nTEL:0\r\n";
    test::NoHost host;
    Converter converter(host);
    EXPECT_EQ(converter.ConvertText(source), 0);
    EXPECT_EQ(converter.KeyList.Count(), 1);  // only the N line can ever be read
}

}  // namespace
}  // namespace kartovo

namespace kartovo {
namespace {

// A value as Android writes it: every byte as =XX, and a soft line break
// after every 23 bytes, which leaves an empty line after a value of 23×n.
std::string AndroidQuoted(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out += '=';
        out += digits[c >> 4];
        out += digits[c & 15];
        if ((i + 1) % 23 == 0) out += "=\r\n";
    }
    return out;
}

// The rows (UTF-8, after the header) that a file of cards gives, and what
// the run says under the count.
std::pair<std::string, std::string> RowsAndNotes(const std::string& file) {
    test::NoHost host;
    Converter converter(host);
    converter.ConvertText(file);
    const std::string csv = Cp932ToUtf8(test::CsvText(converter.CsvList));
    return {csv.substr(csv.find("\r\n") + 2), WithNotes("", converter.Notes)};
}

TEST(DecodeQuotedPrintable, TakesOnlyWholeEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"=E5=B1=B1", "\xE5\xB1\xB1"},
        {"=e5a=3D=3d", "\xE5" "a=="},     // either case of the digits
        {"=G1=4=", "=G1=4="},              // no two digits: kept as it stands
        {"ab=4", "ab=4"},                  // the last two bytes are no escape
        {"=41", "A"},
        {"=", "="},
        {"", ""},
    };
    for (const auto& [text, decoded] : cases) {
        std::string bytes = text;
        DecodeQuotedPrintable(bytes);
        EXPECT_EQ(test::Hex(bytes), test::Hex(decoded)) << text;
    }
    for (const char* name : {"Shift_JIS", "shift-jis", "SJIS", "cp932", "MS932", "Windows-31J"}) {
        EXPECT_TRUE(IsShiftJisCharset(name)) << name;
    }
    for (const char* name : {"UTF-8", "SHIFT_JIS2", "CP936", "ISO-2022-JP", "WINDOWS-31"}) {
        EXPECT_FALSE(IsShiftJisCharset(name)) << name;
    }
}

// One card of each shape other producers write (their facts gathered from
// public vCard files); the same ten fields as a Google card's.
TEST(ConvertText, ReadsOtherProducersCardsAsTheyWroteThem) {
    const std::string print = "NOTE:配偶者印刷: true 子ども印刷: true\r\n";
    const std::string qp = ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
    const std::string sjis = ";CHARSET=SHIFT_JIS:";
    struct Case {
        const char* what;
        std::string lines;  // between BEGIN:VCARD and END:VCARD
        std::string row;
    };
    const Case cases[] = {
        {"iPhone: grouped home address, type=pref, related names by group",
         "VERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\nN:山田;太郎;;;\r\n"
         "X-PHONETIC-LAST-NAME:やまだ\r\nX-PHONETIC-FIRST-NAME:たろう\r\n"
         "item1.ADR;type=WORK;type=pref:;;丸の内1-1;千代田区;東京都;100-0005;日本\r\n"
         "item3.ADR;type=HOME;type=pref:;サンプル荘;本町2-3;中野区;東京都;164-0012;日本\r\nitem3.X-ABADR:jp\r\n"
         "item4.X-ABRELATEDNAMES;type=pref:花子\r\nitem4.X-ABLabel:_$!<Spouse>!$_\r\n"
         "item5.X-ABRELATEDNAMES:一郎\r\nitem5.X-ABLabel:_$!<Child>!$_\r\n" + print,
         "\"やまだ　たろう\",\"山田　太郎\",\"様\",\"164-0012\",\"東京都中野区本町2-3\",\"サンプル荘\",\"花子\",\"一郎\",\"\",\"\""},
        {"iCloud after a round trip: the types as a list, an upper-case group",
         "VERSION:3.0\r\nPRODID:-//Apple Inc.//iCloud Web Address Book//EN\r\nN:佐藤;花;;;\r\n"
         "ITEM2.ADR;TYPE=HOME,pref:;;港南1-2;港区;東京都;108-0075;\r\n",
         "\"　\",\"佐藤　花\",\"様\",\"108-0075\",\"東京都港区港南1-2\",\"\",\"\",\"\",\"\",\"\""},
        {"two home addresses: the one marked pref",
         "VERSION:3.0\r\nPRODID:-//Apple Inc.//Mac OS X 10.15//EN\r\nN:鈴木;一;;;\r\n"
         "item1.ADR;type=HOME:;;旧町1;北区;大阪府;530-0001;\r\nitem2.ADR;type=HOME;type=pref:;;新町2;西区;大阪府;550-0013;\r\n",
         "\"　\",\"鈴木　一\",\"様\",\"550-0013\",\"大阪府西区新町2\",\"\",\"\",\"\",\"\",\"\""},
        {"old macOS: no PRODID, X-ABADR, plain relation labels",
         "VERSION:3.0\r\nN:高橋;誠;;;\r\nitem1.ADR;type=HOME:;;栄3-4;中区;愛知県;460-0008;\r\nitem1.X-ABADR:jp\r\n"
         "item2.X-ABRELATEDNAMES:恵\r\nitem2.X-ABLabel:Spouse\r\nitem3.X-ABRELATEDNAMES:翼\r\nitem3.X-ABLabel:Child\r\n" +
             print,
         "\"　\",\"高橋　誠\",\"様\",\"460-0008\",\"愛知県中区栄3-4\",\"\",\"恵\",\"翼\",\"\",\"\""},
        {"Android: every value quoted-printable, a value of 46 bytes, relations",
         "VERSION:2.1\r\nN" + qp + AndroidQuoted("伊藤;陽菜;;;") + "\r\n" +
             "X-PHONETIC-LAST-NAME" + qp + AndroidQuoted("イトウ") + "\r\n" +
             "ADR;HOME" + qp + AndroidQuoted(";;天神1-2-3;福岡市中央区;福岡県;810-0001;日本") + "\r\n" +
             "NOTE" + qp + AndroidQuoted("配偶者印刷: true 子ども印刷: true") + "\r\n" +
             "X-ANDROID-CUSTOM" + qp +
             AndroidQuoted("vnd.android.cursor.item/relation;伊藤大輔;14;;;;;;;;;;;;;") + "\r\n" +
             "X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;Mei;3;;;;;;;;;;;;;\r\n",
         "\"イトウ　\",\"伊藤　陽菜\",\"様\",\"810-0001\",\"福岡県福岡市中央区天神1-2-3\",\"\",\"伊藤大輔\",\"Mei\",\"\",\"\""},
        {"Japanese phone: Shift_JIS raw and quoted-printable, the reading split, the address whole",
         "VERSION:2.1\r\nN" + sjis + Sjis("渡辺;健;;;") + "\r\nSOUND;X-IRMC-N" + sjis + Sjis("ﾜﾀﾅﾍﾞ;ｹﾝ;;;") +
             "\r\nADR;HOME;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" + AndroidQuoted(Sjis(";北海道札幌市北区1-2;;;;060-0001;")) +
             "\r\n",
         "\"ﾜﾀﾅﾍﾞ　ｹﾝ\",\"渡辺　健\",\"様\",\"060-0001\",\"北海道札幌市北区1-2\",\"\",\"\",\"\",\"\",\"\""},
        {"a feature phone: the whole reading in its first part, a value labelled Shift_JIS in UTF-8",
         "VERSION:2.1\r\nN" + sjis + "小林優;;;;\r\nSOUND;X-IRMC-N" + sjis + Sjis("ｺﾊﾞﾔｼ ﾕｳ;;;;") + "\r\n",
         "\"ｺﾊﾞﾔｼ ﾕｳ　\",\"小林優　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        {"Outlook: the spouse",
         "VERSION:2.1\r\nN:Kato;Ren\r\nADR;HOME;PREF:;;1-2 Minato;Yokohama;Kanagawa;220-0012;Japan\r\nX-MS-SPOUSE:Aoi\r\n" +
             print,
         "\"　\",\"Kato　Ren\",\"様\",\"220-0012\",\"KanagawaYokohama1-2 Minato\",\"\",\"Aoi\",\"\",\"\",\"\""},
    };
    std::string all;
    std::string allRows;
    for (const Case& c : cases) {
        const std::string card = "BEGIN:VCARD\r\n" + c.lines + "END:VCARD\r\n";
        EXPECT_EQ(RowsAndNotes(card).first, c.row + "\r\n") << c.what;
        all += card;
        allRows += c.row + "\r\n";
    }
    // Beside a Google card, in one file, each card gets its own reading.
    const std::string google = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:中村;翔;;;\r\nADR;TYPE=HOME:;;1;2;3;4;\r\nEND:VCARD\r\n";
    const auto [rows, notes] = RowsAndNotes(google + all);
    EXPECT_EQ(rows, "\"　\",\"中村　翔\",\"様\",\"4\",\"321\",\"\",\"\",\"\",\"\",\"\"\r\n" + allRows);
    EXPECT_EQ(notes, "\n（iPhone・Macの形式 4件、Androidなどの vCard 2.1 形式 4件として読みました）\n住所のない連絡先：1件");
}

}  // namespace
}  // namespace kartovo
