// Start-up: one main window, and the message loop until it is closed.

#include <windows.h>

#include "ErrorDisplay.h"
#include "Main.h"

namespace {

// The program honours a maximised or a minimised-without-activation start;
// every other show command gives the normal window.
int ShowState(int showCommand) {
    if (showCommand == SW_SHOWMAXIMIZED || showCommand == SW_SHOWMINNOACTIVE) return showCommand;
    return SW_SHOWNORMAL;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    try {
        kartovo::TForm1 form;
        form.Create();
        ShowWindow(form.Handle(), ShowState(showCommand));
        UpdateWindow(form.Handle());

        RunMessageLoop(form);
    } catch (...) {
        // Only start-up can fail here (the window could not be made).
        kartovo::ShowCurrentFailure();
    }
    return 0;
}
