#pragma once
// A fixed ASCII name that keys are compared with, ignoring the case of its
// letters. The converter compares the key of every line of the file with a
// few such names. A byte loop there costs a mispredicted branch on nearly
// every line; here the name's length is known to the compiler, and the
// compare is a few word loads, each folded by a mask, with no branch.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kartovo {

template <std::size_t N>
class AsciiName {
public:
    // From a literal of ASCII bytes.
    constexpr explicit AsciiName(const char (&name)[N + 1]) {
        for (std::size_t w = 0; w < kWords; ++w) {
            for (std::size_t b = 0; b < 8; ++b) {
                const std::size_t at = ByteAt(w, b);
                if (at >= N) continue;
                const auto c = static_cast<unsigned char>(name[at]);
                const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
                const std::uint64_t fold = letter ? 0x20 : 0;
                fold_[w] |= fold << (8 * b);
                want_[w] |= std::uint64_t{static_cast<unsigned char>(c | fold)} << (8 * b);
            }
        }
    }

    static constexpr std::size_t size() { return N; }

    // Whether the N bytes at `p` spell the name. A byte that matches a
    // letter with bit 0x20 set is that letter in either case; every other
    // byte must be the name's own, so "X-" never matches "X\r".
    bool At(const char* p) const {
        std::uint64_t differ = 0;
        for (std::size_t w = 0; w < kWords; ++w) differ |= (Word(p, w) | fold_[w]) ^ want_[w];
        return differ == 0;
    }

    bool Is(std::string_view key) const { return key.size() == N && At(key.data()); }

private:
    static_assert(std::endian::native == std::endian::little);
    static_assert(N > 0);
    // Names of eight bytes or more are read in whole words from the start,
    // the last one ending where the name ends and overlapping the one before;
    // one of four to seven bytes as one word of its first four bytes and its
    // last four; a shorter one byte by byte.
    static constexpr std::size_t kWords = N >= 8 ? (N + 7) / 8 : 1;

    // The name's byte that byte b of word w holds, or N for none.
    static constexpr std::size_t ByteAt(std::size_t w, std::size_t b) {
        if constexpr (N >= 8) {
            return (w + 1 < kWords ? 8 * w : N - 8) + b;
        } else if constexpr (N >= 4) {
            return b < 4 ? b : N - 8 + b;
        } else {
            return b < N ? b : N;
        }
    }

    static std::uint64_t Word(const char* p, std::size_t w) {
        if constexpr (N >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p + (w + 1 < kWords ? 8 * w : N - 8), sizeof word);
            return word;
        } else if constexpr (N >= 4) {
            std::uint32_t first, last;
            std::memcpy(&first, p, sizeof first);
            std::memcpy(&last, p + N - 4, sizeof last);
            return first | std::uint64_t{last} << 32;
        } else {
            std::uint64_t word = 0;
            for (std::size_t b = 0; b < N; ++b) word |= std::uint64_t{static_cast<unsigned char>(p[b])} << (8 * b);
            return word;
        }
    }

    std::uint64_t want_[kWords] = {};
    std::uint64_t fold_[kWords] = {};
};

template <std::size_t M>
AsciiName(const char (&)[M]) -> AsciiName<M - 1>;

}  // namespace kartovo
