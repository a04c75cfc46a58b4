#include "SourceLines.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace kartovo {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitIntoLines, BreaksAndEnds) {
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {std::string("ab\0cd\r\nef", 9), {"ab"}},  // a zero byte ends the text
        {std::string("\0abc", 4), {}},
        {std::string("a\r\n\0b", 5), {"a"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitIntoLines(c.bytes), c.lines) << test::Hex(c.bytes);
    }
}

TEST(SplitIntoLines, JoinsFoldedLines) {
    struct Case {
        std::string bytes;
        Lines lines;
    };
    // 山 is E5 B1 B1: a fold may fall inside it.
    const std::string yama = "\xE5\xB1\xB1";
    const Case cases[] = {
        {"NOTE:abc\r\n def\r\nEND:VCARD\r\n", {"NOTE:abcdef", "END:VCARD"}},
        {"NOTE:abc\r\n\tdef\r\n", {"NOTE:abcdef"}},
        {"NOTE:a\r\n b\r\n c\r\n", {"NOTE:abc"}},
        {"NOTE:a\r\n  b\r\n", {"NOTE:a b"}},                 // only the first blank is the fold's
        {"ADR:\xE5\r\n \xB1\xB1\r\n", {"ADR:" + yama}},      // a character split by the fold is whole again
        {"ADR:\xE5\xB1\n \xB1\n", {"ADR:" + yama}},
        {" first\r\nsecond\r\n", {" first", "second"}},      // the first line is never a continuation
        {"a\r\n\r\n b\r\n", {"a", "b"}},                     // an empty line can be continued too
        {"a\r\n \r\nb", {"a", "b"}},
        {"a\r\n ", {"a"}},
        {"a\r\n x" + std::string("\0 y", 3), {"ax"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitIntoLines(c.bytes), c.lines) << test::Hex(c.bytes);
    }
}

TEST(SourceLines, UnfoldedLinesAreViewsOfTheFile) {
    const std::string bytes = "A:1\r\nB:2\r\n 3\r\n 4\r\nC:5\r\n";
    SourceLines source(bytes);
    std::string_view line;
    ASSERT_TRUE(source.Next(line));
    EXPECT_EQ(line, "A:1");
    EXPECT_EQ(line.data(), bytes.data());  // no copy of the file
    ASSERT_TRUE(source.Next(line));
    EXPECT_EQ(line, "B:234");
    ASSERT_TRUE(source.Next(line));
    EXPECT_EQ(line, "C:5");
    EXPECT_FALSE(source.Next(line));
}

}  // namespace
}  // namespace kartovo
