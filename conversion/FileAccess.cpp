#include "FileAccess.h"

#include <atomic>
#include <chrono>
#include <cstdint>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kartovo {

std::filesystem::path::string_type WorkingFileName() {
    // The process id and the clock part processes; the counter parts calls.
    static std::atomic<std::uint32_t> calls{0};
#ifdef _WIN32
    const auto process = static_cast<std::uint64_t>(_getpid());
    const std::filesystem::path::string_type prefix = L"~kartovo-";
#else
    const auto process = static_cast<std::uint64_t>(::getpid());
    const std::filesystem::path::string_type prefix = ".kartovo-";  // hidden, as work files are
#endif
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t mixed = (process << 32) ^ ticks ^ (std::uint64_t{calls++} * 0x9E3779B97F4A7C15ULL);
    mixed ^= mixed >> 29;
    mixed *= 0xBF58476D1CE4E5B9ULL;
    mixed ^= mixed >> 32;
    std::filesystem::path::string_type name = prefix;
    for (int shift = 28; shift >= 0; shift -= 4) name.push_back("0123456789abcdef"[(mixed >> shift) & 0xF]);
    for (char c : std::string_view(".tmp")) name.push_back(static_cast<std::filesystem::path::value_type>(c));
    return name;
}

std::string TrimErrorText(std::string text) {
    // None of these bytes can be the second byte of a CP932 character.
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.' && last != 0x7F) break;
        text.pop_back();
    }
    return text;
}

}  // namespace kartovo
