#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kartovo {

// What the command line asks of kartovo-convert.
struct Arguments {
    bool assumeYes = false;
    std::string layout;                 // a built-in layout's name; empty for the present one
    std::filesystem::path templateFile; // a user's form to fill in; empty for none
    std::vector<std::filesystem::path> paths;
};

// Reads the command line into `read`; returns the exit status when the run
// ends here: the usage or the layouts asked for, or a usage error. `out`
// and `err` take UTF-8 text.
std::optional<int> ReadArguments(const std::vector<std::filesystem::path::string_type>& args,
                                 const std::function<void(std::string_view)>& out,
                                 const std::function<void(std::string_view)>& err, Arguments& read);

}  // namespace kartovo
