#include <gtest/gtest.h>

#include "Converter.h"
#include "Failure.h"
#include "FileAccess.h"
#include "ScriptedHost.h"
#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kartovo {
namespace {

using test::ScriptedHost;
using test::Sjis;

const std::string kHeader = "\"フリガナ\",\"氏名\",\"敬称\",\"郵便番号\",\"住所1\",\"住所2\",\"連名1\",\"連名2\",\"連名3\",\"連名4\"\r\n";
const std::string kEmptyRow = "\"　\",\"　\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";

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

    std::string AbsoluteText(const std::filesystem::path& path) const { return Cp932ToUtf8(PathForMessage(path)); }
};

TEST_F(RunTest, ConvertsContactsDelimitedByEndLines) {
    struct Case {
        std::string source;
        std::string rows;
        int count;
    };
    const Case cases[] = {
        {"", "", 0},
        {"BEGIN:VCARD\r\nN:a;b;;;\r\n", "", 0},  // a last contact without its end line
        {"BEGIN:VCARD\r\nN:a;b;;;\r\nEND:VCARD", "\"　\",\"a　b\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n", 1},
        {"X:1\nBEGIN:VCARD\nEND:VCARD\nBEGIN:VCARD\nEND:VCARD\n", kEmptyRow + kEmptyRow, 2},
        // Lines before the first card belong to it; a mis-cased end runs on.
        {"N:x;y\r\nBEGIN:VCARD\r\nend:vcard\r\nBEGIN:VCARD\r\nN:z;w\r\nEND:VCARD\r\n",
         "\"　\",\"x　y\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n", 1},
        {"BEGIN:VCARD\r\nEND:VCARD \r\nEND:VCARD\r\n", kEmptyRow, 1},
        // A folded home address, cut inside a character, arrives whole.
        {"BEGIN:VCARD\r\nADR;TYPE=HOME:;;\xE4\xB8\x89\xE4\xB8\r\n \x81\xE7\x94\xBA" "1\xE2\x88\x92" "2;;\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD;\r\n 100-0001;\r\nEND:VCARD\r\n",
         "\"　\",\"　\",\"様\",\"100-0001\",\"東京都三丁町1－2\",\"\",\"\",\"\",\"\",\"\"\r\n", 1},
    };
    for (const Case& c : cases) {
        test::WriteFile(host.source, c.source);
        std::filesystem::remove(host.destination);
        host.shown.clear();
        EXPECT_EQ(Run(), "");
        EXPECT_EQ(Output(), kHeader + c.rows) << c.source;
        EXPECT_EQ(ShownTexts(), std::vector<std::string>{std::to_string(c.count) + "件の連絡先を変換しました"});
        EXPECT_EQ(host.shown.back().kind, MessageKind::Information);
        EXPECT_EQ(host.shown.back().buttons, MessageButtons::Ok);
    }
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
        test::WriteFile(host.source, "END:VCARD\r\n");
        test::WriteFile(host.destination, "old");
        host.shown.clear();
        host.answers = {c.answer};
        EXPECT_EQ(Run(), "");
        ASSERT_GE(host.shown.size(), 2u);
        EXPECT_EQ(host.shown[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(host.shown[0].text, "ファイルを上書きしますか");
        EXPECT_EQ(host.shown[0].buttons, MessageButtons::YesNo);
        if (c.written) {
            EXPECT_EQ(host.shown[1].text, "1件の連絡先を変換しました");
            EXPECT_EQ(Output(), kHeader + kEmptyRow);
        } else {
            EXPECT_EQ(host.shown[1].text, "処理を中止しました");
            EXPECT_EQ(host.shown[1].kind, MessageKind::Information);
            EXPECT_EQ(test::ReadFile(host.destination), "old");
        }
        EXPECT_EQ(host.shown.size(), 2u);
    }
}

TEST_F(RunTest, DestinationIsTheSourceItself) {
    host.destination = host.source;
    test::WriteFile(host.source, "N:a;b\r\nEND:VCARD\r\n");
    host.answers = {kResultYes};
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(Output(), kHeader + "\"　\",\"a　b\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
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

TEST_F(RunTest, MissingSourceFailsToOpen) {
    host.source = dir / "missing.vcf";
    const std::string failure = Run();
    EXPECT_EQ(failure.rfind("ファイル " + AbsoluteText(host.source) + " は開けません。 ", 0), 0u) << failure;
    EXPECT_GT(failure.size(), ("ファイル " + AbsoluteText(host.source) + " は開けません。  ").size());
    EXPECT_EQ(failure.back(), ' ');
    EXPECT_TRUE(host.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(host.destination));
}

TEST_F(RunTest, FolderAsSourceFailsToOpen) {
    host.source = dir.path();
    EXPECT_EQ(Run().rfind("ファイル " + AbsoluteText(dir.path()) + " は開けません。 ", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(host.destination));
}

TEST_F(RunTest, RelativePathsAreShownAbsolute) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    host.source = "nothing-here.vcf";
    const std::string failure = Run();
    std::filesystem::current_path(previous);
    const std::string expected = Cp932ToUtf8(PathForMessage(dir.path() / "nothing-here.vcf"));
    EXPECT_EQ(failure.rfind("ファイル " + expected + " は", 0), 0u) << failure;
}

TEST_F(RunTest, FolderAsDestinationFailsToCreate) {
    test::WriteFile(host.source, "END:VCARD\r\n");
    host.destination = dir / "out";
    std::filesystem::create_directory(host.destination);
    const std::string failure = Run();  // no question: a folder is not an existing file
    const std::string start = "ファイル \"" + AbsoluteText(host.destination) + "\" を作成できません。";
    EXPECT_EQ(failure.rfind(start, 0), 0u) << failure;
    EXPECT_GT(failure.size(), start.size());
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(RunTest, MissingDestinationFolderFailsToCreate) {
    test::WriteFile(host.source, "END:VCARD\r\n");
    host.destination = dir / "no-such-folder" / "out.csv";
    const std::string failure = Run();
    EXPECT_EQ(failure.rfind("ファイル \"" + AbsoluteText(host.destination) + "\" を作成できません。", 0), 0u)
        << failure;
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(RunTest, ReadOnlyDestinationFailsToCreate) {
    test::WriteFile(host.source, "END:VCARD\r\n");
    test::WriteFile(host.destination, "old");
#ifdef _WIN32
    SetFileAttributesW(host.destination.c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE probe = CreateFileW(host.destination.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesW(host.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "read-only files are writable here (Wine run by root)";
    }
#else
    std::filesystem::permissions(host.destination, std::filesystem::perms::owner_read);
    if (access(host.destination.c_str(), W_OK) == 0) {
        // Root writes read-only files; a child dropped to "nobody" cannot.
        std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
        const std::string expected = Sjis("ファイル \"") + PathForMessage(host.destination) + Sjis("\" を作成できません。");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool refused = false;
            if (setgid(65534) == 0 && setuid(65534) == 0) {
                try {
                    WriteWholeFile(host.destination, {"new"});
                } catch (const Failure& failure) {
                    refused = failure.Message().rfind(expected, 0) == 0;
                }
            }
            _exit(refused ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(test::ReadFile(host.destination), "old");
        return;
    }
#endif
    host.answers = {kResultYes};
    const std::string failure = Run();
#ifdef _WIN32
    SetFileAttributesW(host.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
    EXPECT_EQ(failure.rfind("ファイル \"" + AbsoluteText(host.destination) + "\" を作成できません。", 0), 0u)
        << failure;
    EXPECT_EQ(test::ReadFile(host.destination), "old");
    EXPECT_EQ(host.shown.size(), 1u);  // the question only, no count
}

#ifdef _WIN32
// Another program holds the file: a spreadsheet with the CSV still open, or
// an editor writing the source.
class HeldFile {
public:
    HeldFile(const std::filesystem::path& path, DWORD access, DWORD share)
        : handle_(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST_F(RunTest, SourceHeldOpenForWritingFailsToOpen) {
    test::WriteFile(host.source, "END:VCARD\r\n");
    HeldFile writer(host.source, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.held());
    EXPECT_EQ(Run().rfind("ファイル " + AbsoluteText(host.source) + " は開けません。 ", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(host.destination));
}

TEST_F(RunTest, DestinationHeldOpenFailsToCreate) {
    test::WriteFile(host.source, "END:VCARD\r\n");
    test::WriteFile(host.destination, "old");
    HeldFile reader(host.destination, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(reader.held());
    host.answers = {kResultYes};
    EXPECT_EQ(Run().rfind("ファイル \"" + AbsoluteText(host.destination) + "\" を作成できません。", 0), 0u);
    EXPECT_EQ(test::ReadFile(host.destination), "old");
}
#else
TEST_F(RunTest, WriteFailureIsReported) {
    test::WriteFile(host.source, "END:VCARD\r\n");
    host.destination = "/dev/full";
    host.answers = {kResultYes};
    EXPECT_EQ(Run(), "ストリームへの書き込みエラー");
    EXPECT_EQ(host.shown.size(), 1u);
}
#endif

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
