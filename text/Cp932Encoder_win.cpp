#include "Cp932Encoder.h"

#include <windows.h>

#include "Utf8.h"

#include <algorithm>

namespace kartovo {

struct Cp932Encoder::Platform {};

Cp932Encoder::Cp932Encoder() = default;
Cp932Encoder::~Cp932Encoder() = default;

void Cp932Encoder::Append(std::u16string_view units, std::string& out) {
    prepared_.clear();
    bool ascii = true;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            // A surrogate pair is one character without a CP932 form.
            if (unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) ++i;
            unit = u'?';
        }
        if (unit >= 0x80) ascii = false;
        prepared_.push_back(MapJisFormToCp932Form(unit));
    }
    if (ascii) {
        for (char16_t unit : prepared_) out.push_back(static_cast<char>(unit));
        return;
    }
    // The API counts in int; no surrogates remain, so any cut is safe.
    constexpr std::size_t kChunk = std::size_t{1} << 28;
    for (std::size_t done = 0; done < prepared_.size(); done += kChunk) {
        const std::size_t count = std::min(kChunk, prepared_.size() - done);
        const auto* wide = reinterpret_cast<const wchar_t*>(prepared_.data() + done);
        const std::size_t start = out.size();
        out.resize(start + count * 2);
        const int written = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(count),
                                                out.data() + start, static_cast<int>(count * 2), nullptr, nullptr);
        out.resize(start + static_cast<std::size_t>(written > 0 ? written : 0));
    }
}

bool Cp932Encoder::AppendUtf8(std::string_view utf8, std::string& out) {
    if (!DecodeUtf8(utf8, units_)) return false;
    Append(units_, out);
    return true;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    if (cp932.empty()) return {};
    const int count = static_cast<int>(cp932.size());
    std::wstring wide(cp932.size(), L'\0');
    const int wideCount = MultiByteToWideChar(932, 0, cp932.data(), count, wide.data(), count);
    std::string out(static_cast<std::size_t>(wideCount) * 3, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideCount, out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}

}  // namespace kartovo
