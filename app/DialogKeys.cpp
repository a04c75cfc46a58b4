#include "DialogKeys.h"

namespace kartovo::win {
namespace {

LRESULT CALLBACK WithoutEscape(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool escape = (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) && wParam == VK_ESCAPE;
    if (escape) return 0;
    // Replaced once, right after the control was made: the class's own
    // procedure is the one this stands in front of.
    const auto own = reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC));
    return CallWindowProcW(own, window, message, wParam, lParam);
}

}  // namespace

bool DialogKeys::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focused = GetFocus();
                if (focused != nullptr && IsChild(window, focused)) focus_ = focused;
            } else if (HIWORD(wParam) == 0) {  // not minimized
                // The remembered control, unless it belonged to an earlier window of this object.
                const HWND target = IsChild(window, focus_) ? focus_ : GetNextDlgTabItem(window, nullptr, FALSE);
                if (target != nullptr) SetFocus(target);
            }
            return true;
        case WM_NEXTDLGCTL: {
            // wParam is the control itself when lParam's low word is set;
            // otherwise nonzero for the previous tab stop, zero for the next.
            const HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                                  : GetNextDlgTabItem(window, GetFocus(), wParam != 0 ? TRUE : FALSE);
            if (next != nullptr && IsChild(window, next)) SetFocus(next);
            return true;
        }
        default:
            return false;
    }
}

void KeepEscapeFrom(HWND multiLineEdit) {
    SetWindowLongPtrW(multiLineEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WithoutEscape));
}

}  // namespace kartovo::win
