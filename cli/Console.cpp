#include "Console.h"

#include "Cp932Encoder.h"
#include "Unicode.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kartovo {

void WriteText(std::FILE* stream, std::string_view utf8) {
#ifdef _WIN32
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        const std::u16string wide = Utf8ToUtf16(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const std::string cp932 = Utf8ToCp932()(utf8);
    std::fwrite(cp932.data(), 1, cp932.size(), stream);
#else
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
#endif
    std::fflush(stream);
}

bool InputIsTerminal() {
#ifdef _WIN32
    // Not _isatty, which also says yes for NUL and every other character
    // device: only a console has someone at it to answer.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

std::optional<std::string> ReadInputLine() {
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(stdin)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace kartovo
