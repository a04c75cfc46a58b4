#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FileAccess.h"
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
    // The count on standard output, as ever; the contacts that lost text,
    // every one of them, on standard error, which the CSV does not mix with.
    void ShowConverted(std::string_view countMessage, const LossReport& lost) override;
    // Takes each contact that lost text as `lost` finds it: a line of text
    // is all the console keeps of it.
    void ListLosses(LossReport& lost);

    // False once the run stopped short: an error shown or the overwrite refused.
    bool Succeeded() const { return succeeded_; }

private:
    // The contact's line into the block; the block, or a line longer than
    // it, to the scratch file.
    void HoldLine(const LostContactView& contact);
    void Hold();
    void Hold(std::string_view lines);

    std::filesystem::path source_;
    std::filesystem::path destination_;
    bool assumeYes_;
    Io io_;
    bool succeeded_ = true;

    // The lines of the contacts that lost text wait for the heading, which
    // gives their count: in a block of 60 KB, and the blocks before it in a
    // scratch file, so that a file in which every contact lost text takes
    // no more memory than one in which one did. They are held in memory
    // only from where no scratch file could be made or written.
    static constexpr std::size_t kHeldBlockSize = 60 << 10;
    std::unique_ptr<char[]> block_;
    std::size_t blockUsed_ = 0;
    ScratchFile heldFile_;
    bool heldFileTried_ = false;
    std::vector<std::string> heldBlocks_;
};

// The whole converter: parses the arguments, runs the conversion, returns the
// exit status (0 converted, 1 failed or stopped, 2 usage error).
int RunConverter(const std::vector<std::filesystem::path::string_type>& args, const ConsoleHost::Io& io);

}  // namespace kartovo
