#include "ConsoleHost.h"

#include "Arguments.h"
#include "TemplateFile.h"

#include <algorithm>
#include <utility>

#include "Converter.h"
#include "Cp932Encoder.h"
#include "Failure.h"
#include "FileAccess.h"
#include "LossReport.h"
#include "ReplaceExtension.h"
#include "Texts.h"

namespace kartovo {
namespace {

constexpr std::size_t kLossBlockSize = 64 << 10;

}  // namespace

ConsoleHost::ConsoleHost(std::filesystem::path source, std::filesystem::path destination, bool assumeYes, Io io)
    : source_(std::move(source)), destination_(std::move(destination)), assumeYes_(assumeYes), io_(std::move(io)) {}

int ConsoleHost::ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) {
    switch (kind) {
        case MessageKind::Error:
            succeeded_ = false;
            io_.err(Cp932ToUtf8(text) + "\n");
            return kResultOk;
        case MessageKind::Information:
            io_.out(Cp932ToUtf8(text) + "\n");
            return kResultOk;
        case MessageKind::Warning:
            io_.err(Cp932ToUtf8(text) + "\n");
            return kResultOk;
        case MessageKind::Confirmation:
            break;
    }
    if (buttons != MessageButtons::YesNo) return kResultOk;
    if (assumeYes_) return kResultYes;
    int answer = kResultNo;
    if (io_.inputIsTerminal()) {
        io_.err(Cp932ToUtf8(text) + " [y/N] ");
        const std::optional<std::string> line = io_.readLine();
        if (!line) io_.err("\n");
        if (line && (*line == "y" || *line == "Y")) answer = kResultYes;
    }
    if (answer != kResultYes) succeeded_ = false;
    return answer;
}

void ConsoleHost::ShowConverted(std::string_view countMessage, const std::vector<RunNote>& notes,
                                const LossReport& lost) {
    io_.out(Cp932ToUtf8(countMessage) + "\n");
    for (const RunNote& note : notes) (note.warns ? io_.err : io_.out)(note.text + "\n");
    FlushLossLines();
    if (lost.Count() != 0) io_.err(LossHeadings(lost) + "\n");
}

void ConsoleHost::ListLosses(LossReport& lost) {
    lost.KeepAtMost(0);
    lost.HandEachTo([this](const LostContactView& contact) { AddLossLine(contact); });
}

void ConsoleHost::AddLossLine(const LostContactView& contact) {
    AppendLossLine(contact, lossLines_);
    lossLines_ += '\n';
    if (lossLines_.size() >= kLossBlockSize) FlushLossLines();
}

void ConsoleHost::FlushLossLines() {
    if (lossLines_.empty()) return;
    io_.err(lossLines_);
    lossLines_.clear();
}

int RunConverter(const std::vector<std::filesystem::path::string_type>& args, const ConsoleHost::Io& io) {
    Arguments read;
    if (const std::optional<int> status = ReadArguments(args, io.out, io.err, read)) return *status;
    const std::vector<std::filesystem::path>& paths = read.paths;
    // An empty SOURCE stays empty, so the run reports the missing file itself.
    std::filesystem::path destination =
        paths.size() == 2 ? paths[1] : (paths[0].empty() ? paths[0] : ReplaceExtension(paths[0], ".csv"));

    ConsoleHost host(paths[0], std::move(destination), read.assumeYes, io);
    Converter converter(host);
    host.ListLosses(converter.Lost);
    try {
        if (!read.layout.empty()) converter.UseLayout(*FindLayout(read.layout));
        if (!read.templateFile.empty()) converter.UseLayout(LoadTemplate(read.templateFile));
        converter.mainprocess();
    } catch (...) {
        io.err(CurrentFailureText() + "\n");
        return 1;
    }
    return host.Succeeded() ? 0 : 1;
}

}  // namespace kartovo
