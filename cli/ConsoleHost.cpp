#include "ConsoleHost.h"

#include <algorithm>
#include <new>
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

void ConsoleHost::ShowConverted(std::string_view countMessage, const LossReport& lost) {
    io_.out(Cp932ToUtf8(countMessage) + "\n");
    if (lost.Count() == 0) return;
    io_.err(LossHeading(lost.Count()) + "\n");
    if (!heldFileTried_) {  // a short list: all of it in the block
        io_.err(std::string_view(block_.get(), blockUsed_));
        return;
    }
    // The block's lines after those held before them; the block is then
    // free to read the file back into.
    Hold();
    if (!heldFile_.ReadBack(block_.get(), kHeldBlockSize, [this](std::string_view lines) { io_.err(lines); })) {
        io_.err("（ここにあった行は一時ファイルから読み戻せませんでした）\n");
    }
    for (const std::string& lines : heldBlocks_) io_.err(lines);
}

void ConsoleHost::ListLosses(LossReport& lost) {
    lost.KeepAtMost(0);
    block_.reset(new char[kHeldBlockSize]);  // untouched, it costs no memory
    lost.HandEachTo([this](const LostContactView& contact) { HoldLine(contact); });
}

void ConsoleHost::HoldLine(const LostContactView& contact) {
    const std::size_t bound = LossLineBound(contact) + 1;
    if (blockUsed_ + bound > kHeldBlockSize) Hold();
    if (bound > kHeldBlockSize) {  // a name of tens of kilobytes
        std::string line;
        AppendLossLine(contact, line);
        line += '\n';
        Hold(line);
        return;
    }
    char* end = WriteLossLine(contact, block_.get() + blockUsed_);
    *end++ = '\n';
    blockUsed_ = static_cast<std::size_t>(end - block_.get());
}

void ConsoleHost::Hold() {
    Hold(std::string_view(block_.get(), blockUsed_));
    blockUsed_ = 0;
}

void ConsoleHost::Hold(std::string_view lines) {
    if (lines.empty()) return;
    if (!std::exchange(heldFileTried_, true)) heldFile_.Open();
    if (heldBlocks_.empty() && heldFile_.Write(lines)) return;
    heldBlocks_.emplace_back(lines);
}

int RunConverter(const std::vector<std::filesystem::path::string_type>& args, const ConsoleHost::Io& io) {
    bool assumeYes = false;
    bool optionsEnded = false;
    std::vector<std::filesystem::path> paths;
    for (const auto& arg : args) {
        if (!optionsEnded && (Is(arg, "-h") || Is(arg, "--help"))) {
            io.out(kUsage);
            return 0;
        }
        if (!optionsEnded && (Is(arg, "-y") || Is(arg, "--yes"))) {
            assumeYes = true;
        } else if (!optionsEnded && Is(arg, "--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            io.err("不明なオプションです: " + NativeToUtf8(arg) + "\n\n" + std::string(kUsage));
            return 2;
        } else {
            paths.emplace_back(arg);
        }
    }
    if (paths.size() > 2) {
        io.err("余分な引数です: " + NativeToUtf8(paths[2].native()) + "\n\n" + std::string(kUsage));
        return 2;
    }
    if (paths.empty()) {
        io.err(kUsage);
        return 2;
    }
    // An empty SOURCE stays empty, so the run reports the missing file itself.
    std::filesystem::path destination =
        paths.size() == 2 ? paths[1] : (paths[0].empty() ? paths[0] : ReplaceExtension(paths[0], ".csv"));

    ConsoleHost host(paths[0], std::move(destination), assumeYes, io);
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
