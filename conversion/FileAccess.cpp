#include "FileAccess.h"

namespace kartovo {

std::string TrimErrorText(std::string text) {
    // None of these bytes can be the second byte of a CP932 character.
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.' && last != 0x7F) break;
        text.pop_back();
    }
    return text;
}

}  // namespace kartovo
