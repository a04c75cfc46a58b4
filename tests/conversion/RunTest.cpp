#include <gtest/gtest.h>

#include "Converter.h"
#include "Failure.h"
#include "LossReport.h"
#include "ScriptedHost.h"
#include "TestSupport.h"
#include "Unicode.h"

namespace kartovo {
namespace {

using test::ScriptedHost;

const std::string kHeader = "\"フリガナ\",\"氏名\",\"敬称\",\"郵便番号\",\"住所1\",\"住所2\",\"連名1\",\"連名2\",\"連名3\",\"連名4\"\r\n";
const std::string kEmptyRow = "\"　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";

std::string Repeated(std::string_view text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all.append(text);
    return all;
}

class RunTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ScriptedHost host;
    Converter converter{host};

    void SetUp() override {
        host.source = dir / "contacts.vcf";
        host.destination = dir / "contacts.csv";
    }

    // Runs and returns the failure message (UTF-8), or "" when none.
    std::string Run() {
        try {
            converter.mainprocess();
        } catch (const Failure& failure) {
            return Cp932ToUtf8(failure.Message());
        }
        return {};
    }

    std::vector<std::string> ShownTexts() const {
        std::vector<std::string> texts;
        for (const auto& s : host.shown) texts.push_back(s.text);
        return texts;
    }

