#pragma once
// The program's own message box. MessageBoxW would label its buttons in the
// language Windows is set to; this one reads the same Japanese everywhere.

#include <windows.h>

#include <string_view>

#include "Host.h"

namespace kartovo {

// Shows the program's own modal message box and returns the result code:
// kResultOk, kResultYes or kResultNo for the button chosen (Enter chooses
// the focused button, at first "OK" if there is one, else "はい"; Escape
// chooses "いいえ" if there is one, else "OK"), and kResultCancel for the
// title-bar close button, Alt+F4, a WM_QUIT (posted again afterwards) or a
// box that could not be created. The other visible windows of this thread
// are disabled while it is shown. `owner` may be nullptr. Ctrl+C copies the
// caption, the text and the buttons, laid out as Windows' own message boxes
// copy theirs, so that what a box says can be pasted elsewhere.
int ShowMessageBox(HWND owner, MessageKind kind, std::string_view cp932Text, MessageButtons buttons);
// The same for a text that CP932 cannot hold: the names in the loss report
// keep their own characters.
int ShowMessageBox(HWND owner, MessageKind kind, std::wstring_view text, MessageButtons buttons);

// How tests and tools recognise the box and its parts. Each button's
// control ID is its result code.
inline constexpr wchar_t kMessageBoxClass[] = L"KartovoMessageBox";
inline constexpr int kMessageBoxIconId = 100;
inline constexpr int kMessageBoxTextId = 101;

}  // namespace kartovo
