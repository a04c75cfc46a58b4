#include "ByteSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kartovo {
namespace {

// The vector paths against the standard searches, with the byte sought
// at every place around the sixteen-byte steps, in texts of bytes above 0x7F
// too (a signed char compares unlike an unsigned one). The same test is
// built with the plain loop alone, so every path gives the same answers.
TEST(ByteSearch, AgreesWithTheStandardSearches) {
    struct Case {
        char filler, wanted;
    };
    const Case cases[] = {{'a', '\n'}, {'\x81', '\x82'}, {'\xff', '\0'}, {'\0', '\xff'}, {'\x80', '"'}};
    for (const Case& c : cases) {
        for (std::size_t length = 0; length <= 50; ++length) {
            for (std::size_t at = 0; at <= length; ++at) {  // at == length: absent
                std::string text(length, c.filler);
                if (at < length) text[at] = c.wanted;
                if (at + 17 < length) text[at + 17] = c.wanted;  // a later one must not win
                const std::string_view view = text;
                SCOPED_TRACE(testing::Message() << "length " << length << ", at " << at << ", byte "
                                                << static_cast<int>(static_cast<unsigned char>(c.wanted)));
                for (const std::size_t from : {std::size_t{0}, std::size_t{1}, std::size_t{16}, at, at + 1}) {
                    EXPECT_EQ(FindByte(view, c.wanted, from), view.find(c.wanted, from));
                }
                const char* end = text.data() + text.size();
                const std::size_t either = view.find_first_of(std::string{'\r', c.wanted});
                EXPECT_EQ(FindAnyOf(text.data(), end, '\r', c.wanted) - text.data(),
                          static_cast<std::ptrdiff_t>(either == std::string_view::npos ? length : either));
                const std::string needle{c.wanted, c.filler, c.filler};
                EXPECT_EQ(FindText(view, needle), view.find(needle));
            }
        }
    }
}

}  // namespace
}  // namespace kartovo