    std::string Output() const { return Cp932ToUtf8(test::ReadFile(host.destination)); }
};

TEST_F(RunTest, ConvertsContactsDelimitedByEndLines) {
    struct Case {
        std::string source;
        std::string rows;
        int count;
        MessageKind kind = MessageKind::Information;  // a warning when the CSV lost text
        std::string note = "";  // what the file looks like, when it is no UTF-8 vCard
        int withoutAddress = -1;  // contacts with no address at all, counted in a note; -1: every one
    };
    const std::string notCard = "vCard ファイルではないようです";
    const std::string sjisRows = Repeated("\"　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n", 2);
    const Case cases[] = {
        {"", "", 0, MessageKind::Warning, notCard},
        {"\x89PNG\r\n\x1A\n", "", 0, MessageKind::Warning, notCard},
        {"\xFF\xFE" "B", "", 0, MessageKind::Warning, "文字コードが UTF-8 ではありません（UTF-16 のようです）"},
        // Names in Shift_JIS, a note of ASCII.
        {"BEGIN:VCARD\r\nN:\x8eR\x93" "c;\x91\xbe\x98Y;;;\r\nNOTE:x\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nN:\xb6\xc5;;;;\r\nEND:VCARD\r\n",
         sjisRows, 2, MessageKind::Warning, "文字コードが UTF-8 ではありません（Shift_JIS のようです）"},
        {"BEGIN:VCARD\r\nN:a;b;;;\r\n", "", 0},  // a last contact without its end line
        {"BEGIN:VCARD\r\nN:a;b;;;\r\nEND:VCARD", "\"　\",\"a　b\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n", 1},
        {"\xEF\xBB\xBF" "begin:vcard\r\nEND:VCARD", kEmptyRow, 1},
        {"X:1\nBEGIN:VCARD\nEND:VCARD\nBEGIN:VCARD\nEND:VCARD\n", kEmptyRow + kEmptyRow, 2},
        // Lines before the first card belong to it; a mis-cased end runs on.
        {"N:x;y\r\nBEGIN:VCARD\r\nend:vcard\r\nBEGIN:VCARD\r\nN:z;w\r\nEND:VCARD\r\n",
         "\"　\",\"x　y\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n", 1},
        {"BEGIN:VCARD\r\nEND:VCARD \r\nEND:VCARD\r\n", kEmptyRow, 1},
        // A three-byte form whose third byte follows nothing is no UTF-8:
        // the whole value goes, and no kanji is made up from it. One value
        // that happens to read as Shift_JIS makes no Shift_JIS file.
        {"BEGIN:VCARD\r\nN:\xE5\xB1\x41;x\r\nX-PHONETIC-LAST-NAME:ヤ\r\nEND:VCARD\r\n", "\"ヤ　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n", 1, MessageKind::Warning},
        {"BEGIN:VCARD\r\nN:\xE5\xB1\xC0;x\r\nEND:VCARD\r\n", kEmptyRow, 1, MessageKind::Warning,
         "文字コードが UTF-8 ではありません（Shift_JIS のようです）"},
        // A CSV of several blocks, written out as it grows, arrives whole and in order.
        {"BEGIN:VCARD\r\n" + Repeated("N:a;b;;;\r\nEND:VCARD\r\nN:c;d;;;\r\nEND:VCARD\r\n", 30000),
         Repeated("\"　\",\"a　b\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                  "\"　\",\"c　d\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n", 30000),
         60000},
        // A folded home address, cut inside a character, arrives whole.
        {"BEGIN:VCARD\r\nADR;TYPE=HOME:;;\xE4\xB8\x89\xE4\xB8\r\n \x81\xE7\x94\xBA" "1\xE2\x88\x92" "2;;\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD;\r\n 100-0001;\r\nEND:VCARD\r\n",
         "\"　\",\"　\",\"様\",\"100-0001\",\"東京都三丁町1－2\",\"\",\"\",\"\",\"\",\"\"\r\n", 1,
         MessageKind::Information, "", 0},
    };
    for (const Case& c : cases) {
        test::WriteFile(host.source, c.source);
        std::filesystem::remove(host.destination);
        host.shown.clear();
        EXPECT_EQ(Run(), "");
        EXPECT_TRUE(test::SameLines(Output(), kHeader + c.rows)) << c.source.substr(0, 200);
        const std::vector<std::string> shown = ShownTexts();
        ASSERT_EQ(shown.size(), 1u);
        const int without = c.withoutAddress < 0 ? c.count : c.withoutAddress;
        EXPECT_EQ(shown[0], std::to_string(c.count) + "件の連絡先を変換しました" + (c.note.empty() ? "" : "\n" + c.note) +
                                (without == 0 ? "" : "\n住所のない連絡先：" + std::to_string(without) + "件"));
        EXPECT_EQ(host.shown.back().kind, c.kind);
        EXPECT_EQ(host.shown.back().buttons, MessageButtons::Ok);
    }
}

// Each contact a file of its own lines; the report lists those whose
// written fields show a loss, in file order.
TEST_F(RunTest, ReportsWhatTheCsvCouldNotShow) {
    const std::string unreadable = "本町" + test::Bytes({0xE5, 0xB1, 0x41});
    const std::string spouse = "item1.X-ABRELATEDNAMES:花子😀\r\nitem1.X-ABLabel:_$!<Spouse>!$_";
    // More kinds of character lost than there are marks: those past the
    // marks are told by "…", in the name by U+FFFD.
    std::string manyKinds, manyShown, manyListed;
    for (char32_t c = 0x20000; c < 0x20000 + 260; ++c) {
        AppendUtf8(c, manyKinds);
        if (c < 0x20000 + 249) {
            AppendUtf8(c, manyShown);
            AppendUtf8(c, manyListed);
            manyListed += "、";
        } else {
            manyShown += "\uFFFD";
        }
    }
    struct Case {
        std::string lines;
        std::string reported;  // after "・{n}件目 "; empty when nothing shows
        unsigned fields;
    };
    const Case cases[] = {
        {"N:𠮷田;太郎;;;", "𠮷田　太郎：𠮷", 1u << 1},
        {"N:山田;一郎;;;\r\n" + spouse + "\r\nNOTE:配偶者印刷: true", "山田　一郎：😀", 1u << 6},
        {"N:山田;二郎;;;\r\n" + spouse, "", 0},  // the spouse is not printed
        {"N:田中;花;;;\r\nNOTE:メモ😀", "", 0},  // nor is the note
        {"N:山田;三郎;;;\r\nNOTE:配偶者印刷: true😀\r\nitem1.X-ABLabel:_$!<Spouse>!$_", "山田　三郎：😀",
         1u << 6},  // unless it stands before a label
        {"N:田中;葵;;;\r\nADR;TYPE=HOME:;;本町1‑2‑3;港区;東京都;;", "", 0},  // repaired to 1－2－3
        // The street's repair gives the hyphen meant only for a dash.
        {"N:田中;蓮;;;\r\nADR;TYPE=HOME:;;𠮷野町1–2;港区;東京都;;", "田中　蓮：𠮷", 1u << 4},
        {"N:山\"田;𠮷;;;", "山\"田　𠮷：𠮷", 1u << 1},  // the name as the source has it
        {"N:" + manyKinds + ";;;;", manyShown + "　：" + manyListed + "…", 1u << 1},
        {"N:佐藤‑田中;花;;;", "佐藤‑田中　花：‑", 1u << 1},
        {"N:山田?;太郎;;;", "", 0},
        {"N:髙橋;①;;;", "", 0},
        {"N:鈴木;次郎;;;\r\nADR;TYPE=HOME:;;" + unreadable + ";;;100-0001;", "鈴木　次郎：（読めない値）",
         1u << 3 | 1u << 4 | 1u << 5},
        {"X-PHONETIC-LAST-NAME:キムラ😀\r\nN:木村;葵\uFE0F;;;", "木村　葵\uFE0F：😀、U+FE0F", 1u << 0 | 1u << 1},
        {"N:ｅ😀;x;;;", "ｅ😀　x：😀", 1u << 1},  // ｅ ends in 0x85, a byte that leads no character here
        {"N:山田;四郎;;;\r\nitem1.X-ABRELATEDNAMES:" + unreadable + "\r\nitem1.X-ABLabel:_$!<Spouse>!$_", "", 0},
        {"N:山田;五郎;;;\r\nitem1.X-ABRELATEDNAMES:" + unreadable +
             "\r\nitem1.X-ABLabel:_$!<Spouse>!$_\r\nNOTE:配偶者印刷: true",
         "山田　五郎：（読めない値）", 1u << 6},
    };
    std::string source;
    std::string report;
    std::vector<std::pair<long long, unsigned>> fields;
    const auto add = [&](const Case& c) {
        source += "BEGIN:VCARD\r\n" + c.lines + "\r\nEND:VCARD\r\n";
        const long long number = static_cast<long long>(fields.size() + 1);
        if (!c.reported.empty()) report += "\n・" + std::to_string(number) + "件目 " + c.reported;
        fields.emplace_back(number, c.fields);
    };
    for (const Case& c : cases) add(c);
    for (int i = 0; i < 3; ++i) add({"N:𠮷;三郎;;;", "𠮷　三郎：𠮷", 1u << 1});
    const std::string converted = std::to_string(fields.size()) + "件の連絡先を変換しました\n住所のない連絡先：" +
                                  std::to_string(fields.size() - 3) + "件";
    std::erase_if(fields, [](const auto& entry) { return entry.second == 0; });
    test::WriteFile(host.source, source);

    EXPECT_EQ(Run(), "");
    const std::string counted = std::to_string(fields.size()) + "件の連絡先に、CSVに書けない文字がありました。"
                                "その文字は「?」になっています。";
    EXPECT_EQ(ShownTexts(), std::vector<std::string>{converted});
    EXPECT_EQ(host.shown.back().kind, MessageKind::Warning);
    EXPECT_EQ(host.report, counted + report);
    std::vector<std::pair<long long, unsigned>> found;
    for (const LostContact& contact : converter.Lost.Entries()) found.emplace_back(contact.number, contact.fields);
    EXPECT_EQ(found, fields);
    // The window lists ten and counts the rest.
    std::size_t tenth = 0;
    for (int line = 0; line < 10; ++line) tenth = report.find('\n', tenth + 1);
    EXPECT_EQ(LossReportText(converter.Lost, 10),
              counted + report.substr(0, tenth) + "\nほか" + std::to_string(fields.size() - 10) + "件");
    // The CSV is as a run without the report writes it: "?" where a
    // character was lost, and the street's repaired.
    test::NoHost plainHost;
    Converter plain(plainHost);
    plain.ReportsLosses = false;
    plain.ConvertText(source);
    EXPECT_EQ(test::ReadFile(host.destination), test::CsvText(plain.CsvList));
    const std::string csv = Output();
    EXPECT_NE(csv.find("\"?田　太郎\""), std::string::npos);
    EXPECT_NE(csv.find("\"東京都港区本町1－2－3\""), std::string::npos);
    EXPECT_NE(csv.find("\"東京都港区－野町1－2\""), std::string::npos);
}

TEST_F(RunTest, EmptyFileGivesTheHeaderOnly) {
    test::WriteFile(host.source, "");
    EXPECT_EQ(Run(), "");
    const std::string bytes = test::ReadFile(host.destination);
    EXPECT_EQ(bytes.size(), 85u);
    EXPECT_EQ(bytes.substr(83), "\r\n");
    EXPECT_EQ(bytes.compare(0, 3, "\"\x83t"), 0);  // no byte-order mark, straight into CP932
}

TEST_F(RunTest, EmptyPathFieldsStopWithOneMessage) {
    struct Case {
        bool sourceEmpty, destinationEmpty;
    };
    for (const Case c : {Case{true, false}, Case{false, true}, Case{true, true}}) {
        if (c.sourceEmpty) host.source.clear();
        if (c.destinationEmpty) host.destination.clear();
        host.shown.clear();
        EXPECT_EQ(Run(), "");
        ASSERT_EQ(host.shown.size(), 1u);
        EXPECT_EQ(host.shown[0].kind, MessageKind::Error);
        EXPECT_EQ(host.shown[0].text, "ファイルを指定して下さい");
        SetUp();
    }
    EXPECT_FALSE(std::filesystem::exists(host.destination));
}

TEST_F(RunTest, AsksBeforeOverwriting) {
    struct Case {
        int answer;
        bool written;
    };
    for (const Case c : {Case{kResultYes, true}, Case{kResultNo, false}, Case{kResultCancel, false}}) {
        test::WriteFile(host.source, "BEGIN:VCARD\r\nEND:VCARD\r\n");
        test::WriteFile(host.destination, "old");
        host.shown.clear();
        host.answers = {c.answer};
        EXPECT_EQ(Run(), "");
        ASSERT_GE(host.shown.size(), 2u);
        EXPECT_EQ(host.shown[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(host.shown[0].text, "ファイルを上書きしますか");
        EXPECT_EQ(host.shown[0].buttons, MessageButtons::YesNo);
        if (c.written) {
            EXPECT_EQ(host.shown[1].text, "1件の連絡先を変換しました\n住所のない連絡先：1件");
            EXPECT_EQ(Output(), kHeader + kEmptyRow);
        } else {
            EXPECT_EQ(host.shown[1].text, "処理を中止しました");
            EXPECT_EQ(host.shown[1].kind, MessageKind::Information);
            EXPECT_EQ(test::ReadFile(host.destination), "old");
        }
        EXPECT_EQ(host.shown.size(), 2u);
    }
}

// The source is read whole before anything takes its place, and no working
// file is left whatever the answer.
TEST_F(RunTest, DestinationIsTheSourceItself) {
    const std::string source = "BEGIN:VCARD\r\nN:a;b\r\nEND:VCARD\r\n";
    struct Case {
        int answer;
        std::string contents, said;
    };
    for (const Case& c : {Case{kResultYes, kHeader + "\"　\",\"a　b\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n",
                               "1件の連絡先を変換しました\n住所のない連絡先：1件"},
                          Case{kResultNo, source, "処理を中止しました"}}) {
        host.destination = host.source;
        test::WriteFile(host.source, source);
        host.shown.clear();
        host.answers = {c.answer};
        EXPECT_EQ(Run(), "");
        EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"ファイルを上書きしますか", c.said}));
        EXPECT_EQ(Output(), c.contents);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "a working file was left";
    }
}

