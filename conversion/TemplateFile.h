#pragma once

#include <filesystem>

#include "CsvLayout.h"

namespace kartovo {

// Reads a user's template from its file, named in its title as the run's
// message names it. Fails as ReadTemplate does, and with the file's own
// message where it cannot be read.
Layout LoadTemplate(const std::filesystem::path& path);

}  // namespace kartovo
