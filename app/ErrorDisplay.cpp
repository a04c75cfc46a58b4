#include "ErrorDisplay.h"

#include "Failure.h"
#include "Win32.h"

namespace kartovo {

void ShowErrorDisplay(std::string_view cp932Message) {
    // A button or drag that held the mouse would otherwise keep it while
    // the box is up.
    if (GetCapture() != nullptr) ReleaseCapture();
    const std::wstring text = win::Cp932ToWide(WithClosingPeriod(cp932Message));
    MessageBoxW(GetActiveWindow(), text.c_str(), L"Kartovo", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void ShowCurrentFailure() noexcept {
    try {
        ShowErrorDisplay(CurrentFailureMessage());
    } catch (...) {
        // Nothing is left to show it with (no memory for the text): the
        // program goes on without the box rather than ending.
    }
}

}  // namespace kartovo
