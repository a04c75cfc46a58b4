#include "Arguments.h"

#include <algorithm>

#include "CsvLayout.h"
#include "FileAccess.h"

namespace kartovo {
namespace {

constexpr std::string_view kUsage =
    "使い方: kartovo-convert [--yes] [--layout 名前 | --template 様式.csv] 変換元.vcf [変換先.csv]\n"
    "\n"
    "連絡先から書き出した vCard ファイル (Google コンタクト、iPhone、Mac、Android など) を、\n"
    "宛名印刷ソフト用の CSV ファイルに変換します。\n"
    "変換先を省略すると、変換元の拡張子を .csv に替えた名前で保存します。\n"
    "\n"
    "  -y, --yes            変換先が既にあるとき、確認せずに上書きします\n"
    "  --layout 名前        印刷サービスやソフトの様式で書き出します (下の一覧)\n"
    "  --template 様式.csv  印刷サービスの様式ファイル (見出しの行のある CSV) に書き足します\n"
    "  --list-layouts       様式の一覧を表示します\n"
    "  -h, --help           この説明を表示します\n"
    "\n"
    "シフトJIS にない文字 (絵文字、ハングルなど) は CSV で「?」になります。そのような\n"
    "文字や読めない値があった連絡先は、何件目か・氏名・その文字を標準エラー出力に\n"
    "一覧します。CSV は書き出されているので、終了コードは 0 です。\n";

template <typename Char>
bool Is(const std::basic_string<Char>& arg, std::string_view ascii) {
    return arg.size() == ascii.size() && std::equal(arg.begin(), arg.end(), ascii.begin());
}

// The built-in layouts, a line each: name, what it is for, and the year its
// form was known to be right.
std::string LayoutList() {
    std::string list;
    for (const Layout& layout : BuiltInLayouts()) {
        list += "  " + layout.name + std::string(std::max<std::size_t>(15, layout.name.size() + 1) - layout.name.size(), ' ') +
                layout.title + (layout.yearKnown.empty() ? "" : "（" + layout.yearKnown + "年の様式）") + "\n";
    }
    return list;
}

std::string Usage() { return std::string(kUsage) + "\n様式:\n" + LayoutList(); }

}  // namespace

std::optional<int> ReadArguments(const std::vector<std::filesystem::path::string_type>& args,
                                 const std::function<void(std::string_view)>& out,
                                 const std::function<void(std::string_view)>& err, Arguments& read) {
    bool optionsEnded = false;
    const auto wrong = [&err](std::string_view what, const auto& arg) {
        err(std::string(what) + NativeToUtf8(arg) + "\n\n" + Usage());
        return 2;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& arg = args[i];
        const bool option = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (option && (Is(arg, "-h") || Is(arg, "--help"))) {
            out(Usage());
            return 0;
        }
        if (option && Is(arg, "--list-layouts")) {
            out(LayoutList());
            return 0;
        }
        if (option && (Is(arg, "--layout") || Is(arg, "--template"))) {
            if (i + 1 == args.size()) return wrong("値がありません: ", arg);
            if (Is(arg, "--template")) {
                read.templateFile = args[++i];
                continue;
            }
            read.layout = NativeToUtf8(args[++i]);
            if (FindLayout(read.layout) == nullptr) return wrong("不明な様式です: ", args[i]);
        } else if (option && (Is(arg, "-y") || Is(arg, "--yes"))) {
            read.assumeYes = true;
        } else if (option && Is(arg, "--")) {
            optionsEnded = true;
        } else if (option) {
            return wrong("不明なオプションです: ", arg);
        } else {
            read.paths.emplace_back(arg);
        }
    }
    if (read.paths.size() > 2) return wrong("余分な引数です: ", read.paths[2].native());
    if (!read.layout.empty() && !read.templateFile.empty()) return wrong("--layout と --template は一緒に使えません: ", args.back());
    if (read.paths.empty()) {
        err(Usage());
        return 2;
    }
    return std::nullopt;
}

}  // namespace kartovo
