#pragma once
// Dialog keys in a window that is no dialog. The message loops hand every
// message to IsDialogMessageW first, which gives Tab and Shift+Tab, the
// access keys, Enter (IDOK) and Escape (IDCANCEL) their meaning in a dialog.
// What that leaves to the window is here: moving the focus on
// WM_NEXTDLGCTL, which Tab and multi-line controls send; giving the focus
// back to the control that had it when the window is activated again; and
// keeping Escape from a multi-line edit, which would close the window.

#include <windows.h>

namespace kartovo::win {

class DialogKeys {
public:
    // The control that gets the focus when the window is first activated.
    void SetFocusTarget(HWND control) { focus_ = control; }

    // Answers WM_ACTIVATE and WM_NEXTDLGCTL for `window`, whose procedure
    // then returns 0; false for any other message.
    bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND focus_ = nullptr;
};

// A multi-line edit or rich edit that IsDialogMessageW has put into dialog
// mode posts WM_CLOSE to its parent on Escape; this one never sees Escape.
void KeepEscapeFrom(HWND multiLineEdit);

}  // namespace kartovo::win
