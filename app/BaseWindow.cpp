#include "BaseWindow.h"

namespace kartovo::win {
namespace {

HICON LoadSharedIcon(const wchar_t* name, int sizeMetric) {
    const int size = GetSystemMetrics(sizeMetric);
    return static_cast<HICON>(LoadImageW(Instance(), name, IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace

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
