#include "Cp932.h"

#include <cstdint>

#include "ByteSearch.h"

namespace kartovo {
namespace {

// Folds a double-byte character to its capital form where it has one.
std::uint16_t FoldWide(std::uint16_t c) {
    if (c >= 0x8281 && c <= 0x829A) return static_cast<std::uint16_t>(c - 0x21);  // ａ-ｚ
    if (c >= 0x83BF && c <= 0x83D6) return static_cast<std::uint16_t>(c - 0x20);  // α-ω
    // Cyrillic: 0x847F is no character, so the small letters sit one cell
    // further from their capitals after it.
    if (c >= 0x8470 && c <= 0x847E) return static_cast<std::uint16_t>(c - 0x30);
    if (c >= 0x8480 && c <= 0x8491) return static_cast<std::uint16_t>(c - 0x31);
    return c;
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 0x20) : c;
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    // Folding never changes a character's byte length.
    if (a.size() != b.size()) return false;
    // Keys nearly always come in the case they are looked up in.
    if (a == b) return true;
    std::size_t i = 0;
    // Keys are nearly always ASCII: compare those bytes without stepping.
    for (; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) >= 0x80) break;
        if (ca != cb && FoldAscii(ca) != FoldAscii(cb)) return false;
    }
    while (i < a.size()) {
        const std::size_t next = NextCharPos(a, i);
        if (NextCharPos(b, i) != next) return false;
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (next - i == 2) {
            const auto wa = static_cast<std::uint16_t>(ca << 8 | static_cast<unsigned char>(a[i + 1]));
            const auto wb = static_cast<std::uint16_t>(cb << 8 | static_cast<unsigned char>(b[i + 1]));
            if (wa != wb && FoldWide(wa) != FoldWide(wb)) return false;
        } else if (ca != cb && FoldAscii(ca) != FoldAscii(cb)) {
            return false;
        }
        i = next;
    }
    return true;
}

std::size_t FindOnBoundary(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
    // A match on a boundary is a match of the bytes, so a byte search finds
    // every candidate. Whether one starts a character is read backwards:
    // a byte that is no lead byte ends a character, so only the run of lead
    // bytes just before the candidate counts, back to the last start known.
    // Those pair up from its start, and an odd run puts the candidate inside
    // a pair, with the next character just after it.
    std::size_t known = from;
    for (std::size_t i = from;;) {
        const std::size_t candidate = FindText(text, needle, i);
        if (candidate == std::string_view::npos) return candidate;
        std::size_t runStart = candidate;
        while (runStart > known && IsCp932LeadByte(static_cast<unsigned char>(text[runStart - 1]))) --runStart;
        if ((candidate - runStart) % 2 == 0) return candidate;
        known = candidate + 1;
        i = known;
    }
}

void AssignReplaced(std::string& out, std::string_view text, std::string_view from, std::string_view to) {
    out.clear();
    std::size_t done = 0;
    if (!from.empty()) {
        for (std::size_t at; (at = FindOnBoundary(text, from, done)) != std::string_view::npos;) {
            out.append(text.substr(done, at - done));
            out.append(to);
            done = at + from.size();
        }
    }
    out.append(text.substr(done));
}

std::string FormatMessageText(std::string_view pattern, std::string_view first, std::string_view second) {
    const std::string_view args[2] = {first, second};
    std::string out;
    ForEachPatternPart(
        pattern, [&out](std::string_view text) { out.append(text); },
        [&out, &args](int n) { out.append(args[n]); });
    return out;
}

}  // namespace kartovo
