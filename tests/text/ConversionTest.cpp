#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "ByteSearch.h"
#include "Cp932.h"
#include "Cp932Encoder.h"
#include "TestSupport.h"
#include "Unicode.h"
#include "Utf8.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kartovo {
namespace {

using test::Bytes;
using test::Hex;

std::string Utf8Of(char16_t unit) {
    if (unit < 0x80) return std::string(1, static_cast<char>(unit));
    if (unit < 0x800) return Bytes({0xC0 | unit >> 6, 0x80 | (unit & 0x3F)});
    return Bytes({0xE0 | unit >> 12, 0x80 | (unit >> 6 & 0x3F), 0x80 | (unit & 0x3F)});
}

std::string Utf8Of(std::u16string_view units) {
    std::string out;
    for (char16_t unit : units) out += Utf8Of(unit);
    return out;
}

// What Windows makes of one unit, and of one or two bytes: asked of the
// system itself where there is one, read elsewhere from tests/data/cp932.txt,
// which the table generator writes from the same sweep in another form.
#ifdef _WIN32
class Cp932Reference {
public:
    std::string Encode(char16_t unit) const {
        const auto wide = static_cast<wchar_t>(unit);
        char bytes[4];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, 4, nullptr, &usedDefault);
        return usedDefault ? "?" : std::string(bytes, static_cast<std::size_t>(n > 0 ? n : 0));
    }
    std::u16string Decode(std::string_view bytes) const {
        wchar_t units[4];
        const int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), units, 4);
        return std::u16string(reinterpret_cast<const char16_t*>(units), static_cast<std::size_t>(n > 0 ? n : 0));
    }
};
#else
class Cp932Reference {
public:
    Cp932Reference() {
        std::ifstream in(KARTOVO_TEST_DATA "/cp932.txt");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string start, token;
            fields >> start;
            if (start.empty() || start[0] == '#') continue;
            if (start == "default") {
                fields >> token;
                default_ = static_cast<char16_t>(std::stoul(token, nullptr, 16));
                continue;
            }
            const bool pair = start.size() == 4;
            for (auto code = static_cast<unsigned>(std::stoul(start, nullptr, 16)); fields >> token; ++code) {
                const std::string bytes = pair ? Bytes({static_cast<int>(code >> 8), static_cast<int>(code & 0xFF)})
                                               : Bytes({static_cast<int>(code)});
                std::u16string& units = decode_[bytes];
                for (std::size_t at = 0; at + 4 <= token.size(); at += 5) {
                    units += static_cast<char16_t>(std::stoul(token.substr(at, 4), nullptr, 16));
                }
                if (pair) leads_.insert(bytes[0]);
                if (token.back() != '*') {
                    EXPECT_TRUE(encode_.emplace(units.at(0), bytes).second) << token;
                }
            }
        }
        EXPECT_NE(default_, 0) << "no reference in " KARTOVO_TEST_DATA;
    }
    std::string Encode(char16_t unit) const {
        const auto it = encode_.find(unit);
        return it == encode_.end() ? "?" : it->second;
    }
    std::u16string Decode(std::string_view bytes) const {
        if (bytes.size() == 2 && leads_.count(bytes[0]) != 0) {
            const auto it = decode_.find(std::string(bytes));
            return it == decode_.end() ? std::u16string(1, default_) : it->second;
        }
        std::u16string units;
        for (char byte : bytes) units += decode_.at(std::string(1, byte));
        return units;
    }

private:
    std::map<std::string, std::u16string> decode_;
    std::map<char16_t, std::string> encode_;
    std::set<char> leads_;
    char16_t default_ = 0;
};
#endif

