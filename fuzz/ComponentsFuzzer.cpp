// The component reader on arbitrary values: the copying and the skipping
// paths must agree, a value with backslashes but no quotes must split where
// a plain walk by characters does, and one with neither exactly at its
// semicolons.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Components.h"
#include "Cp932.h"
#include "FuzzCheck.h"
#include "StringList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    kartovo::StringList components;
    kartovo::SplitComponents(input, components);
    const int count = components.Count();

    // ComponentAt skips without copying; both must see the same boundaries.
    std::size_t total = 0;
    for (int n = 1; n <= count; ++n) {
        FUZZ_CHECK(kartovo::ComponentAt(input, n) == components.At(n - 1));
        total += components.At(n - 1).size();
    }
    FUZZ_CHECK(kartovo::ComponentAt(input, count + 1).empty());
    FUZZ_CHECK(kartovo::ComponentAt(input, 0).empty());
    FUZZ_CHECK(kartovo::ComponentAt(input, -1).empty());

    // Components are pieces of the value, quotes taken off: never more bytes.
    const std::string_view value = input.substr(0, input.find('\0'));
    FUZZ_CHECK(total <= value.size());
    FUZZ_CHECK((count == 0) == value.empty());

    // Without quotes but with a backslash, the components are what a walk by
    // whole characters cuts at each semicolon it meets, a backslash taking
    // the next character.
    if (value.find('"') == std::string_view::npos && value.find('\\') != std::string_view::npos) {
        int n = 0;
        std::size_t start = 0;
        std::size_t i = 0;
        for (;;) {
            if (i < value.size() && value[i] != ';') {
                if (value[i] == '\\' && i + 1 < value.size()) ++i;
                i = kartovo::NextCharPos(value, i);
                continue;
            }
            FUZZ_CHECK(n < count && components.At(n) == kartovo::UnescapeText(value.substr(start, i - start)));
            ++n;
            if (i >= value.size()) break;
            start = ++i;
        }
        FUZZ_CHECK(count == n);
    }

    if (!value.empty() && value.find_first_of("\"\\") == std::string_view::npos) {
        int n = 0;
        std::size_t start = 0;
        for (;;) {
            const std::size_t semicolon = value.find(';', start);
            FUZZ_CHECK(n < count && components.At(n) == value.substr(start, semicolon - start));
            ++n;
            if (semicolon == std::string_view::npos) break;
            start = semicolon + 1;
        }
        FUZZ_CHECK(count == n);
    }
    return 0;
}
