#include <gtest/gtest.h>

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
