#include "Console.h"

#include "Cp932Encoder.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kartovo {

void WriteText(std::FILE* stream, std::string_view cp932) {
#ifdef _WIN32
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        std::wstring wide(cp932.size(), L'\0');
        const int count = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), wide.data(),
                                              static_cast<int>(wide.size()));
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(count > 0 ? count : 0), &written, nullptr);
        return;
    }
    std::fwrite(cp932.data(), 1, cp932.size(), stream);
#else
    const std::string utf8 = Cp932ToUtf8(cp932);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
#endif
    std::fflush(stream);
}

bool InputIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdin)) != 0;
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
