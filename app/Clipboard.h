#pragma once

#include <windows.h>

#include <string_view>

namespace kartovo {

// Puts `text` on the clipboard as Unicode text, in place of whatever was
// there. False when the clipboard could not be had (another program holds
// it open) or memory ran out; the clipboard is then left as it was.
bool CopyToClipboard(HWND owner, std::wstring_view text);

}  // namespace kartovo
