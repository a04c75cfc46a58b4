// Extension replacement on arbitrary path bytes. The result is fully pinned
// down by: it is a prefix of the input plus ".csv"; what was cut off is
// either nothing or a "." with no ".", "\", "/" or ":" after it; and nothing
// is cut only when the last path element has no ".".

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "ReplaceExtension.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kExtension = ".csv";
    const std::string result = kartovo::ReplaceExtension(std::filesystem::path(input), kExtension).native();

    FUZZ_CHECK(result.size() >= kExtension.size());
    FUZZ_CHECK(std::string_view(result).substr(result.size() - kExtension.size()) == kExtension);
    const std::string_view kept = std::string_view(result).substr(0, result.size() - kExtension.size());
    FUZZ_CHECK(std::string_view(input).substr(0, kept.size()) == kept);

    const std::string_view removed = std::string_view(input).substr(kept.size());
    const std::size_t lastSeparator = input.find_last_of("\\/:");
    const std::size_t elementStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
    const bool elementHasDot = input.find('.', elementStart) != std::string::npos;
    if (removed.empty()) {
        FUZZ_CHECK(!elementHasDot);
    } else {
        FUZZ_CHECK(removed[0] == '.');
        FUZZ_CHECK(removed.find_first_of(".\\/:", 1) == std::string_view::npos);
    }
    return 0;
}