// What differs in a sweep, with the first few for the message.
struct Differences {
    int count = 0;
    std::string first;
    void Add(const std::string& what) {
        if (count++ < 8) first += what + "; ";
    }
};

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
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), true, u"😀"},       // a four-byte form gives its surrogate pair
        {Bytes({0xF0, 0xA0, 0xAE, 0xB7, 0xE7, 0x94, 0xB0}), true, u"𠮷田"},
        {Bytes({0xF0, 0x8F, 0xBF, 0xBF}), true, u"\uFFFD"},  // overlong: no character beyond U+FFFF
        {Bytes({0xF4, 0x90, 0x80, 0x80}), true, u"\uFFFD"},  // beyond U+10FFFF
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
        EXPECT_EQ(test::DecodeUtf8(c.bytes, units), c.ok) << Hex(c.bytes);
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
        // Cells of their own in CP932, though no font draws them.
        {"\u0080", Bytes({0x80})},
        {"\uF8F0\uF8F1\uF8F2\uF8F3", Bytes({0xA0, 0xFD, 0xFE, 0xFF})},
        // No CP932 form: one "?" each, no look-alike.
        {"한", "?"},
        {"é", "?"},
        {"¥", "?"},
        {"‾", "?"},
        {"a😀b", "a?b"},
        {"𠮷田", Bytes({0x3F, 0x93, 0x63})},
        {Bytes({0xED, 0xA0, 0x80}), "?"},                      // a lone surrogate
        {Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}), "?"},    // a surrogate pair spelled in two forms
        {"山" + Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}) + "田", Bytes({0x8E, 0x52, 0x3F, 0x93, 0x63})},
        {Bytes({0xC0, 0x80}), std::string(1, '\0')},
        {Bytes({0xC1, 0x81}), "A"},
        {Bytes({0xE5, 0xB1}), ""},
        {"名前😀" + Bytes({0xE5}), ""},
    };
    Utf8ToCp932 convert;
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(convert(c.utf8)), Hex(c.cp932)) << c.utf8;
        // No source here holds a "?": each in the result is a loss.
        const Conversion expected = c.cp932.empty() && !c.utf8.empty() ? Conversion::Undecodable
                                    : c.cp932.find('?') != std::string::npos ? Conversion::Substituted
                                                                             : Conversion::Exact;
        std::string appended;
        EXPECT_EQ(convert.AppendTo(c.utf8, appended), expected) << c.utf8;
        // The loss report's conversion is the same, but for what stands in
        // each "?".
        std::string marked;
        const auto question = [](char32_t) { return std::string_view("?"); };
        EXPECT_EQ(Cp932Encoder().AppendUtf8(c.utf8, marked, question), expected) << c.utf8;
        EXPECT_EQ(Hex(marked), Hex(c.cp932)) << c.utf8;
    }
}

TEST(Cp932Encoder, WritesWhatWindowsWritesForTheWholeBmp) {
    const Cp932Reference reference;
    const Cp932Encoder encoder;
    std::vector<char16_t> fromWindows;
    Differences ways;
    for (char32_t code = 0; code <= 0xFFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        const auto unit = static_cast<char16_t>(code);
        std::string viaUnits, viaUtf8, marked;
        encoder.Append(std::u16string_view(&unit, 1), viaUnits);
        const Conversion conversion = encoder.AppendUtf8(Utf8Of(unit), viaUtf8);
        char32_t lost = 0;
        const Conversion marking =
            encoder.AppendUtf8(Utf8Of(unit), marked, [&lost](char32_t c) { return lost = c, std::string_view("?"); });
        if (viaUnits != reference.Encode(unit)) fromWindows.push_back(unit);
        const bool substituted = viaUnits == "?" && unit != u'?';
        const Conversion expected = substituted ? Conversion::Substituted : Conversion::Exact;
        if (viaUtf8 != viaUnits || marked != viaUnits || conversion != expected || marking != expected ||
            lost != (substituted ? code : 0)) {
            ways.Add(Hex(Utf8Of(unit)));
        }
    }
    // Only the JIS forms part from Windows (their bytes are checked above).
    EXPECT_EQ(fromWindows, (std::vector<char16_t>{0x00A2, 0x00A3, 0x00AC, 0x2014, 0x2016, 0x2212, 0x301C}));
    EXPECT_EQ(ways.count, 0) << "UTF-16, UTF-8 and the loss report's conversion differ for " << ways.first;
}

