#include "Components.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace kartovo {
namespace {

using Parts = std::vector<std::string>;

TEST(SplitComponents, FollowsTheQuotingRules) {
    struct Case {
        std::string value;
        Parts parts;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a;b", {"a", "b"}},
        {"a;;b", {"a", "", "b"}},
        {";", {"", ""}},
        {"a;", {"a", ""}},
        {";a", {"", "a"}},
        {";;", {"", "", ""}},
        {"a b ; c", {"a b ", " c"}},
        {"\"a;b\";c", {"a;b", "c"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"\"ab\"cd;e", {"ab", "cd", "e"}},
        {"\"abc", {"abc"}},
        {"\"a\"\"b", {"a\"b"}},
        {"\"\"", {""}},
        {"\"\";", {"", ""}},
        {"x\"y\";z", {"x\"y\"", "z"}},
        // Escapes: "\;" separates nothing; "\\", "\," and "\;" come out
        // unescaped, every other backslash stays with what follows it.
        {"a\\;b", {"a;b"}},
        {"a\\\\;b\\,c", {"a\\", "b,c"}},
        {"a\\\\\\;b;\\n\\x\\", {"a\\;b", "\\n\\x\\"}},
        {"\"a\\;b\"\\,c;d", {"a;b", ",c", "d"}},  // inside quotes too, and after them
        {"\"a\"\"\\\\\"", {"a\"\\"}},
        // 0x5C as the second byte of 十 表 ソ 纊 is no backslash; lead bytes
        // 0xFA-0xFC (髙 﨑) step whole too.
        {test::Sjis("十;表;ソ;纊;x"), {test::Sjis("十"), test::Sjis("表"), test::Sjis("ソ"), test::Sjis("纊"), "x"}},
        {test::Sjis("表\\;ソ\\\\;髙\\,﨑"), {test::Sjis("表;ソ\\"), test::Sjis("髙,﨑")}},
        {std::string("a;b\0;c", 6), {"a", "b"}},  // a zero byte ends the value
        {std::string("a\\,b\0;c", 8), {"a,b"}},     // after an escape too
        {test::Sjis("山田;太郎;;;"), {test::Sjis("山田"), test::Sjis("太郎"), "", "", ""}},
        {test::Sjis("ソ;表"), {test::Sjis("ソ"), test::Sjis("表")}},
        {test::Sjis("山;表;\\,"), {test::Sjis("山"), test::Sjis("表"), ","}},
        {"\x81;a\\,b", {"\x81;a,b"}},  // a lead byte takes the semicolon as its second byte
    };
    for (const Case& c : cases) {
        StringList list;
        list.Add("stale");
        SplitComponents(c.value, list);
        Parts parts;
        for (int i = 0; i < list.Count(); ++i) parts.push_back(list.At(i));
        EXPECT_EQ(parts, c.parts) << test::Hex(c.value);
        for (std::size_t n = 0; n <= c.parts.size(); ++n) {
            const std::string expected = n < c.parts.size() ? c.parts[n] : std::string();
            EXPECT_EQ(ComponentAt(c.value, static_cast<int>(n + 1)), expected) << test::Hex(c.value) << " n=" << n + 1;
        }
    }
}

}  // namespace
}  // namespace kartovo
