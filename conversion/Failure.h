#pragma once

#include <exception>
#include <new>
#include <string>
#include <string_view>

namespace kartovo {

// A failure that ends a run. Its message is CP932 text, shown to the user as
// it stands (by the error display, or on the console).
class Failure : public std::exception {
public:
    explicit Failure(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// The error display's closing period: added unless the text is empty or ends
// in a single-byte character 0x00-0x2E (a control, the space, or one of
// !"#$%&'()*+,-. ), so "(-1)" and a text ending in a blank get none. A
// double-byte character counts as greater, so "。" is followed by one.
std::string WithClosingPeriod(std::string_view text);

// The message of the exception being handled, as CP932 text; call it only
// inside a catch block. Failures give their own message, memory exhaustion a
// Japanese one, and anything else its what() text.
std::string CurrentFailureMessage();

}  // namespace kartovo
