#include "CsvLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "Converter.h"
#include "CsvRows.h"
#include "Failure.h"
#include "TestSupport.h"
#include "Texts.h"

namespace kartovo {
namespace {

// The header rows as the forms write them.
constexpr std::string_view kStandard =
    R"csv("フリガナ","氏名","敬称","郵便番号","住所1","住所2","連名1","連名2","連名3","連名4")csv";
constexpr std::string_view kKitamura2022 =
    R"csv(姓1,名1,敬称1,姓2,名2,敬称2,姓3,名3,敬称3,姓4,名4,敬称4,姓5,名5,敬称5,姓6,名6,敬称6,〒番号,住所1,住所2,住所3,会社名,部署,役職,御中)csv";
constexpr std::string_view kKitamura2019 =
    R"csv(宛名区分,郵便番号,住所1,住所2,住所3,姓1,名1,敬称1,姓2,名2,敬称2,姓3,名3,敬称3,姓4,名4,敬称4,姓5,名5,敬称5,姓6,名6,敬称6,会社名,部署1,部署2,役職,御中,印刷フラグ,グループ名)csv";
constexpr std::string_view kNengaKazoku =
    R"csv("お名前（姓）※必須","お名前（名）※必須","敬称※必須","フリガナ（セイ）","フリガナ（メイ）","自宅郵便番号※必須","自宅住所１※必須",自宅住所２,自宅住所３,自宅住所４,様方,連名１（姓）,連名１（名）,連名１敬称,連名２（姓）,連名２（名）,連名２敬称,連名３（姓）,連名３（名）,連名３敬称,連名４（姓）,連名４（名）,連名４敬称,連名５（姓）,連名５（名）,連名５敬称,"会社名１※法人の場合必須",会社名２,部署名１,部署名２,役職１,役職２,"会社郵便番号※法人の場合必須","会社住所１※法人の場合必須",会社住所２,会社住所３,会社住所４,会社連名１（姓）,会社連名１（名）,会社連名１敬称,会社連名１役職,会社連名１役職２行目,会社連名２（姓）,会社連名２（名）,会社連名２敬称,会社連名２役職１行目,会社連名２役職２行目)csv";
constexpr std::string_view kEpson25 =
    R"csv(姓,名,フリガナ,敬称,自宅 7桁〒,住所１,住所２,会社名_カラリオ,部署名_カラリオ,役職名_カラリオ,連姓1,連姓2,連姓3,連姓4,連姓5,連名1,連名2,連名3,連名4,連名5,敬称(連名１),敬称(連名２),敬称(連名３),敬称(連名４),敬称(連名５))csv";
constexpr std::string_view kEpson15 =
    R"csv(氏名,敬称,郵便番号,住所１,住所２,連名１,敬称１,連名２,敬称２,連名３,敬称３,連名４,敬称４,連名５,敬称５)csv";
constexpr std::string_view kAtenaShokunin =
    R"csv(姓,名,姓かな,名かな,姓名,姓名かな,ミドルネーム,ミドルネームかな,敬称,ニックネーム,旧姓,宛先,自宅〒,自宅住所1,自宅住所2,自宅住所3,自宅電話,自宅IM ID,自宅E-mail,自宅URL,自宅Social,会社〒,会社住所1,会社住所2,会社住所3,会社電話,会社IM ID,会社E-mail,会社URL,会社Social,その他〒,その他住所1,その他住所2,その他住所3,その他電話,その他IM ID,その他E-mail,その他URL,その他Social,会社名かな,会社名,部署名1,部署名2,役職名,連名,連名ふりがな,連名敬称,連名誕生日,メモ1,メモ2,メモ3,メモ4,メモ5,備考1,備考2,備考3,誕生日,性別,血液型,趣味,性格)csv";
constexpr std::string_view kHagakiKit =
    R"csv(氏名(姓),氏名(名),フリガナ(姓),フリガナ(名),リスト表示用氏名,リスト表示用フリガナ,郵便番号(自宅欄),自宅住所(都道府県),自宅住所(市区町村),自宅住所(番地等),自宅住所(建物名),会社名(会社欄),部署名(会社欄),役職(会社欄),郵便番号(会社欄),会社住所(都道府県),会社住所(市区町村),会社住所(番地等),会社住所(建物名),敬称,連名1(姓:自宅欄),連名1(名:自宅欄),連名1(姓名:自宅欄),連名1(敬称:自宅欄),連名2(姓:自宅欄),連名2(名:自宅欄),連名2(姓名:自宅欄),連名2(敬称:自宅欄),連名3(姓:自宅欄),連名3(名:自宅欄),連名3(姓名:自宅欄),連名3(敬称:自宅欄),連名4(姓:会社欄),連名4(名:会社欄),連名4(姓名:会社欄),連名4(敬称:会社欄),連名5(姓:会社欄),連名5(名:会社欄),連名5(姓名:会社欄),連名5(敬称:会社欄),連名6(姓:会社欄),連名6(名:会社欄),連名6(姓名:会社欄),連名6(敬称:会社欄),カテゴリ,送受履歴,,送信,受信,あ)csv";
constexpr std::string_view kNengaAtena =
    R"csv(印刷,姓,名,郵便番号,都道府県,市区町村,番地,建物名等,連名1,連名2,連名3)csv";
constexpr std::string_view kGreetingForm =
    R"csv(,登録グループ,名前(姓),名前(名),名前かな,敬称,連名１　名前（姓）,連名１　名前（名）,連名１　敬称,連名２　名前（姓）,連名２　名前（名）,連名２　敬称,連名３　名前（姓）,連名３　名前（名）,連名３　敬称,郵便番号,住所1,住所2,旧字メモ,Ｅ−ＭＡＩＬ,ＵＲＬ)csv";

// One token a column: what it holds ("." nothing), the joint person's
// number, "*" when required and "<N" for a limit.
std::string Tokens(const std::vector<Column>& columns) {
    struct Code {
        Field field;
        const char* code;
        bool joint = false;
    };
    constexpr Code kCodes[] = {
        {Field::None, "."},          {Field::FamilyName, "F"},          {Field::GivenName, "G"},
        {Field::FullName, "N"},      {Field::FamilyReading, "f"},       {Field::GivenReading, "g"},
        {Field::FullReading, "n"},   {Field::Honorific, "H"},           {Field::PostalCode, "Z"},
        {Field::PostalDigits, "Z7"}, {Field::PostalHyphenated, "Z-"},   {Field::Prefecture, "Pr"},
        {Field::Locality, "Lo"},     {Field::Street, "St"},             {Field::Extended, "Ex"},
        {Field::AddressLine1, "A1"}, {Field::AddressLine2, "A2"},       {Field::EmptyAddressLine, "A0"},
        {Field::JointFamily, "JF", true}, {Field::JointGiven, "JG", true}, {Field::JointFull, "JN", true},
        {Field::JointHonorific, "JH", true}, {Field::JointReading, "JR", true}, {Field::PrintFlag, "!"},
        {Field::RowId, "#"},
    };
    std::string out;
    for (const Column& column : columns) {
        if (!out.empty()) out += ' ';
        for (const Code& code : kCodes) {
            if (code.field != column.field) continue;
            out += code.code;
            if (code.joint) out += std::to_string(column.person);
        }
        if (column.required) out += '*';
        if (column.maxChars > 0) out += '<' + std::to_string(column.maxChars);
    }
    return out;
}

std::vector<Column> ColumnsOfRow(std::string_view header) { return ColumnsOf(SplitCsvRows(header).front().cells); }

TEST(Layout, EveryFormsHeaderRowNamesItsPersonAndHomeColumns) {
    struct Case {
        std::string_view header;
        const char* columns;
    };
    const Case cases[] = {
        {kStandard, "n N H Z- A1 A2 JG1 JG2 JG3 JG4"},
        {kKitamura2022, "F G H JF1 JG1 JH1 JF2 JG2 JH2 JF3 JG3 JH3 JF4 JG4 JH4 JF5 JG5 JH5 Z- A1 A2 A0 . . . ."},
        {kKitamura2019, ". Z- A1 A2 A0 F G H JF1 JG1 JH1 JF2 JG2 JH2 JF3 JG3 JH3 JF4 JG4 JH4 JF5 JG5 JH5 . . . . . . ."},
        {kNengaKazoku, "F* G* H* f g Z-* A1* A2 A0 A0 . JF1 JG1 JH1 JF2 JG2 JH2 JF3 JG3 JH3 JF4 JG4 JH4 JF5 JG5 JH5"
                       " . . . . . . . . . . . . . . . . . . . . ."},
        {kEpson25, "F G n H Z7 A1 A2 . . . JF1 JF2 JF3 JF4 JF5 JG1 JG2 JG3 JG4 JG5 JH1 JH2 JH3 JH4 JH5"},
        {kEpson15, "N H Z- A1 A2 JG1 JH1 JG2 JH2 JG3 JH3 JG4 JH4 JG5 JH5"},
        {kAtenaShokunin, "F G f g N n . . H . . . Z- A1 A2 A0 . . . . . . . . . . . . . . . . . . . . . . . . . . . ."
                         " JG0 JR0 JH0 . . . . . . . . . . . . . ."},
        {kHagakiKit, "F G f g N n Z- Pr Lo St Ex . . . . . . . . H JF1 JG1 JN1 JH1 JF2 JG2 JN2 JH2 JF3 JG3 JN3 JH3"
                     " . . . . . . . . . . . . . . . . . ."},
        {kNengaAtena, "! F G Z- Pr Lo St Ex JG1 JG2 JG3"},
        {kGreetingForm, "# . F<8 G<8 n H JF1 JG1 JH1 JF2 JG2 JH2 JF3 JG3 JH3 Z- A1<25 A2<40 . . ."},
        // Spellings no form above uses.
        {"セイ,メイ,自宅住所（都道府県）,市町村,番地等,建物名,住所3,連名２　敬称,〒,電話※必須",
         "f g Pr Lo St Ex A0 JH2 Z- .*"},
    };
    for (const Case& c : cases) EXPECT_EQ(Tokens(ColumnsOfRow(c.header)), c.columns) << c.header;
}

TEST(Layout, BuiltInsWriteTheFormsHeaderRowsExactly) {
    struct Case {
        const char* name;
        std::string_view header;
        Encoding encoding;
        const char* lineEnd;
        Quoting quoting;
    };
    const Case cases[] = {
        {"standard", kStandard, Encoding::Cp932, "\r\n", Quoting::Always},
        {"kitamura", kKitamura2022, Encoding::Cp932, "\r\n", Quoting::Never},
        {"nengakazoku", kNengaKazoku, Encoding::Cp932, "\r\n", Quoting::WhereNeeded},
        {"epson", kEpson25, Encoding::Cp932, "\r\n", Quoting::WhereNeeded},
        {"atenashokunin", kAtenaShokunin, Encoding::Utf8WithBom, "\r\n", Quoting::WhereNeeded},
        {"hagakikit", kHagakiKit, Encoding::Cp932, "\r\n", Quoting::WhereNeeded},
        {"nenga-atena", kNengaAtena, Encoding::Utf8, "\n", Quoting::Never},
    };
    ASSERT_EQ(BuiltInLayouts().size(), std::size(cases));
    for (const Case& c : cases) {
        const Layout* layout = FindLayout(c.name);
        ASSERT_NE(layout, nullptr) << c.name;
        const std::string bytes = c.encoding == Encoding::Cp932 ? test::Sjis(c.header) : std::string(c.header);
        EXPECT_EQ(layout->headerBytes, bytes) << c.name;
        EXPECT_EQ(layout->columns.size(), SplitCsvRows(c.header).front().cells.size()) << c.name;
        EXPECT_TRUE(layout->encoding == c.encoding && layout->lineEnd == c.lineEnd && layout->quoting == c.quoting) << c.name;
    }
    EXPECT_EQ(BuiltInLayouts().front().headerBytes, texts::kHeaderRow);
    // Values in the shape the form takes, not the vocabulary's own.
    EXPECT_EQ(Tokens(FindLayout("standard")->columns), "n N H Z A1 A2 JN1 JN2 JN3 JN4");
    EXPECT_EQ(Tokens(FindLayout("nenga-atena")->columns), "! F G Z7 Pr Lo St Ex JG1 JG2 JG3");
}

// A print service's form: instructions (one cell spanning lines, quotes and
// commas; one row naming two columns), the header at row 15, its
// explanation and a sample.
std::string GreetingFormText(std::string_view lineEnd) {
    std::vector<std::string> rows = {
        "宛名データ入力用テンプレート",
        R"(,"ご注意: 1行に1件、""NO1"" から順に入力して下さい。
改行を含むセルもそのまま","表示, ソ")",
        ",姓,名,は必ず入力して下さい",
    };
    for (int n = 4; n <= 14; ++n) rows.push_back("説明" + std::to_string(n) + ",,");
    std::string header(kGreetingForm);
    const std::string_view family = "名前(姓)";
    rows.push_back(header.insert(header.find(family) + family.size(), "※必須"));
    rows.push_back(",グループ名,姓,名,かな,様など,,,,,,,,,,123-4567,25文字まで,40文字まで,,,");
    rows.push_back("NO0,見本,見本,一郎,みほんいちろう,様,,,,,,,,,,100-0000,東京都見本区見本町1-2-3,見本荘101,,,");
    std::string text;
    for (const std::string& row : rows) text += row + std::string(lineEnd);
    return text;
}

TEST(Layout, TemplateKeepsItsRowsAndFindsItsHeaderBelowInstructions) {
    struct Case {
        std::string bytes;
        std::size_t bomSize;
        Encoding encoding;
        const char* lineEnd;
    };
    const Case cases[] = {
        {test::Sjis(GreetingFormText("\r\n")), 0, Encoding::Cp932, "\r\n"},
        {"\xEF\xBB\xBF" + GreetingFormText("\n"), 3, Encoding::Utf8WithBom, "\n"},
        {GreetingFormText("\r\n"), 0, Encoding::Utf8, "\r\n"},
    };
    for (const Case& c : cases) {
        const Layout layout = ReadTemplate(c.bytes);
        std::string kept;
        for (const std::string& row : layout.keptRows) kept += row;
        EXPECT_TRUE(test::SameLines(kept, std::string_view(c.bytes).substr(c.bomSize)));
        ASSERT_EQ(layout.keptRows.size(), 17u);
        EXPECT_EQ(layout.keptRows[14], layout.headerBytes + c.lineEnd);
        EXPECT_EQ(layout.rowsBelowHeader, 2u);
        EXPECT_TRUE(layout.encoding == c.encoding && layout.lineEnd == c.lineEnd);
        EXPECT_EQ(Tokens(layout.columns), "# . F*<8 G<8 n H JF1 JG1 JH1 JF2 JG2 JH2 JF3 JG3 JH3 Z- A1<25 A2<40 . . .");
        EXPECT_EQ(layout.columns[2].header, "名前(姓)※必須");
    }
}

TEST(Layout, TemplateEndsWithItsLastRowThatHoldsText) {
    const std::string header = "姓,名,住所1";
    EXPECT_EQ(ReadTemplate(header).keptRows, std::vector<std::string>{header + "\r\n"});
    EXPECT_EQ(ReadTemplate(header + "\n,,\n\n").keptRows, std::vector<std::string>{header + "\n"});
    std::string largest = header + ",";
    largest.resize(kTemplateMaxBytes, 'x');
    EXPECT_EQ(ReadTemplate(largest).keptRows.size(), 1u);
}

TEST(Layout, UnusableTemplatesAreRefusedWithTheirReason) {
    struct Case {
        std::string bytes;
        std::string_view message;
    };
    const std::string header = "姓,名,住所1\r\n";
    const Case cases[] = {
        {"", texts::kTemplateEmpty},
        {header + std::string(kTemplateMaxBytes, ' '), texts::kTemplateTooLarge},
        {header + std::string(1, '\0'), texts::kTemplateNotText},
        {test::Sjis(header) + "\x81,", texts::kTemplateNotText},
        {"\xFF\xFE" + test::Sjis(header), texts::kTemplateNotText},
        {"\xEF\xBB\xBF" + test::Sjis(header), texts::kTemplateNotText},
        {"説明だけ,姓,名\r\n会社名,部署,役職\r\n", texts::kTemplateNoHeader},
    };
    for (const Case& c : cases) {
        try {
            ReadTemplate(c.bytes);
            ADD_FAILURE() << "accepted: " << Cp932ToUtf8(c.message);
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Message(), c.message);
        }
    }
    EXPECT_THROW(CheckTemplateSize(50u << 20), Failure);
}

// A contact with everything a layout can show: readings, a full home
// address, a spouse and two children printed, one of them named with a
// character that code page 932 lacks.
const std::string kFullContact =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nX-PHONETIC-LAST-NAME:ヤマダ\r\nX-PHONETIC-FIRST-NAME:タロウ\r\n"
    "ADR;TYPE=HOME:;サンプル荘101;本町1-2-3;中野区;東京都;〒164-0012;日本\r\n"
    "item1.X-ABRELATEDNAMES:花子\r\nitem1.X-ABLabel:_$!<Spouse>!$_\r\nitem2.X-ABRELATEDNAMES:一郎\r\n"
    "item2.X-ABLabel:_$!<Child>!$_\r\nitem3.X-ABRELATEDNAMES:𠮷子\r\nitem3.X-ABLabel:_$!<Child>!$_\r\n"
    "NOTE:配偶者印刷: true 子ども印刷: true\r\nEND:VCARD\r\n";

// Converts `source` into `layout` and returns the CSV's bytes and the run.
std::string Convert(const Layout& layout, const std::string& source, Converter& converter) {
    converter.UseLayout(layout);
    converter.ConvertText(source);
    return test::CsvText(converter.CsvList);
}

TEST(Layout, EachBuiltInWritesAContactWhole) {
    struct Case {
        const char* name;
        std::string row;  // UTF-8; code page 932 layouts' "?" stands for 𠮷
    };
    const Case cases[] = {
        {"standard", R"("ヤマダ　タロウ","山田　太郎","様","164-0012","東京都中野区本町1-2-3","サンプル荘101","花子","一郎","?子","")"},
        {"kitamura", "山田,太郎,様,,花子,様,,一郎,様,,?子,様,,,,,,,164-0012,東京都中野区本町1-2-3,サンプル荘101,,,,,"},
        {"nengakazoku", "山田,太郎,様,ヤマダ,タロウ,164-0012,東京都中野区本町1-2-3,サンプル荘101,,,,,花子,様,,一郎,様,,?子,様,,"
                        ",,,,,,,,,,,,,,,,,,,,,,,,,"},
        {"epson", "山田,太郎,ヤマダ　タロウ,様,1640012,東京都中野区本町1-2-3,サンプル荘101,,,,,,,,,花子,一郎,?子,,,様,様,様,,"},
        {"atenashokunin", "山田,太郎,ヤマダ,タロウ,山田　太郎,ヤマダ　タロウ,,,様,,,,164-0012,東京都中野区本町1-2-3,サンプル荘101"
                          ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,花子/一郎/𠮷子,,様/様/様,,,,,,,,,,,,,,"},
        {"hagakikit", "山田,太郎,ヤマダ,タロウ,山田　太郎,ヤマダ　タロウ,164-0012,東京都,中野区,本町1-2-3,サンプル荘101,,,,,,,,,様,,"
                      "花子,花子,様,,一郎,一郎,様,,?子,?子,様,,,,,,,,,,,,,,,,,,"},
        {"nenga-atena", "o,山田,太郎,1640012,東京都,中野区,本町1-2-3,サンプル荘101,花子,一郎,𠮷子"},
    };
    ASSERT_EQ(std::size(cases), BuiltInLayouts().size());
    for (const Case& c : cases) {
        const Layout& layout = *FindLayout(c.name);
        test::NoHost host;
        Converter converter(host);
        const std::string csv = Convert(layout, kFullContact, converter);
        const std::string bom = layout.encoding == Encoding::Utf8WithBom ? "\xEF\xBB\xBF" : "";
        const std::string row = layout.encoding == Encoding::Cp932 ? test::Sjis(c.row) : c.row;
        EXPECT_EQ(csv, bom + layout.headerBytes + layout.lineEnd + row + layout.lineEnd) << c.name;
        // What a layout in UTF-8 writes, it does not lose.
        EXPECT_EQ(converter.Lost.CountOf(kLostText), layout.encoding == Encoding::Cp932 ? 1 : 0) << c.name;
    }
}

// The service's form is filled in below its own rows: each contact an ID,
// and what breaks the form's limits named, the value written whole.
TEST(Layout, TemplateIsFilledInBelowItsRows) {
    const std::string contacts =
        "BEGIN:VCARD\r\nN:山田;左衛門之助太郎丸;;;\r\nADR;TYPE=HOME:;;本町1-2-3;中野区;東京都;164-0012;\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nN:;長谷川左衛門之助太;;;\r\nADR;TYPE=HOME:;;一丁目二番地三号四号棟五階;東京都千代田区丸の内;"
        "東京都;100-0005;\r\nEND:VCARD\r\n";
    const std::string rows[] = {
        ",,山田,左衛門之助太郎丸,,様,,,,,,,,,,164-0012,東京都中野区本町1-2-3,,,,",  // 8 characters: within
        ",,,長谷川左衛門之助太,,様,,,,,,,,,,100-0005,東京都東京都千代田区丸の内一丁目二番地三号四号棟五階,,,,"};
    for (const bool utf8 : {false, true}) {
        const std::string form = utf8 ? "\xEF\xBB\xBF" + GreetingFormText("\n") : test::Sjis(GreetingFormText("\r\n"));
        const std::string lineEnd = utf8 ? "\n" : "\r\n";
        test::NoHost host;
        Converter converter(host);
        const std::string csv = Convert(ReadTemplate(form), contacts, converter);
        std::string expected = form;
        for (int n = 1; n <= 2; ++n) {
            const std::string row = "NO" + std::to_string(n) + rows[n - 1];
            expected += (utf8 ? row : test::Sjis(row)) + lineEnd;
        }
        EXPECT_EQ(csv, expected) << utf8;
        ASSERT_EQ(converter.Lost.Entries().size(), 1u);
        EXPECT_EQ(converter.Lost.Entries()[0].characters,
                  "名前(姓)※必須が空です、名前(名)が8文字を超えています（9文字）、住所1が25文字を超えています（26文字）");
        // Code page 932 writes the minus sign as the full-width hyphen it reads back.
        EXPECT_EQ(WithNotes("", converter.Notes),
                  std::string("\n書き出した様式：テンプレート\n空のままの列：登録グループ、旧字メモ、") +
                      (utf8 ? "Ｅ−ＭＡＩＬ" : "Ｅ－ＭＡＩＬ") +
                      "、ＵＲＬ\nテンプレートの見出しの行の下に2行あります。見本の行なら、印刷の前に消してください。");
    }
}

}  // namespace
}  // namespace kartovo
