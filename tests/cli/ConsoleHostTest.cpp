#include "ConsoleHost.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "Console.h"
#include "Cp932Encoder.h"
#include "Failure.h"
#include "FileAccess.h"
#include "TestSupport.h"
#include "Utf8.h"

namespace kartovo {
namespace {

// Captures the converter's console and plays the terminal.
struct FakeConsole {
    // Windows converts each piece written on its own, and a piece cut
    // inside a character would not convert at all.
    static std::string_view Whole(std::string_view text) {
        std::u16string units;
        EXPECT_TRUE(test::DecodeUtf8(text, units)) << "a piece of console text cut inside a character";
        return text;
    }

    std::string out, err;  // UTF-8
    bool terminal = false;
    std::vector<std::string> input;

    ConsoleHost::Io Io() {
        return {
            [this](std::string_view text) { out += Whole(text); },
            [this](std::string_view text) { err += Whole(text); },
            [this] { return terminal; },
            [this]() -> std::optional<std::string> {
                if (input.empty()) return std::nullopt;
                std::string line = input.front();
                input.erase(input.begin());
                return line;
            },
        };
    }
};

using Args = std::vector<std::filesystem::path::string_type>;

Args ArgsOf(std::initializer_list<std::filesystem::path> paths) {
    Args args;
    for (const auto& p : paths) args.push_back(p.native());
    return args;
}

TEST(RunConverter, UsageAndHelp) {
    struct Case {
        Args args;
        int status;
        bool usageOnOut;
        const char* errBeforeUsage;  // what is wrong, said before the usage; nullptr for no usage on stderr
    };
    const Case cases[] = {
        {ArgsOf({"--help"}), 0, true, nullptr},
        {ArgsOf({"-h"}), 0, true, nullptr},
        {ArgsOf({}), 2, false, ""},
        {ArgsOf({"--yes"}), 2, false, ""},
        {ArgsOf({"a", "b", "c", "d"}), 2, false, "余分な引数です: c\n\n"},
        {ArgsOf({"--frobnicate", "a"}), 2, false, "不明なオプションです: --frobnicate\n\n"},
    };
    for (const Case& c : cases) {
        FakeConsole console;
        EXPECT_EQ(RunConverter(c.args, console.Io()), c.status);
        EXPECT_EQ(console.out.find("使い方: kartovo-convert") != std::string::npos, c.usageOnOut);
        if (c.errBeforeUsage == nullptr) {
            EXPECT_EQ(console.err, "");
        } else {
            EXPECT_EQ(console.err.rfind(std::string(c.errBeforeUsage) + "使い方: kartovo-convert", 0), 0u) << console.err;
        }
    }
}

TEST(RunConverter, ConvertsToTheDerivedDestination) {
    test::TempDir dir;
    test::WriteFile(dir / "連絡先.vcf", "BEGIN:VCARD\r\nN:山田;太郎;;;\r\nEND:VCARD\r\n");
    FakeConsole console;
    EXPECT_EQ(RunConverter(ArgsOf({dir / "連絡先.vcf"}), console.Io()), 0);
    EXPECT_EQ(console.out, "1件の連絡先を変換しました\n住所のない連絡先：1件\n");
    EXPECT_EQ(console.err, "");
    EXPECT_EQ(Cp932ToUtf8(test::ReadFile(dir / "連絡先.csv").substr(85)),
              "\"　\",\"山田　太郎\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");

    // What the CSV could not show goes to standard error, every contact of
    // it in file order as it comes, past the window's ten and past a block
    // of lines, a line longer than a block among them, and the heading that
    // counts them after; the CSV is written all the same.
    for (const int contacts : {3000, 12}) {
        std::string source;
        std::string listed;
        int lostCount = 0;
        for (int n = 1; n <= contacts; ++n) {
            std::string given = "太郎" + std::to_string(n);
            for (int i = 0; n == 5 && contacts > 1000 && i < 25000; ++i) given += "郎";
            if (n % 7 == 3 || (n > 1000 && n <= 1200)) {
                source += "BEGIN:VCARD\r\nN:山田;" + given + ";;;\r\nEND:VCARD\r\n";
                continue;
            }
            source += "BEGIN:VCARD\r\nN:𠮷田;" + given + ";;;\r\nEND:VCARD\r\n";
            listed += "・" + std::to_string(n) + "件目 𠮷田　" + given + "：𠮷\n";
            ++lostCount;
        }
        test::WriteFile(dir / "連絡先.vcf", source);
        FakeConsole lost;
        EXPECT_EQ(RunConverter(ArgsOf({"--yes", dir / "連絡先.vcf"}), lost.Io()), 0);
        EXPECT_EQ(lost.out, std::to_string(contacts) + "件の連絡先を変換しました\n住所のない連絡先：" +
                                std::to_string(contacts) + "件\n");
        EXPECT_TRUE(test::SameLines(lost.err, listed + std::to_string(lostCount) +
                                                  "件の連絡先に、CSVに書けない文字がありました。その文字は「?」になって"
                                                  "います。\n"))
            << contacts;
    }
    // A file that is no vCard: the count, and why there is nothing.
    test::WriteFile(dir / "連絡先.vcf", "\x89PNG\r\n");
    FakeConsole image;
    EXPECT_EQ(RunConverter(ArgsOf({"--yes", dir / "連絡先.vcf"}), image.Io()), 0);
    EXPECT_EQ(image.out, "0件の連絡先を変換しました\n");
    EXPECT_EQ(image.err, "vCard ファイルではないようです\n");
}

TEST(RunConverter, OverwriteQuestion) {
    struct Case {
        const char* option;  // "" for none
        bool terminal;
        std::vector<std::string> input;
        int status;
        bool asked;
    };
    const Case cases[] = {
        {"", true, {"y"}, 0, true},
        {"", true, {"Y"}, 0, true},
        {"", true, {"yes"}, 1, true},
        {"", true, {""}, 1, true},
        {"", true, {}, 1, true},       // end of input
        {"", false, {"y"}, 1, false},  // no terminal: never asked, never overwritten
        {"--yes", false, {}, 0, false},
        {"-y", false, {}, 0, false},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        test::WriteFile(dir / "in.vcf", "END:VCARD\r\n");
        test::WriteFile(dir / "out.csv", "old");
        FakeConsole console;
        console.terminal = c.terminal;
        console.input = c.input;
        Args args = ArgsOf({dir / "in.vcf", dir / "out.csv"});
        if (*c.option != '\0') args.insert(args.begin(), ArgsOf({c.option})[0]);
        EXPECT_EQ(RunConverter(args, console.Io()), c.status);
        EXPECT_EQ(console.err.find("ファイルを上書きしますか [y/N] ") != std::string::npos, c.asked);
        const bool written = test::ReadFile(dir / "out.csv") != "old";
        EXPECT_EQ(written, c.status == 0);
        EXPECT_EQ(console.out, c.status == 0 ? "1件の連絡先を変換しました\n住所のない連絡先：1件\n" : "処理を中止しました\n");
    }
}

TEST(RunConverter, FailuresGoToStandardErrorWithStatusOne) {
    test::TempDir dir;
    FakeConsole console;
    EXPECT_EQ(RunConverter(ArgsOf({dir / "missing.vcf"}), console.Io()), 1);
    EXPECT_EQ(console.out, "");
    EXPECT_EQ(console.err.rfind("ファイル ", 0), 0u) << console.err;
    EXPECT_EQ(console.err.substr(console.err.size() - 2), " \n");  // no period after the closing blank

    // A path shows its own characters, also those CP932 lacks.
    FakeConsole foreign;
    EXPECT_EQ(RunConverter(ArgsOf({dir / "한국🙂" / "k.vcf"}), foreign.Io()), 1);
    EXPECT_NE(foreign.err.find(NativeToUtf8((dir / "한국🙂" / "k.vcf").native())), std::string::npos) << foreign.err;
    EXPECT_NE(foreign.err.find("한국🙂"), std::string::npos);

    FakeConsole empty;
    EXPECT_EQ(RunConverter(ArgsOf({""}), empty.Io()), 1);
    EXPECT_EQ(empty.err, "ファイルを指定して下さい\n");

    test::WriteFile(dir / "in.vcf", "");
    std::filesystem::create_directory(dir / "folder");
    FakeConsole folder;
    EXPECT_EQ(RunConverter(ArgsOf({dir / "in.vcf", dir / "folder"}), folder.Io()), 1);
    EXPECT_EQ(folder.err.back(), '\n');
    EXPECT_EQ(folder.err.substr(folder.err.size() - 2, 1), ".");  // the creation message gets its period
}

TEST(WithClosingPeriod, AddedUnlessTheLastCharacterIsAtMostAPeriod) {
    struct Case {
        std::string text, shown;
    };
    const Case cases[] = {
        {"", ""},
        {"abc", "abc."},
        {"end ", "end "},
        {"(-1)", "(-1)"},
        {"a.", "a."},
        {"a-", "a-"},
        {"a/", "a/."},
        {test::Sjis("終了。"), test::Sjis("終了。") + "."},
        {test::Sjis("ソ"), test::Sjis("ソ") + "."},  // its second byte 0x5C is no single-byte character
    };
    for (const Case& c : cases) EXPECT_EQ(WithClosingPeriod(c.text), c.shown) << test::Hex(c.text);
}

// Standard error redirected to a file: UTF-8 on Linux; on Windows CP932,
// where a character without a CP932 form is written as its code, since the
// list of lost text must still name it.
TEST(WriteText, ToAFileNamesEveryCharacter) {
    struct Case {
        std::string text, windows;
    };
    const Case cases[] = {
        {"・3件目 𠮷田　健：𠮷", test::Sjis("・3件目 ") + "U+20BB7" + test::Sjis("田　健：") + "U+20BB7"},
        {"・7件目 木村　葵\uFE0F：😀、U+FE0F",
         test::Sjis("・7件目 木村　葵") + "U+FE0F" + test::Sjis("：") + "U+1F600" + test::Sjis("、U+FE0F")},
        {"その文字は「?」になっています。", test::Sjis("その文字は「?」になっています。")},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        const std::filesystem::path path = dir / "stderr.txt";
        std::FILE* file = std::fopen(path.string().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        WriteText(file, c.text);
        std::fclose(file);
#ifdef _WIN32
        EXPECT_EQ(test::ReadFile(path), c.windows) << c.text;
#else
        EXPECT_EQ(test::ReadFile(path), c.text);
#endif
    }
}

}  // namespace
}  // namespace kartovo
