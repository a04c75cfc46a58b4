#include <gtest/gtest.h>

#include "Cp932Encoder.h"
#include "TestSupport.h"
#include "Unicode.h"
#include "Utf8.h"

namespace kartovo {
namespace {

using test::Bytes;
using test::Hex;

TEST(DecodeUtf8, FollowsTheLenientRules) {
    struct Case {
        std::string bytes;
        bool ok;
        std::u16string units;
    };
    const Case cases[] = {
        {"", true, u""},
        {"Az", true, u"Az"},
        {Bytes({0xE5, 0xB1, 0xB1}), true, u"山"},
        {Bytes({0xC2, 0xA9}), true, u"\u00A9"},
        {Bytes({0xC1, 0x81}), true, u"A"},                    // overlong forms give what they spell
        {Bytes({0xC0, 0x80}), true, std::u16string(1, u'\0')},
        {Bytes({0x80, 0x80}), true, std::u16string(1, u'\0')},             // 0x80-0x9F lead a two-byte form
        {Bytes({0xA0, 0x80, 0x80}), true, std::u16string(1, u'\0')},       // 0xA0-0xBF lead a three-byte form
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), true, u"?"},        // 😀 becomes one "?"
        {Bytes({0xF0, 0xA0, 0xAE, 0xB7, 0xE7, 0x94, 0xB0}), true, u"?田"},  // 𠮷田
        {Bytes({0xF8, 0x80, 0x80}), true, u"\u8000"},         // 0xF8-0xFF keep the three-byte shape
        {Bytes({0xE5, 0xB1}), false, u""},                    // cut short at the end
        {Bytes({0xC2}), false, u""},
        {Bytes({0xC2, 0x41}), false, u""},                    // bad following byte
        {Bytes({0xE5, 0xB1, 0xC0}), false, u""},
        {Bytes({0xF0, 0x9F, 0x98}), false, u""},              // four-byte form cut short
        {Bytes({0xF0, 0x9F, 0x98, 0x41}), false, u""},
        {"ok" + Bytes({0xE5}), false, u""},                   // the whole text is lost, not one character
    };
    for (const Case& c : cases) {
        std::u16string units = u"junk";
        EXPECT_EQ(DecodeUtf8(c.bytes, units), c.ok) << Hex(c.bytes);
        EXPECT_EQ(units, c.units) << Hex(c.bytes);
    }
}

TEST(Utf8ToCp932, GivesTheSameBytesOnEveryPlatform) {
    struct Case {
        std::string utf8;
        std::string cp932;
    };
    const Case cases[] = {
        {"", ""},
        {"N", "N"},
        {"\\n~", "\\n~"},
        {"山田", Bytes({0x8E, 0x52, 0x93, 0x63})},
        {"ヤマダ　タロウ", Bytes({0x83, 0x84, 0x83, 0x7D, 0x83, 0x5F, 0x81, 0x40, 0x83, 0x5E, 0x83, 0x8D, 0x83, 0x45})},
        {"ｱ", Bytes({0xB1})},
        {"〒", Bytes({0x81, 0xA7})},
        {"様", Bytes({0x97, 0x6C})},
        {"ソ", Bytes({0x83, 0x5C})},
        {"①", Bytes({0x87, 0x40})},
        {"髙", Bytes({0xFB, 0xFC})},
        // The JIS forms phones and Macs send, and their CP932 twins.
        {"〜", Bytes({0x81, 0x60})},
        {"～", Bytes({0x81, 0x60})},
        {"−", Bytes({0x81, 0x7C})},
        {"－", Bytes({0x81, 0x7C})},
        {"—", Bytes({0x81, 0x5C})},
        {"―", Bytes({0x81, 0x5C})},
        {"‖", Bytes({0x81, 0x61})},
        {"∥", Bytes({0x81, 0x61})},
        {"¢", Bytes({0x81, 0x91})},
        {"£", Bytes({0x81, 0x92})},
        {"¬", Bytes({0x81, 0xCA})},
        {"1−2−3", Bytes({0x31, 0x81, 0x7C, 0x32, 0x81, 0x7C, 0x33})},
        // No CP932 form: one "?" each, no look-alike.
        {"한", "?"},
        {"é", "?"},
        {"¥", "?"},
        {"‾", "?"},
        {"a😀b", "a?b"},
        {"𠮷田", Bytes({0x3F, 0x93, 0x63})},
        {Bytes({0xED, 0xA0, 0x80}), "?"},                      // a lone surrogate
        {Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}), "?"},    // a surrogate pair spelled in two forms
        {Bytes({0xC0, 0x80}), std::string(1, '\0')},
        {Bytes({0xC1, 0x81}), "A"},
        {Bytes({0xE5, 0xB1}), ""},
        {"名前😀" + Bytes({0xE5}), ""},
    };
    Utf8ToCp932 convert;
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(convert(c.utf8)), Hex(c.cp932)) << c.utf8;
    }
}

TEST(Utf8ToCp932, AppendsToExistingText) {
    Utf8ToCp932 convert;
    std::string text = "x";
    convert.AppendTo("山", text);
    convert.AppendTo(Bytes({0xE5}), text);  // a failed conversion appends nothing
    EXPECT_EQ(Hex(text), Hex("x" + Bytes({0x8E, 0x52})));
}

TEST(Cp932ToUtf8, RoundTripsAndMarksBadBytes) {
    Utf8ToCp932 convert;
    for (const char* text : {"", "abc", "山田　太郎", "〒123-4567", "ソ表①ｱ"}) {
        EXPECT_EQ(Cp932ToUtf8(convert(text)), text);
    }
#ifndef _WIN32
    // Windows shows such a byte as its own default character instead.
    EXPECT_EQ(Cp932ToUtf8(Bytes({'a', 0x81})), "a?");  // a lead byte without its second byte
#endif
}

}  // namespace
}  // namespace kartovo

namespace kartovo {
namespace {

TEST(Utf16ToUtf8, KeepsEveryCharacterAndReplacesWhatIsMalformed) {
    struct Case {
        std::u16string units;
        std::string utf8;
        bool roundTrips;
    };
    const Case cases[] = {
        {u"", "", true},
        {u"C:\\한국🙂\\連絡先.vcf", "C:\\한국🙂\\連絡先.vcf", true},
        {u"a\xD83D", "a\xEF\xBF\xBD", false},  // a lone surrogate
        {u"\xDE00z", "\xEF\xBF\xBDz", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.units), c.utf8);
        if (c.roundTrips) {
            EXPECT_EQ(Utf8ToUtf16(c.utf8), c.units);
        }
    }
    // Bytes that start no well-formed character, overlong and surrogate forms.
    for (const std::string bad : {"\xFF", "\xC0\xAF", "\xED\xA0\x80", "\xE5\xB1", "\xF4\x90\x80\x80"}) {
        EXPECT_EQ(Utf8ToUtf16("a" + bad + "b").substr(0, 2), u"a\xFFFD") << test::Hex(bad);
        EXPECT_EQ(Utf8ToUtf16("a" + bad + "b").back(), u'b');
    }
}

}  // namespace
}  // namespace kartovo
