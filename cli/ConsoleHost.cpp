#include "ConsoleHost.h"

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

constexpr std::string_view kUsage =
    "使い方: kartovo-convert [--yes] 変換元.vcf [変換先.csv]\n"
    "\n"
    "Google 連絡先からエクスポートした vCard ファイルを、宛名印刷ソフト用の\n"
    "CSV ファイル (シフトJIS) に変換します。\n"
    "変換先を省略すると、変換元の拡張子を .csv に替えた名前で保存します。\n"
    "\n"
    "  -y, --yes   変換先が既にあるとき、確認せずに上書きします\n"
    "  -h, --help  この説明を表示します\n"
    "\n"
    "シフトJIS にない文字 (絵文字、ハングルなど) は CSV で「?」になります。そのような\n"
    "文字や読めない値があった連絡先は、何件目か・氏名・その文字を標準エラー出力に\n"
    "一覧します。CSV は書き出されているので、終了コードは 0 です。\n";

template <typename Char>
bool Is(const std::basic_string<Char>& arg, std::string_view ascii) {
    return arg.size() == ascii.size() && std::equal(arg.begin(), arg.end(), ascii.begin());
}

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

namespace {

struct Arguments {
    bool assumeYes = false;
    std::vector<std::filesystem::path> paths;
};

// Reads the command line into `read`; returns the exit status when the run
// ends here: the usage asked for, or a usage error.
std::optional<int> ReadArguments(const std::vector<std::filesystem::path::string_type>& args,
                                 const ConsoleHost::Io& io, Arguments& read) {
    bool optionsEnded = false;
    for (const auto& arg : args) {
        if (!optionsEnded && (Is(arg, "-h") || Is(arg, "--help"))) {
            io.out(kUsage);
            return 0;
        }
        if (!optionsEnded && (Is(arg, "-y") || Is(arg, "--yes"))) {
            read.assumeYes = true;
        } else if (!optionsEnded && Is(arg, "--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            io.err("不明なオプションです: " + NativeToUtf8(arg) + "\n\n" + std::string(kUsage));
            return 2;
        } else {
            read.paths.emplace_back(arg);
        }
    }
    if (read.paths.size() > 2) {
        io.err("余分な引数です: " + NativeToUtf8(read.paths[2].native()) + "\n\n" + std::string(kUsage));
        return 2;
    }
    if (read.paths.empty()) {
        io.err(kUsage);
        return 2;
    }
    return std::nullopt;
}

}  // namespace

int RunConverter(const std::vector<std::filesystem::path::string_type>& args, const ConsoleHost::Io& io) {
    Arguments read;
    if (const std::optional<int> status = ReadArguments(args, io, read)) return *status;
    const std::vector<std::filesystem::path>& paths = read.paths;
    // An empty SOURCE stays empty, so the run reports the missing file itself.
    std::filesystem::path destination =
        paths.size() == 2 ? paths[1] : (paths[0].empty() ? paths[0] : ReplaceExtension(paths[0], ".csv"));

    ConsoleHost host(paths[0], std::move(destination), read.assumeYes, io);
    Converter converter(host);
    host.ListLosses(converter.Lost);
    try {
        converter.mainprocess();
    } catch (...) {
        io.err(CurrentFailureText() + "\n");
        return 1;
    }
    return host.Succeeded() ? 0 : 1;
}

}  // namespace kartovo
