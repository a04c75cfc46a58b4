#include "Failure.h"

#include "Cp932.h"
#include "Texts.h"

namespace kartovo {

std::string WithClosingPeriod(std::string_view text) {
    std::string out(text);
    if (text.empty()) return out;
    std::size_t last = 0;
    for (std::size_t i = 0; i < text.size(); i = NextCharPos(text, i)) last = i;
    const bool doubleByte = text.size() - last == 2;
    if (doubleByte || static_cast<unsigned char>(text[last]) > '.') out.push_back('.');
    return out;
}

std::string CurrentFailureMessage() {
    try {
        throw;
    } catch (const Failure& failure) {
        return failure.Message();
    } catch (const std::bad_alloc&) {
        return std::string(texts::kOutOfMemory);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return {};
    }
}

}  // namespace kartovo
