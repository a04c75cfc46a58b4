#include "Cp932.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace kartovo {
namespace {

using test::Bytes;
using test::Sjis;

TEST(EqualsIgnoreCase, FoldsLettersOnly) {
    struct Case {
        std::string a, b;
        bool equal;
    };
    const Case cases[] = {
        {"N", "n", true},
        {"ADR;TYPE=HOME", "adr;type=home", true},
        {"item1.X-ABLabel", "ITEM1.x-ablabel", true},
        {"ADR;TYPE=HOME", "ADR;TYPE=HOME;TYPE=PREF", false},
        {"N", "N ", false},
        {"", "", true},
        {"[", "{", false},  // 0x5B / 0x7B are not a case pair
        {"@", "`", false},
        {Sjis("ＡＢＣ"), Sjis("ａｂｃ"), true},
        {Sjis("Ａ"), "A", false},  // full-width and half-width stay apart
        {Sjis("あ"), Sjis("ア"), false},
        {Sjis("Ω"), Sjis("ω"), true},
        {Sjis("Я"), Sjis("я"), true},
        {Sjis("Ю"), Sjis("ю"), true},  // either side of the 0x847F gap
        {Sjis("Н"), Sjis("н"), true},
        {Sjis("О"), Sjis("о"), true},
        {Sjis("ソ") + "n", Sjis("ソ") + "N", true},
        {Sjis("表"), Sjis("表"), true},
        {Bytes({0x83, 0x5C}), Bytes({0x83, 0x7C}), false},  // second byte 0x5C vs 0x7C is no case pair
        {Bytes({0x83, 0x61}), Bytes({0x83, 0x41}), false},  // nor 'a' / 'A' as second bytes
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << test::Hex(c.a) << " vs " << test::Hex(c.b);
        EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal) << test::Hex(c.b) << " vs " << test::Hex(c.a);
    }
}

TEST(AssignReplaced, WorksOnCharacterBoundaries) {
    struct Case {
        std::string text, from, to, expected;
    };
    const std::string space = Sjis("　");
    const Case cases[] = {
        {"a\\nb\\nc", "\\n", space, "a" + space + "b" + space + "c"},
        {"\\N", "\\n", space, "\\N"},
        {Sjis("ソ") + "n", "\\n", space, Sjis("ソ") + "n"},  // 83 5C 6E is ソ then n
        {Sjis("表") + "n\\n", "\\n", space, Sjis("表") + "n" + space},
        {"\\\\n", "\\n", "X", "\\X"},
        {"aaa", "aa", "b", "ba"},  // no overlap
        {"1?2?3", "?", Sjis("－"), "1" + Sjis("－") + "2" + Sjis("－") + "3"},
        {Sjis("〒〒123〒"), Sjis("〒"), "", "123"},
        {"abc", "x", "y", "abc"},
        {"", "x", "y", ""},
        {"aXa", "a", "aa", "aaXaa"},  // the inserted text is not searched again
    };
    for (const Case& c : cases) {
        std::string out = "left from before";
        AssignReplaced(out, c.text, c.from, c.to);
        EXPECT_EQ(out, c.expected) << test::Hex(c.text);
    }
}

TEST(FindOnBoundary, SkipsSecondBytes) {
    struct Case {
        std::string text, needle;
        std::size_t found;
    };
    const Case cases[] = {
        {Sjis("ソ") + "\\n", "\\n", 2},  // 83 5C 5C 6E
        {Sjis("ソ") + "n", "\\n", std::string::npos},
        {"abc", "c", 2},
        {"abc", "abcd", std::string::npos},
        // Lead bytes pair up from the text's start, whatever follows them.
        {Bytes({0x81, 0x81}) + "\\n", "\\n", 2},
        {Bytes({0x81, 0x81, 0x81}) + "\\n", "\\n", std::string::npos},
        {Bytes({0x81, 0x40, 0x40}), Bytes({0x40}), 2},
        {Sjis("ソ表ソ") + "\\n" + Sjis("表"), "\\n", 6},
    };
    for (const Case& c : cases) EXPECT_EQ(FindOnBoundary(c.text, c.needle), c.found) << test::Hex(c.text);
}

TEST(NextCharPos, StepsOverDoubleByteCharacters) {
    const std::string text = "a" + Sjis("山") + "b" + Bytes({0x81});
    EXPECT_EQ(NextCharPos(text, 0), 1u);
    EXPECT_EQ(NextCharPos(text, 1), 3u);
    EXPECT_EQ(NextCharPos(text, 3), 4u);
    EXPECT_EQ(NextCharPos(text, 4), 5u);  // a lead byte at the end stands alone
    EXPECT_EQ(NextCharPos(Sjis("ｱ"), 0), 1u);  // half-width katakana is one byte
}

TEST(FormatMessageText, FillsPlaceholdersInOrder) {
    EXPECT_EQ(FormatMessageText("a %s b %s c", "X", "Y"), "a X b Y c");
    EXPECT_EQ(FormatMessageText("(%d)", "-1"), "(-1)");
    EXPECT_EQ(FormatMessageText("%s", "%s"), "%s");  // arguments are not read again
    EXPECT_EQ(FormatMessageText("100%", "x"), "100%");
}

}  // namespace
}  // namespace kartovo
