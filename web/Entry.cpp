// The page's way into the core: the script of the page's worker calls these
// functions, and they call back into it for the source's bytes and to hand
// over the CSV.
#include <emscripten.h>

#include <string>

#include "Failure.h"
#include "FileAccess.h"
#include "PageConversion.h"
#include "ReplaceExtension.h"
#include "Texts.h"

namespace {

// The source as the worker reads it from the chosen file: up to `room` bytes
// into `into`, how many, 0 at its end, or -1 when the file cannot be read.
EM_JS(int, ReadSource, (char* into, std::size_t room), { return Module.readSource(into, room); });
// Why the last read failed, as UTF-8 into `into`.
EM_JS(void, ReadFailure, (char* into, std::size_t room), { stringToUTF8(Module.readFailure, into, room); });
EM_JS(void, TakeCsv, (const char* bytes, std::size_t size), { Module.takeCsv(bytes, size); });

// The page converts one file at a time, with one converter, as the window does.
kartovo::web::PageConversion conversion;
std::string message;
std::string csvName;
std::string lossReport;

}  // namespace

extern "C" {

// Converts the chosen file, named `sourceName` (UTF-8). Returns whether it
// succeeded; either way the message says what happened.
EMSCRIPTEN_KEEPALIVE int kartovo_convert(const char* sourceName) {
    const std::string name = sourceName;
    try {
        conversion.Run(
            [&name](char* into, std::size_t room) -> std::size_t {
                const int got = ReadSource(into, room);
                if (got >= 0) return static_cast<std::size_t>(got);
                std::string reason(1024, '\0');
                ReadFailure(reason.data(), reason.size());
                reason.resize(reason.find('\0'));
                throw kartovo::Failure(kartovo::texts::kCannotOpenFormat, {kartovo::NativeToCp932(name), name},
                                       {kartovo::NativeToCp932(reason), reason});
            },
            [](std::string_view bytes) { TakeCsv(bytes.data(), bytes.size()); });
        message = conversion.CountMessage();
        return 1;
    } catch (...) {
        message = kartovo::CurrentFailureText();
        return 0;
    }
}

EMSCRIPTEN_KEEPALIVE const char* kartovo_message() { return message.c_str(); }
// The last conversion's report of lost text, empty when nothing was lost.
EMSCRIPTEN_KEEPALIVE const char* kartovo_loss_report() {
    lossReport = conversion.LossMessage();
    return lossReport.c_str();
}

// What the preview needs of each line of the last CSV, the header first.
EMSCRIPTEN_KEEPALIVE int kartovo_row_count() { return static_cast<int>(conversion.RowLengths().size()); }
EMSCRIPTEN_KEEPALIVE const std::uint32_t* kartovo_row_lengths() { return conversion.RowLengths().data(); }
EMSCRIPTEN_KEEPALIVE const std::uint16_t* kartovo_marks() { return conversion.Marks().data(); }

// The CSV's name, made from the source's as the window makes it.
EMSCRIPTEN_KEEPALIVE const char* kartovo_csv_name(const char* sourceName) {
    csvName = kartovo::ReplaceExtension(sourceName, ".csv").native();
    return csvName.c_str();
}

}  // extern "C"
