#include "WideText.h"

#include "Cp932Decoder.h"
#include "Unicode.h"

namespace kartovo::win {
namespace {

// wchar_t is UTF-16 on Windows.
std::wstring ToWide(std::u16string_view units) { return std::wstring(units.begin(), units.end()); }

}  // namespace

std::wstring Cp932ToWide(std::string_view cp932) { return ToWide(Cp932ToUtf16(cp932)); }
std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(Utf8ToUtf16(utf8)); }

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace kartovo::win
