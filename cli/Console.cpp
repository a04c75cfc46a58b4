#include "Console.h"

#include <vector>

#include "Cp932.h"
#include "Cp932Encoder.h"
#include "LossReport.h"
#include "Unicode.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kartovo {

#ifdef _WIN32
namespace {

// What stands for a character without a CP932 form until its code is
// written: a pair on a lead byte to which CP932 assigns nothing.
constexpr char kLostMark[] = {static_cast<char>(kUnassignedLeadBytes[0]), '@'};

// CP932 for a stream redirected to a file, with each character that has no
// CP932 form written as its code: "?" would hide the very characters the
// list of lost text is there to name.
std::string Cp932ShowingCodes(std::string_view utf8) {
    std::vector<char32_t> lost;
    const Cp932Encoder::Marker mark = [&lost](char32_t c) {
        lost.push_back(c);
        return std::string_view(kLostMark, sizeof kLostMark);
    };
    std::string cp932;
    if (Utf8ToCp932().AppendTo(utf8, cp932, &mark) != Conversion::Substituted) return cp932;
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < cp932.size();) {
        const std::size_t end = NextCharPos(cp932, i);
        if (cp932.compare(i, end - i, kLostMark, sizeof kLostMark) == 0 && next < lost.size()) {
            AppendCodePoint(lost[next++], out);
        } else {
            out.append(cp932, i, end - i);
        }
        i = end;
    }
    return out;
}

}  // namespace
#endif

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
    const std::string cp932 = Cp932ShowingCodes(utf8);
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
