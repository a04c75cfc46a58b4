#include "ReplaceExtension.h"

namespace kartovo {

std::filesystem::path ReplaceExtension(const std::filesystem::path& path, std::string_view extension) {
    using String = std::filesystem::path::string_type;
    // Native strings are wide on Windows and UTF-8 elsewhere, so no
    // separator byte can hide inside a multi-byte character here.
    const String& native = path.native();
    String result;
    const std::size_t delimiter = native.find_last_of(String{'.', '\\', '/', ':'});
    if (delimiter != String::npos && native[delimiter] == '.') {
        result = native.substr(0, delimiter);
    } else {
        result = native;
    }
    result.append(extension.begin(), extension.end());
    return std::filesystem::path(result);
}

}  // namespace kartovo
