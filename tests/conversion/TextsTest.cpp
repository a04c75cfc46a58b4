#include "Texts.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace kartovo {
namespace {

TEST(Texts, AreTheCp932FormOfTheirJapanese) {
    struct Case {
        std::string_view constant;
        const char* utf8;
    };
    const Case cases[] = {
        {texts::kSpecifyFile, "ファイルを指定して下さい"},
        {texts::kOverwriteQuestion, "ファイルを上書きしますか"},
        {texts::kCancelled, "処理を中止しました"},
        {texts::kConvertedSuffix, "件の連絡先を変換しました"},
        {texts::kCannotOpenFormat, "ファイル %s は開けません。 %s "},
        {texts::kCannotCreateFormat, "ファイル \"%s\" を作成できません。%s"},
        {texts::kWriteError, "ストリームへの書き込みエラー"},
        {texts::kListIndexFormat, "リストのインデックスが範囲を超えています (%d)"},
        {texts::kHeaderRow, "\"フリガナ\",\"氏名\",\"敬称\",\"郵便番号\",\"住所1\",\"住所2\",\"連名1\",\"連名2\",\"連名3\",\"連名4\""},
        {texts::kIdeographicSpace, "　"},
        {texts::kPostalMark, "〒"},
        {texts::kFullwidthHyphen, "－"},
        {texts::kDefaultHonorific, "様"},
        {texts::kSpouseMarker, "配偶者印刷:"},
        {texts::kChildrenMarker, "子ども印刷:"},
        {texts::kOutOfMemory, "メモリが足りません"},
        {texts::kChooseSourceFirst, "先に変換元ファイルを指定して下さい"},
        {texts::kTemplateTooLarge, "テンプレートのファイルが大きすぎます。1 MB までのCSVファイルを指定して下さい"},
        {texts::kTemplateEmpty, "テンプレートのファイルが空です"},
        {texts::kTemplateNotText, "テンプレートのファイルはCSVではありません。文字として読めないデータが含まれています"},
        {texts::kTemplateNoHeader, "テンプレートに見出しの行がありません。姓・名・住所など、列の名前が3つ以上並んだ行が必要です"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(test::Hex(c.constant), test::Hex(test::Sjis(c.utf8))) << c.utf8;
    }
    EXPECT_EQ(texts::kHeaderRow.size(), 83u);
}

}  // namespace
}  // namespace kartovo
