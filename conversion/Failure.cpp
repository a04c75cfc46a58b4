#include "Failure.h"

#include "Cp932.h"
#include "Cp932Encoder.h"
#include "Texts.h"

#include <exception>

namespace kartovo {

Failure::Failure(std::string_view pattern, const MessageArgument& first, const MessageArgument& second) {
    const MessageArgument* args[2] = {&first, &second};
    ForEachPatternPart(
        pattern,
        [this](std::string_view text) {
            message_.append(text);
            shown_.append(Cp932ToUtf8(text));
        },
        [this, &args](int n) {
            message_.append(args[n]->cp932);
            shown_.append(args[n]->utf8);
        });
}

std::string Failure::ShownText() const { return shown_.empty() ? Cp932ToUtf8(message_) : shown_; }

std::string WithClosingPeriod(std::string_view text) {
    std::string out(text);
    if (text.empty()) return out;
    std::size_t last = 0;
    for (std::size_t i = 0; i < text.size(); i = NextCharPos(text, i)) last = i;
    const bool doubleByte = text.size() - last == 2;
    if (doubleByte || static_cast<unsigned char>(text[last]) > '.') out.push_back('.');
    return out;
}

std::string CurrentFailureText() {
    std::string message;
    std::string shown;
    try {
        // Outside a catch block there is nothing to rethrow, and the
        // catch-all below reports that as an empty message.
        if (std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
    } catch (const Failure& failure) {
        message = failure.Message();
        shown = failure.ShownText();
    } catch (const std::bad_alloc&) {
        message = texts::kOutOfMemory;
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
    }
    if (shown.empty()) shown = Cp932ToUtf8(message);
    // The period is decided on the CP932 form, whose characters stand one
    // for one for the shown text's.
    if (WithClosingPeriod(message).size() > message.size()) shown.push_back('.');
    return shown;
}

}  // namespace kartovo
