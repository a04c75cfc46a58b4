// The component reader on arbitrary values: the copying and the skipping
// paths must agree, and a value without quotes or backslashes must split
// exactly at its semicolons.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Components.h"
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
