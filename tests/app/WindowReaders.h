#pragma once
// Small readers of window state shared by the window tests.

#include <windows.h>

#include <string>

namespace kartovo::test {

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A child's rectangle in its parent's client coordinates.
inline RECT RectInParent(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace kartovo::test
