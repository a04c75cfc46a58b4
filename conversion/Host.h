#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace kartovo {

class LossReport;
struct RunNote;

enum class MessageKind { Error, Information, Confirmation, Warning };
enum class MessageButtons { Ok, YesNo };

// Result codes of the message box buttons.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;  // also the title-bar close and Alt+F4
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// All that a conversion run needs from whoever runs it: the window, the
// console converter or a test.
class Host {
public:
    virtual ~Host() = default;
    virtual bool SourceFieldEmpty() const = 0;
    virtual bool DestinationFieldEmpty() const = 0;
    virtual std::filesystem::path SourcePath() const = 0;
    virtual std::filesystem::path DestinationPath() const = 0;
    // Shows a modal message (CP932 text) and returns the result code.
    virtual int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) = 0;
    // Tells how a run that wrote its CSV ended: the count message (CP932
    // text), the notes on the file as a whole, and the contacts that lost
    // text, if any. With nothing to warn of, it is information.
    virtual void ShowConverted(std::string_view countMessage, const std::vector<RunNote>& notes,
                               const LossReport& lost) = 0;
};

}  // namespace kartovo
