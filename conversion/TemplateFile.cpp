#include "TemplateFile.h"

#include <string>

#include "FileAccess.h"

namespace kartovo {

Layout LoadTemplate(const std::filesystem::path& path) {
    SourceFile file(path);
    // One byte past the limit is enough to tell that it is too large.
    std::string bytes;
    char piece[64 << 10];
    while (bytes.size() <= kTemplateMaxBytes) {
        const std::size_t got = file.Read(piece, sizeof piece);
        if (got == 0) break;
        bytes.append(piece, got);
    }
    CheckTemplateSize(bytes.size());
    Layout layout = ReadTemplate(bytes);
    layout.title = "テンプレート「" + NativeToUtf8(path.filename().native()) + "」";
    return layout;
}

}  // namespace kartovo
