#include <clocale>
#include <cstdio>
#include <vector>

#include "Console.h"
#include "ConsoleHost.h"
#include "Stopping.h"

namespace {

kartovo::ConsoleHost::Io StandardIo() {
    return {
        [](std::string_view text) { kartovo::WriteText(stdout, text); },
        [](std::string_view text) { kartovo::WriteText(stderr, text); },
        [] { return kartovo::InputIsTerminal(); },
        [] { return kartovo::ReadInputLine(); },
    };
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    kartovo::LeaveNoWorkingFileWhenStopped();
    std::vector<std::filesystem::path::string_type> args(argv + 1, argv + argc);
    return kartovo::RunConverter(args, StandardIo());
}
#else
int main(int argc, char** argv) {
    // The system's error texts then come in the user's language.
    std::setlocale(LC_ALL, "");
    kartovo::LeaveNoWorkingFileWhenStopped();
    std::vector<std::filesystem::path::string_type> args(argv + 1, argv + argc);
    return kartovo::RunConverter(args, StandardIo());
}
#endif
