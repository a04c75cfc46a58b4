#include "FileAccess.h"

#include <gtest/gtest.h>

#include "FileAccessPlatform.h"
#include "TestSupport.h"

namespace kartovo {
namespace {

TEST(TrimErrorText, DropsTrailingBlanksControlsAndPeriods) {
    struct Case {
        std::string text, trimmed;
    };
    const Case cases[] = {
        {"No such file or directory", "No such file or directory"},
        {"Access is denied.\r\n", "Access is denied"},
        {"x. . \t", "x"},
        {test::Sjis("ファイルが見つかりません。\r\n"), test::Sjis("ファイルが見つかりません。")},
        {test::Sjis("ソ "), test::Sjis("ソ")},
        {"...", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TrimErrorText(c.text), c.trimmed) << c.text;
}

TEST(NativeToCp932, ShowsWhatHasNoCp932FormAsQuestionMarks) {
    EXPECT_EQ(NativeToCp932(test::U8Path("連絡先.vcf").native()), test::Sjis("連絡先.vcf"));
    EXPECT_EQ(NativeToCp932(test::U8Path("한국.vcf").native()), "??.vcf");
#ifndef _WIN32
    // A Linux file name need not be UTF-8; the message must still show it.
    EXPECT_EQ(NativeToCp932("bad\xff" "name"), "bad?name");
#endif
}

TEST(IsExistingFile, TrueOnlyForFiles) {
    test::TempDir dir;
    test::WriteFile(dir / "a.csv", "x");
    test::WriteFile(dir / "空.csv", "");
    EXPECT_TRUE(IsExistingFile(dir / "a.csv"));
    EXPECT_TRUE(IsExistingFile(dir / "空.csv"));
    EXPECT_FALSE(IsExistingFile(dir / "missing.csv"));
    EXPECT_FALSE(IsExistingFile(dir.path()));
}

TEST(SourceFile, ReadsEveryByteInPieces) {
    test::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 300000; ++i) bytes.push_back(static_cast<char>(i * 7));
    test::WriteFile(dir / "big.vcf", bytes);
    test::WriteFile(dir / "empty.vcf", "");
    for (const auto& [name, expected] : {std::pair{"big.vcf", bytes}, std::pair{"empty.vcf", std::string()}}) {
        SourceFile file(dir / name);
        std::string read;
        char piece[4096];
        while (const std::size_t got = file.Read(piece, sizeof piece)) read.append(piece, got);
        EXPECT_EQ(read, expected);
    }
}

#ifdef _WIN32
// From 260 characters on, a path reaches the system whole and verbatim: a
// stock Windows refuses it otherwise, whatever the manifest says.
TEST(SystemPath, VerbatimFromTheLimitOn) {
    const std::wstring here = std::filesystem::current_path().native();
    const std::wstring x300(300, L'x');
    struct Case {
        std::wstring given, expected;
    };
    const Case cases[] = {
        {L"C:\\" + std::wstring(256, L'x'), L"C:\\" + std::wstring(256, L'x')},
        {L"C:\\" + std::wstring(257, L'x'), L"\\\\?\\C:\\" + std::wstring(257, L'x')},
        {L"\\\\server\\share\\" + x300, L"\\\\?\\UNC\\server\\share\\" + x300},
        {L"a.csv", L"a.csv"},
        {x300, L"\\\\?\\" + here + L"\\" + x300},
        {L"C:/" + x300 + L"/../b.csv", L"\\\\?\\C:\\b.csv"},
        {L"\\\\?\\C:\\" + x300 + L"\\..", L"\\\\?\\C:\\" + x300 + L"\\.."},
    };
    for (const Case& c : cases) EXPECT_EQ(SystemPath(c.given), c.expected) << c.given.size();
}
#endif

}  // namespace
}  // namespace kartovo
