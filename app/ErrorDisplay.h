#pragma once

#include <windows.h>

#include <string_view>

namespace kartovo {

// Shows a failure that escaped a handler: the system's message box, caption
// "Kartovo", the stop icon and one OK button, owned by the active window and
// modal to the program. `text` is shown as it stands.
void ShowErrorDisplay(std::wstring_view text);

// For callbacks: shows the exception being handled, with the closing period
// and any path in its own characters. Call it only inside a catch block; it
// never throws.
void ShowCurrentFailure() noexcept;

}  // namespace kartovo
