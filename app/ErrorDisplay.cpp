#include "ErrorDisplay.h"

#include <string>

#include "Failure.h"
#include "WideText.h"

namespace kartovo {

void ShowErrorDisplay(std::wstring_view text) {
    // A button or drag that held the mouse would otherwise keep it while
    // the box is up.
    if (GetCapture() != nullptr) ReleaseCapture();
    const std::wstring terminated(text);
    MessageBoxW(GetActiveWindow(), terminated.c_str(), L"Kartovo", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void ShowCurrentFailure() noexcept {
    try {
        ShowErrorDisplay(win::Utf8ToWide(CurrentFailureText()));
    } catch (...) {
        // Nothing is left to show it with (no memory for the text): the
        // program goes on without the box rather than ending.
    }
}

}  // namespace kartovo
