#include "SourceLines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"

namespace kartovo {
namespace {

using Lines = std::vector<std::string>;

// The lines of `bytes` read `piece` bytes at a time into a buffer that
// starts at `capacity` bytes, each paired with the line before it as the
// reader hands it out.
std::vector<std::pair<std::string, std::string>> ReadInPieces(std::string_view bytes, std::size_t piece,
                                                               std::size_t capacity) {
    std::size_t at = 0;
    SourceLines source(
        [&](char* into, std::size_t room) {
            const std::size_t n = std::min({piece, room, bytes.size() - at});
            std::copy_n(bytes.data() + at, n, into);
            at += n;
            return n;
        },
        capacity);
    std::vector<std::pair<std::string, std::string>> lines;
    std::string_view line;
    while (source.Next(line)) {
        lines.emplace_back(line, source.Previous());
    }
    return lines;
}

// Every way of reading gives the same lines, and the line before each.
void ExpectLines(const std::string& bytes, const Lines& expected) {
    EXPECT_EQ(test::SplitIntoLines(bytes), expected) << test::Hex(bytes);
    for (const std::size_t piece : {1, 2, 3, 64}) {
        for (const std::size_t capacity : {1, 4, 1 << 20}) {
            const auto read = ReadInPieces(bytes, piece, capacity);
            ASSERT_EQ(read.size(), expected.size()) << test::Hex(bytes) << " piece " << piece << " capacity " << capacity;
            for (std::size_t i = 0; i < read.size(); ++i) {
                EXPECT_EQ(read[i].first, expected[i]);
                EXPECT_EQ(read[i].second, i > 0 ? expected[i - 1] : "");
            }
        }
    }
}

TEST(SourceLines, BreaksAndEnds) {
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
    for (const Case& c : cases) ExpectLines(c.bytes, c.lines);
}

TEST(SourceLines, JoinsFoldedLines) {
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
        // Lines before and after joined ones, long enough to outgrow a small buffer.
        {"A:" + std::string(40, 'a') + "\r\nB:1\r\n 2\r\nC:" + std::string(30, 'c') + "\r\n 3\r\n 4\rD\nE",
         {"A:" + std::string(40, 'a'), "B:12", "C:" + std::string(30, 'c') + "34", "D", "E"}},
        {"N:x\r\n " + std::string(40, 'y') + "\r\n\t" + std::string(20, 'z'), {"N:x" + std::string(40, 'y') + std::string(20, 'z')}},
    };
    for (const Case& c : cases) ExpectLines(c.bytes, c.lines);
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

// Read piece by piece, only the current line and the one before are held:
// a line folded many times, or one that never ends, must not make the
// reader keep the file since the line before it.
TEST(SourceLines, ReadingInPiecesHoldsNoMoreThanTheLines) {
    std::string folded = "BEGIN:VCARD\r\nN:a";
    for (int i = 0; i < 10000; ++i) folded += "\r\n b";
    folded += "\r\nEND:VCARD\r\n";
    std::size_t at = 0;
    std::size_t largestRoom = 0;
    SourceLines source(
        [&](char* into, std::size_t room) {
            largestRoom = std::max(largestRoom, room);
            const std::size_t n = std::min<std::size_t>(room, folded.size() - at);
            std::copy_n(folded.data() + at, n, into);
            at += n;
            return n;
        },
        64);
    std::string_view line;
    ASSERT_TRUE(source.Next(line));
    ASSERT_TRUE(source.Next(line));
    EXPECT_EQ(line, "N:a" + std::string(10000, 'b'));
    EXPECT_EQ(source.Previous(), "BEGIN:VCARD");
    ASSERT_TRUE(source.Next(line));
    EXPECT_EQ(line, "END:VCARD");
    EXPECT_LE(largestRoom, 64u);  // the buffer never had to grow
}

}  // namespace
}  // namespace kartovo
