// The page's way into the core: the script of the page's worker calls these
// functions, and they call back into it for the source's bytes and to hand
// over the CSV.
#include <emscripten.h>

#include <cstdint>
#include <string>

#include "CsvLayout.h"
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
std::string layoutTitle;
std::string templateBytes;  // copied in by the worker

// "ファイル … は開けません。 …", with the reason the worker gave.
kartovo::Failure CannotOpen(const std::string& name) {
    std::string reason(1024, '\0');
    ReadFailure(reason.data(), reason.size());
    reason.resize(reason.find('\0'));
    return kartovo::Failure(kartovo::texts::kCannotOpenFormat, {kartovo::NativeToCp932(name), name},
                            {kartovo::NativeToCp932(reason), reason});
}

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
                if (got < 0) throw CannotOpen(name);
                return static_cast<std::size_t>(got);
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

// What the preview needs of each row of the last CSV, the head rows first.
EMSCRIPTEN_KEEPALIVE int kartovo_row_count() { return static_cast<int>(conversion.RowLengths().size()); }
EMSCRIPTEN_KEEPALIVE const std::uint32_t* kartovo_row_lengths() { return conversion.RowLengths().data(); }
EMSCRIPTEN_KEEPALIVE const std::uint32_t* kartovo_marks() { return conversion.Marks().data(); }
EMSCRIPTEN_KEEPALIVE int kartovo_head_rows() { return static_cast<int>(conversion.HeadRows()); }
EMSCRIPTEN_KEEPALIVE int kartovo_header_row() { return static_cast<int>(conversion.HeaderRow()); }
// How the CSV's text is to be read: 0 code page 932, 1 UTF-8, 2 UTF-8 with a byte-order mark.
EMSCRIPTEN_KEEPALIVE int kartovo_encoding() { return static_cast<int>(conversion.CurrentLayout().encoding); }

// The CSV's name, made from the source's as the window makes it.
EMSCRIPTEN_KEEPALIVE const char* kartovo_csv_name(const char* sourceName) {
    csvName = kartovo::ReplaceExtension(sourceName, ".csv").native();
    return csvName.c_str();
}

// The built-in layouts to choose from, the present one first: each one's
// name, and its title with the year its form is known from, as the console
// converter lists them.
EMSCRIPTEN_KEEPALIVE int kartovo_layout_count() { return static_cast<int>(kartovo::BuiltInLayouts().size()); }
EMSCRIPTEN_KEEPALIVE const char* kartovo_layout_name(int i) {
    return kartovo::BuiltInLayouts()[static_cast<std::size_t>(i)].name.c_str();
}
EMSCRIPTEN_KEEPALIVE const char* kartovo_layout_title(int i) {
    const kartovo::Layout& layout = kartovo::BuiltInLayouts()[static_cast<std::size_t>(i)];
    layoutTitle = layout.title + (layout.yearKnown.empty() ? "" : "（" + layout.yearKnown + "年の様式）");
    return layoutTitle.c_str();
}

// Chooses the built-in layout `name` for the next runs; 0 for a name not known.
EMSCRIPTEN_KEEPALIVE int kartovo_use_layout(const char* name) {
    const kartovo::Layout* layout = kartovo::FindLayout(name);
    if (layout != nullptr) conversion.UseLayout(*layout);
    return layout != nullptr ? 1 : 0;
}

// Room for a template of `size` bytes, for the worker to copy it into before
// kartovo_use_template; null, with the message, for one too large, which
// the worker then never reads.
EMSCRIPTEN_KEEPALIVE char* kartovo_template_room(double size) {
    try {
        kartovo::CheckTemplateSize(size < 0 ? 0 : static_cast<std::uintmax_t>(size));
        templateBytes.assign(static_cast<std::size_t>(size), '\0');
        return templateBytes.data();
    } catch (...) {
        message = kartovo::CurrentFailureText();
        return nullptr;
    }
}

// Reads the template in its room, named `fileName` (UTF-8), as the layout of
// the next runs. Returns whether it could; if not, the message says why and
// the layout stays as it was.
EMSCRIPTEN_KEEPALIVE int kartovo_use_template(const char* fileName) {
    try {
        kartovo::Layout layout = kartovo::ReadTemplate(templateBytes);
        layout.title = "テンプレート「" + std::string(fileName) + "」";  // as the console converter names it
        conversion.UseLayout(layout);
        std::string().swap(templateBytes);
        return 1;
    } catch (...) {
        std::string().swap(templateBytes);
        message = kartovo::CurrentFailureText();
        return 0;
    }
}

// The template could not be read: the message says so, with the reason the
// worker gave.
EMSCRIPTEN_KEEPALIVE void kartovo_template_unreadable(const char* fileName) {
    try {
        throw CannotOpen(fileName);
    } catch (...) {
        message = kartovo::CurrentFailureText();
    }
}

}  // extern "C"
