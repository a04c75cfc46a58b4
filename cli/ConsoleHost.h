#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Host.h"
#include "LossReport.h"

namespace kartovo {

// The conversion run's outside world for kartovo-convert: paths from the
// command line, messages on the console, the overwrite question on the
// terminal.
class ConsoleHost : public Host {
public:
    struct Io {
        std::function<void(std::string_view)> out;  // UTF-8 text for standard output
        std::function<void(std::string_view)> err;  // UTF-8 text for standard error
        std::function<bool()> inputIsTerminal;
        std::function<std::optional<std::string>()> readLine;
    };

    ConsoleHost(std::filesystem::path source, std::filesystem::path destination, bool assumeYes, Io io);

    bool SourceFieldEmpty() const override { return source_.empty(); }
    bool DestinationFieldEmpty() const override { return destination_.empty(); }
    std::filesystem::path SourcePath() const override { return source_; }
    std::filesystem::path DestinationPath() const override { return destination_; }
    int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) override;
    // The count on standard output, as ever, with the notes on the file;
    // then, on standard error, which the CSV does not mix with, the
    // heading that counts the contacts that lost text, below their lines.
    void ShowConverted(std::string_view countMessage, const std::vector<RunNote>& notes,
                       const LossReport& lost) override;
    // From now on, writes a line on standard error for each contact that
    // lost text, as `lost` finds it: the console keeps none of them.
    void ListLosses(LossReport& lost);

    // False once the run stopped short: an error shown or the overwrite refused.
    bool Succeeded() const { return succeeded_; }

private:
    void AddLossLine(const LostContactView& contact);
    void FlushLossLines();

    std::filesystem::path source_;
    std::filesystem::path destination_;
    bool assumeYes_;
    Io io_;
    bool succeeded_ = true;
    // Lines are written a block at a time: one write a line would cost a
    // system call for each of a million contacts.
    std::string lossLines_;
};

// The whole converter: parses the arguments, runs the conversion, returns the
// exit status (0 converted, 1 failed or stopped, 2 usage error).
int RunConverter(const std::vector<std::filesystem::path::string_type>& args, const ConsoleHost::Io& io);

}  // namespace kartovo
