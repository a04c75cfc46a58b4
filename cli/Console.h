#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace kartovo {

// Writes UTF-8 text to a console stream so that it reads right: as it is on
// Linux, UTF-16 through the console API on a Windows console, and CP932
// bytes when a Windows stream is redirected to a file, where a character
// without a CP932 form is written as its code ("U+20BB7").
void WriteText(std::FILE* stream, std::string_view utf8);

// Whether standard input is an interactive terminal.
bool InputIsTerminal();

// One line from standard input without its line break, or nothing at the end
// of input.
std::optional<std::string> ReadInputLine();

}  // namespace kartovo
