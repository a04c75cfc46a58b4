#pragma once

#include <windows.h>

#include <string_view>

namespace kartovo {

// Shows a failure that escaped a handler: the system's message box, caption
// "Kartovo", the stop icon and one OK button, owned by the active window and
// modal to the program. A closing period is added by the usual rule.
void ShowErrorDisplay(std::string_view cp932Message);

// For callbacks: shows the exception being handled. Call it only inside a
// catch block; it never throws.
void ShowCurrentFailure() noexcept;

}  // namespace kartovo
