#pragma once

#include <exception>
#include <new>
#include <string>
#include <string_view>

namespace kartovo {

// A text that goes into a message in two forms: CP932, as the conversion
// keeps every text, and UTF-8, which keeps characters CP932 lacks (a path's,
// say) for the screen and the console.
struct MessageArgument {
    std::string cp932;
    std::string utf8;
};

// A failure that ends a run. Its message is CP932 text; what the user is
// shown is the same text in UTF-8, where a path keeps its own characters.
class Failure : public std::exception {
public:
    explicit Failure(std::string message) : message_(std::move(message)) {}
    // Fills the placeholders of a CP932 pattern with the arguments, in both forms.
    Failure(std::string_view pattern, const MessageArgument& first, const MessageArgument& second);

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }
    // The message as UTF-8 text, for the screen.
    std::string ShownText() const;

private:
    std::string message_;
    std::string shown_;  // empty: the message decoded
};

// The error display's closing period: added unless the text is empty or ends
// in a single-byte character 0x00-0x2E (a control, the space, or one of
// !"#$%&'()*+,-. ), so "(-1)" and a text ending in a blank get none. A
// double-byte character counts as greater, so "。" is followed by one.
std::string WithClosingPeriod(std::string_view text);

// What the user is shown for the exception being handled, as UTF-8 text
// with the closing period; call it only inside a catch block. Failures give
// their own message, memory exhaustion a Japanese one, and anything else its
// what() text.
std::string CurrentFailureText();

}  // namespace kartovo
