#pragma once
// Where the parts of the program's message box go: measured in the box's
// font, with margins in dialog units so that they grow with the font and
// the screen's DPI as a dialog's do.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "Handles.h"

namespace kartovo {

// In client coordinates of the box.
struct MessageBoxLayout {
    std::wstring text;  // with any line breaks added
    RECT icon;
    RECT textRect;
    std::vector<RECT> buttons;
    SIZE client;
};

// The system's message font (or the GUI font where it cannot be had).
win::Font MessageFont();

// The text wrapped at word boundaries within `maxTextWidth`, the icon left
// of it and a centred row of `captions.size()` buttons of equal width below.
MessageBoxLayout LayOutMessageBox(HFONT font, std::wstring_view text, const std::vector<const wchar_t*>& captions,
                                  int maxTextWidth);

}  // namespace kartovo
