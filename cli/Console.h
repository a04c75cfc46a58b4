#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace kartovo {

// Writes CP932 texts to a console stream so that they read right: UTF-8 on
// Linux, UTF-16 through the console API on a Windows console, and the CP932
// bytes themselves when a Windows stream is redirected to a file.
void WriteText(std::FILE* stream, std::string_view cp932);

// Whether standard input is an interactive terminal.
bool InputIsTerminal();

// One line from standard input without its line break, or nothing at the end
// of input.
std::optional<std::string> ReadInputLine();

}  // namespace kartovo