TEST_F(RunTest, DestinationNamesUpToTheLimitAreWritten) {
    test::WriteFile(host.source, "END:VCARD\r\n");
    for (const std::size_t length : {250, 255}) {
        host.destination = dir.path() / (std::string(length - 4, 'x') + ".csv");
        EXPECT_EQ(Run(), "") << length;
        EXPECT_EQ(Output(), kHeader + kEmptyRow);
    }
    // The source and the two CSV files; no working file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST_F(RunTest, RelativePathsAreShownAbsolute) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    host.source = "nothing-here.vcf";
    const std::string failure = Run();
    std::filesystem::current_path(previous);
    const std::u8string expected = (dir.path() / "nothing-here.vcf").u8string();
    EXPECT_EQ(failure.rfind("ファイル " + std::string(expected.begin(), expected.end()) + " は", 0), 0u) << failure;
}

TEST_F(RunTest, ListsAreReleasedAndTheNextRunStartsFresh) {
    test::WriteFile(host.source, "N:a;b\r\nEND:VCARD\r\nN:left;over\r\n");
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(converter.KeyList.Count(), 0);
    EXPECT_EQ(converter.CsvList.Count(), 0);
    host.answers = {kResultYes};
    test::WriteFile(host.source, "END:VCARD\r\n");
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(Output(), kHeader + kEmptyRow);  // nothing of the first run's leftover lines
}

}  // namespace
}  // namespace kartovo
