#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "Cp932Encoder.h"
#include "CsvRows.h"
#include "CsvLayout.h"

namespace kartovo {
namespace {

struct Substitution {
    Field from = Field::None;
    Field to = Field::None;
};

// A form's own header row as it writes it, in UTF-8; the vocabulary finds
// its columns. A built-in form that wants a value in a shape other than the
// vocabulary's own says so by substitutions.
struct BuiltIn {
    std::string_view name;
    std::string_view title;
    std::string_view yearKnown;
    std::string_view header;
    Encoding encoding;
    std::string_view lineEnd;
    Quoting quoting;
    std::array<Substitution, 2> substitutions;
};

const BuiltIn kBuiltIns[] = {
    // Today's file, which label programs take through their own column-mapping
    // dialogs: the postal code and the joint names as the address book has them.
    {"standard", "CSV（標準）", "",
     R"csv("フリガナ","氏名","敬称","郵便番号","住所1","住所2","連名1","連名2","連名3","連名4")csv",
     Encoding::Cp932, "\r\n", Quoting::Always, {{{Field::PostalHyphenated, Field::PostalCode}, {Field::JointGiven, Field::JointFull}}}},
    {"kitamura", "カメラのキタムラ用 CSV", "2022",
     R"csv(姓1,名1,敬称1,姓2,名2,敬称2,姓3,名3,敬称3,姓4,名4,敬称4,姓5,名5,敬称5,姓6,名6,敬称6,〒番号,住所1,住所2,住所3,会社名,部署,役職,御中)csv",
     Encoding::Cp932, "\r\n", Quoting::Never, {}},
    // Its header quotes only the cells that carry a ※ note.
    {"nengakazoku", "年賀家族用 CSV", "",
     R"csv("お名前（姓）※必須","お名前（名）※必須","敬称※必須","フリガナ（セイ）","フリガナ（メイ）","自宅郵便番号※必須","自宅住所１※必須",自宅住所２,自宅住所３,自宅住所４,様方,連名１（姓）,連名１（名）,連名１敬称,連名２（姓）,連名２（名）,連名２敬称,連名３（姓）,連名３（名）,連名３敬称,連名４（姓）,連名４（名）,連名４敬称,連名５（姓）,連名５（名）,連名５敬称,"会社名１※法人の場合必須",会社名２,部署名１,部署名２,役職１,役職２,"会社郵便番号※法人の場合必須","会社住所１※法人の場合必須",会社住所２,会社住所３,会社住所４,会社連名１（姓）,会社連名１（名）,会社連名１敬称,会社連名１役職,会社連名１役職２行目,会社連名２（姓）,会社連名２（名）,会社連名２敬称,会社連名２役職１行目,会社連名２役職２行目)csv",
     Encoding::Cp932, "\r\n", Quoting::WhereNeeded, {}},
    {"epson", "EPSON Photo+ 用 CSV（25列）", "",
     R"csv(姓,名,フリガナ,敬称,自宅 7桁〒,住所１,住所２,会社名_カラリオ,部署名_カラリオ,役職名_カラリオ,連姓1,連姓2,連姓3,連姓4,連姓5,連名1,連名2,連名3,連名4,連名5,敬称(連名１),敬称(連名２),敬称(連名３),敬称(連名４),敬称(連名５))csv",
     Encoding::Cp932, "\r\n", Quoting::WhereNeeded, {}},
    {"atenashokunin", "宛名職人用 CSV", "",
     R"csv(姓,名,姓かな,名かな,姓名,姓名かな,ミドルネーム,ミドルネームかな,敬称,ニックネーム,旧姓,宛先,自宅〒,自宅住所1,自宅住所2,自宅住所3,自宅電話,自宅IM ID,自宅E-mail,自宅URL,自宅Social,会社〒,会社住所1,会社住所2,会社住所3,会社電話,会社IM ID,会社E-mail,会社URL,会社Social,その他〒,その他住所1,その他住所2,その他住所3,その他電話,その他IM ID,その他E-mail,その他URL,その他Social,会社名かな,会社名,部署名1,部署名2,役職名,連名,連名ふりがな,連名敬称,連名誕生日,メモ1,メモ2,メモ3,メモ4,メモ5,備考1,備考2,備考3,誕生日,性別,血液型,趣味,性格)csv",
     Encoding::Utf8WithBom, "\r\n", Quoting::WhereNeeded, {}},
    {"hagakikit", "はがきデザインキット用 CSV", "",
     R"csv(氏名(姓),氏名(名),フリガナ(姓),フリガナ(名),リスト表示用氏名,リスト表示用フリガナ,郵便番号(自宅欄),自宅住所(都道府県),自宅住所(市区町村),自宅住所(番地等),自宅住所(建物名),会社名(会社欄),部署名(会社欄),役職(会社欄),郵便番号(会社欄),会社住所(都道府県),会社住所(市区町村),会社住所(番地等),会社住所(建物名),敬称,連名1(姓:自宅欄),連名1(名:自宅欄),連名1(姓名:自宅欄),連名1(敬称:自宅欄),連名2(姓:自宅欄),連名2(名:自宅欄),連名2(姓名:自宅欄),連名2(敬称:自宅欄),連名3(姓:自宅欄),連名3(名:自宅欄),連名3(姓名:自宅欄),連名3(敬称:自宅欄),連名4(姓:会社欄),連名4(名:会社欄),連名4(姓名:会社欄),連名4(敬称:会社欄),連名5(姓:会社欄),連名5(名:会社欄),連名5(姓名:会社欄),連名5(敬称:会社欄),連名6(姓:会社欄),連名6(名:会社欄),連名6(姓名:会社欄),連名6(敬称:会社欄),カテゴリ,送受履歴,,送信,受信,あ)csv",
     Encoding::Cp932, "\r\n", Quoting::WhereNeeded, {}},
    // The page takes seven digits only, and no comma in any value.
    {"nenga-atena", "nenga-atena 用 CSV", "",
     R"csv(印刷,姓,名,郵便番号,都道府県,市区町村,番地,建物名等,連名1,連名2,連名3)csv",
     Encoding::Utf8, "\n", Quoting::Never, {{{Field::PostalHyphenated, Field::PostalDigits}}}},
};

Layout MakeLayout(const BuiltIn& form) {
    Layout layout;
    layout.name = form.name;
    layout.title = form.title;
    layout.yearKnown = form.yearKnown;
    layout.columns = ColumnsOf(SplitCsvRows(form.header).front().cells);
    for (Column& column : layout.columns) {
        for (const Substitution& substitution : form.substitutions) {
            if (substitution.from != Field::None && column.field == substitution.from) column.field = substitution.to;
        }
    }
    layout.headerBytes = form.encoding == Encoding::Cp932 ? Utf8ToCp932()(form.header) : std::string(form.header);
    layout.encoding = form.encoding;
    layout.lineEnd = form.lineEnd;
    layout.quoting = form.quoting;
    return layout;
}

}  // namespace

const Layout& StandardLayout() {
    // Made alone: a run in it, the usual one, has no need of the others.
    static const Layout layout = MakeLayout(kBuiltIns[0]);
    return layout;
}

const std::vector<Layout>& BuiltInLayouts() {
    static const std::vector<Layout> layouts = [] {
        std::vector<Layout> made;
        for (const BuiltIn& form : kBuiltIns) made.push_back(MakeLayout(form));
        return made;
    }();
    return layouts;
}

const Layout* FindLayout(std::string_view name) {
    const std::vector<Layout>& layouts = BuiltInLayouts();
    const auto found = std::find_if(layouts.begin(), layouts.end(), [name](const Layout& layout) { return layout.name == name; });
    return found == layouts.end() ? nullptr : &*found;
}

}  // namespace kartovo
