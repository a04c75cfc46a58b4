#pragma once
// Text for the wide API. Every text the window shows goes through it,
// converted with code page 932 named explicitly, so it reads right on a
// Windows set to any language.

#include <windows.h>

#include <string>
#include <string_view>

namespace kartovo::win {

std::wstring Cp932ToWide(std::string_view cp932);
std::wstring Utf8ToWide(std::string_view utf8);

// The text of a window, whole.
std::wstring WindowText(HWND window);

}  // namespace kartovo::win