TEST(Cp932ToUtf16, ReadsEveryByteAndPairAsWindowsDoes) {
    const Cp932Reference reference;
    Differences differences;
    const auto check = [&](const std::string& bytes) {
        const std::u16string expected = reference.Decode(bytes);
        if (Cp932ToUtf16(bytes) != expected || Cp932ToUtf8(bytes) != Utf8Of(expected)) {
            differences.Add(Hex(bytes));
        }
    };
    for (int first = 0; first < 256; ++first) {
        check(Bytes({first}));
        for (int second = 0; second < 256; ++second) check(Bytes({first, second}));
        // Stepping by characters takes a lead byte with whatever follows it.
        const bool leads = reference.Decode(Bytes({first, 0x40})).size() == 1;
        if (IsCp932LeadByte(static_cast<unsigned char>(first)) != leads) differences.Add("lead " + Hex(Bytes({first})));
    }
    EXPECT_EQ(differences.count, 0) << differences.first;
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
    for (const char* text : {"", "abc", "山田　太郎", "〒123-4567", "ソ表①ｱ", "\u0080\uF8F0\uF8F3"}) {
        EXPECT_EQ(Cp932ToUtf8(convert(text)), text);
    }
    // Bad bytes within longer text, read as Windows reads them.
    struct Case {
        std::string cp932;
        std::string utf8;
    };
    const Case cases[] = {
        {Bytes({'a', 0x81}), "a・"},                          // a lead byte at the end
        {Bytes({0x81, ' ', 'b'}), "・b"},                      // a lead byte takes any second byte
        {Bytes({0x81, 0x00, 'b'}), "・" + Bytes({0x00}) + "b"},  // but a NUL
        {Bytes({0xEF, 0x40, 0x82, 0xA0}), "・あ"},              // no character, yet one pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8) << Hex(c.cp932);
    }
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

// Room for texts that end where an unreadable page begins, so that a scan
// reading one byte beyond its text fails at once.
class GuardedPage {
public:
    GuardedPage() {
#ifdef _WIN32
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        size_ = system.dwPageSize;
        base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD previous = 0;
        EXPECT_TRUE(base_ != nullptr && VirtualProtect(base_ + size_, size_, PAGE_NOACCESS, &previous));
#else
        size_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* pages = mmap(nullptr, 2 * size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = pages == MAP_FAILED ? nullptr : static_cast<char*>(pages);
        EXPECT_TRUE(base_ != nullptr && mprotect(base_ + size_, size_, PROT_NONE) == 0);
#endif
    }
    ~GuardedPage() {
#ifdef _WIN32
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, 2 * size_);
#endif
    }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;
    // A text of `length` bytes whose last byte is the last readable one.
    char* EndingAtTheGuard(std::size_t length) const { return base_ + size_ - length; }

private:
    char* base_ = nullptr;
    std::size_t size_ = 0;
};

// Every length up to three of the widest reads (16 bytes), and one byte
// above 0x7F at each place, in a text with such a byte just past its end and
// in one that ends at an unreadable page: the reads overlap at the end, a
// short text takes no wide read at all, and none looks beyond the text.
TEST(ByteScans, SeeTheFirstHighByteAnywhereAndNothingBeyond) {
    const GuardedPage guarded;
    std::string room(64, '\x80');
    for (std::size_t length = 0; length <= 48; ++length) {
        for (char* const text : {room.data(), guarded.EndingAtTheGuard(length)}) {
            const char* const end = text + length;
            std::fill_n(text, length, '\x7F');
            EXPECT_TRUE(IsAscii({text, length})) << length;
            EXPECT_EQ(FindAnyOf(text, end, '\n', '\x80'), end) << length;
            for (std::size_t at = 0; at < length; ++at) {
                text[at] = '\x80';
                EXPECT_FALSE(IsAscii({text, length})) << length << " " << at;
                EXPECT_EQ(FindAnyOf(text, end, '\x80') - text, static_cast<std::ptrdiff_t>(at)) << length;
                std::fill(text + at + 1, text + length, '\n');  // later hits do not count
                EXPECT_EQ(FindAnyOf(text, end, '\n', '\x80') - text, static_cast<std::ptrdiff_t>(at)) << length;
                EXPECT_EQ(FindAnyOf(text, end, '\x80', '\n') - text, static_cast<std::ptrdiff_t>(at)) << length;
                std::fill(text + at, text + length, '\x7F');
            }
        }
    }
}

}  // namespace
}  // namespace kartovo
