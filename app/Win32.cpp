#include "Win32.h"

#include "Cp932Decoder.h"
#include "Unicode.h"

namespace kartovo::win {
namespace {

// wchar_t is UTF-16 on Windows.
std::wstring ToWide(std::u16string_view units) { return std::wstring(units.begin(), units.end()); }

HICON LoadSharedIcon(const wchar_t* name, int sizeMetric) {
    const int size = GetSystemMetrics(sizeMetric);
    return static_cast<HICON>(LoadImageW(Instance(), name, IMAGE_ICON, size, size, LR_SHARED));
}

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

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background, const wchar_t* icon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(Instance(), name, &windowClass)) return;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Instance();
    if (icon != nullptr) {
        windowClass.hIcon = LoadSharedIcon(icon, SM_CXICON);
        windowClass.hIconSm = LoadSharedIcon(icon, SM_CXSMICON);
    }
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("RegisterClassExW failed");
    }
}

}  // namespace kartovo::win
