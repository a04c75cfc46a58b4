#include "Cp932.h"

#include <cstdint>

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
    for (std::size_t i = from; i < text.size(); i = NextCharPos(text, i)) {
        if (text[i] == needle[0] && text.compare(i, needle.size(), needle) == 0) return i;
    }
    return std::string_view::npos;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t done = 0;
    std::size_t i = 0;
    while (i < text.size() && !from.empty()) {
        if (text[i] == from[0] && text.compare(i, from.size(), from) == 0) {
            out.append(text.substr(done, i - done));
            out.append(to);
            i += from.size();
            done = i;
        } else {
            i = NextCharPos(text, i);
        }
    }
    out.append(text.substr(done));
    return out;
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
