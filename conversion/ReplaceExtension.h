#pragma once

#include <filesystem>
#include <string_view>

namespace kartovo {

// Replaces the extension of the last path element: the last "." after the
// last "\", "/" or ":" starts it; a name without one gets `extension`
// appended. A dot in a folder name never counts. `extension` is ASCII and
// begins with its dot.
std::filesystem::path ReplaceExtension(const std::filesystem::path& path, std::string_view extension);

}  // namespace kartovo
