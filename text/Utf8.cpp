#include "Utf8.h"

namespace kartovo {

bool DecodeUtf8(std::string_view bytes, std::u16string& units) {
    // Never more units than bytes: size once, write through a pointer.
    units.resize(bytes.size());
    char16_t* out = units.data();
    if (!DecodeUtf8(bytes, [&out](char16_t unit) { *out++ = unit; })) {
        units.clear();
        return false;
    }
    units.resize(static_cast<std::size_t>(out - units.data()));
    return true;
}

}  // namespace kartovo
