// The vocabulary of column names: what each header text asks for. Forms
// write one name many ways (氏名(姓), お名前（姓）※必須, 姓1; 自宅〒,
// 自宅 7桁〒, 郵便番号(自宅欄)), so a name is first brought to one form and
// then read piece by piece: who (the contact, a joint person), what (a name,
// its reading, the honorific, a part of the home address). Every piece must
// match whole, so the columns of a company or another address (会社住所１,
// 連名4(姓:会社欄), その他〒) name nothing Kartovo writes.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "CsvLayout.h"
#include "Unicode.h"

namespace kartovo {
namespace {

enum class Role { None, Family, Given, Full, FamilyReading, GivenReading, FullReading, Honorific };

constexpr std::string_view kNote = "※";
constexpr std::string_view kRequired = "必須";
// Longer than any column name, in bytes: a cell of a template's
// instructions may be a whole paragraph, not worth bringing to form.
constexpr std::size_t kLongestName = 120;

// Full-width Latin letters, digits and signs as their ASCII forms, and no
// blanks: headers write the same name both ways.
std::string Folded(std::string_view text) {
    std::u16string folded;
    for (char16_t unit : Utf8ToUtf16(text)) {
        if (unit >= u'\uFF01' && unit <= u'\uFF5E') unit = static_cast<char16_t>(unit - 0xFEE0);
        if (unit != u' ' && unit != u'\u3000' && unit != u'\t') folded.push_back(unit);
    }
    return Utf16ToUtf8(folded);
}

struct HeaderName {
    std::string text;  // folded, without its note
    bool required = false;
};

// A "※..." note after a name says how the column is used; only ※必須 matters.
HeaderName Normalized(std::string_view cell) {
    HeaderName name;
    if (cell.size() > kLongestName) return name;
    const std::size_t note = cell.find(kNote);
    if (note != std::string_view::npos) {
        name.required = Folded(cell.substr(note + kNote.size())) == kRequired;
        cell = cell.substr(0, note);
    }
    name.text = Folded(cell);
    return name;
}

void EraseAll(std::string& text, std::string_view piece) {
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at)) {
        text.erase(at, piece.size());
    }
}

// The home address is the one Kartovo writes, so saying so changes nothing.
std::string WithoutHomeMarks(std::string text) {
    EraseAll(text, "(自宅欄)");
    EraseAll(text, ":自宅欄");
    constexpr std::string_view kHome = "自宅";
    if (std::string_view(text).starts_with(kHome)) text.erase(0, kHome.size());
    return text;
}

struct Bracketed {
    std::string_view base;
    std::string_view inner;
};

// "A(B)" as A and B; a name that does not end in a bracket is all base.
Bracketed SplitBracket(std::string_view text) {
    const std::size_t open = text.find('(');
    if (!text.ends_with(')') || open == std::string_view::npos) return {text, {}};
    return {text.substr(0, open), text.substr(open + 1, text.size() - open - 2)};
}

// Takes a word for the reading off the end (姓かな, フリガナ), and gives the
// empty text for a word that names the whole name (氏名, 名前かな).
std::string_view Reduced(std::string_view text, bool& reading) {
    constexpr std::string_view kReadingWords[] = {"フリガナ", "ふりがな", "ヨミガナ", "よみがな", "カナ",
                                                  "かな",     "ヨミ",     "よみ",     "読み"};
    constexpr std::string_view kWholeNameWords[] = {"氏名", "名前", "お名前", "姓名", "リスト表示用氏名", "リスト表示用"};
    for (const std::string_view word : kReadingWords) {
        if (text.ends_with(word)) {
            text.remove_suffix(word.size());
            reading = true;
            break;
        }
    }
    const bool whole = std::find(std::begin(kWholeNameWords), std::end(kWholeNameWords), text) != std::end(kWholeNameWords);
    return whole ? std::string_view() : text;
}

Role PartRole(std::string_view part, bool reading) {
    struct Part {
        std::string_view text;
        Role name;
        Role read;
    };
    constexpr Part kParts[] = {
        {"", Role::Full, Role::FullReading},
        {"姓", Role::Family, Role::FamilyReading},
        {"名", Role::Given, Role::GivenReading},
        {"セイ", Role::FamilyReading, Role::FamilyReading},
        {"せい", Role::FamilyReading, Role::FamilyReading},
        {"メイ", Role::GivenReading, Role::GivenReading},
        {"めい", Role::GivenReading, Role::GivenReading},
        {"敬称", Role::Honorific, Role::None},
    };
    for (const Part& p : kParts) {
        if (p.text == part) return reading ? p.read : p.name;
    }
    return Role::None;
}

// What a name, not a number or an address, stands for: 姓, 氏名(姓),
// フリガナ（セイ）, 姓かな, 名前かな, 敬称, (姓名).
Role NameRole(std::string_view text) {
    if (text.empty()) return Role::None;
    const Bracketed split = SplitBracket(text);
    bool reading = false;
    std::string_view part = Reduced(split.base, reading);
    if (!split.inner.empty()) {
        if (!part.empty()) return Role::None;
        part = Reduced(split.inner, reading);
    }
    return PartRole(part, reading);
}

Field ContactField(Role role) {
    switch (role) {
        case Role::Family: return Field::FamilyName;
        case Role::Given: return Field::GivenName;
        case Role::Full: return Field::FullName;
        case Role::FamilyReading: return Field::FamilyReading;
        case Role::GivenReading: return Field::GivenReading;
        case Role::FullReading: return Field::FullReading;
        case Role::Honorific: return Field::Honorific;
        case Role::None: break;
    }
    return Field::None;
}

Field JointField(Role role) {
    switch (role) {
        case Role::Family: return Field::JointFamily;
        case Role::Given: return Field::JointGiven;
        case Role::Full: return Field::JointFull;
        case Role::FamilyReading:
        case Role::GivenReading:
        case Role::FullReading: return Field::JointReading;
        case Role::Honorific: return Field::JointHonorific;
        case Role::None: break;
    }
    return Field::None;
}

// The number that starts `text` (連名 "1"), taken off it: 0 when there is
// none, -1 when it numbers no one (0, or more digits than any form has).
int TakeLeadingNumber(std::string_view& text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0) return 0;
    if (digits > 2) return -1;
    int number = 0;
    for (std::size_t i = 0; i < digits; ++i) number = number * 10 + (text[i] - '0');
    text.remove_prefix(digits);
    return number == 0 ? -1 : number;
}

// The number that ends `text` (姓 "2"), taken off it; 0 when there is none.
int TakeTrailingNumber(std::string_view& text) {
    std::size_t start = text.size();
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
    std::string_view number = text.substr(start);
    const int value = TakeLeadingNumber(number);
    if (value > 0) text.remove_suffix(text.size() - start);
    return std::max(value, 0);
}

// 連名N..., 連姓N and 敬称(連名N). False when the name is none of them.
bool ReadJointName(std::string_view text, Column& column) {
    constexpr std::string_view kJointName = "連名";
    constexpr std::string_view kJointFamily = "連姓";
    std::string moved;
    const Bracketed split = SplitBracket(text);
    if (split.inner.starts_with(kJointName)) text = moved = std::string(split.inner) + std::string(split.base);
    const bool family = text.starts_with(kJointFamily);
    if (!family && !text.starts_with(kJointName)) return false;
    text.remove_prefix(kJointName.size());
    const int person = TakeLeadingNumber(text);
    if (person < 0) return true;
    // A bare 連名 is the given name, printed beside the contact's family name.
    const Role bare = family ? Role::Family : Role::Given;
    column.field = JointField(text.empty() ? bare : family ? Role::None : NameRole(text));
    column.person = column.field == Field::None ? 0 : person;
    return true;
}

// 姓1, 名2, 敬称3 (1 is the contact, 2 the first joint person) and 住所N.
// False when the name ends in no number.
bool ReadNumberedName(std::string_view text, Column& column) {
    const int number = TakeTrailingNumber(text);
    if (number == 0) return false;
    if (text == "住所") {
        column.field = number == 1 ? Field::AddressLine1 : number == 2 ? Field::AddressLine2 : Field::EmptyAddressLine;
        return true;
    }
    const Role role = NameRole(text);
    column.field = number == 1 ? ContactField(role) : JointField(role);
    column.person = number == 1 || column.field == Field::None ? 0 : number - 1;
    return true;
}

Field PostalField(std::string text) {
    const std::size_t before = text.size();
    EraseAll(text, "7桁");
    const bool digits = text.size() != before;
    constexpr std::string_view kNames[] = {"郵便番号", "〒", "〒番号", "郵便"};
    if (std::find(std::begin(kNames), std::end(kNames), text) == std::end(kNames)) return Field::None;
    return digits ? Field::PostalDigits : Field::PostalHyphenated;
}

// The home address's parts, the postal code and the print flag.
Field PlaceField(std::string_view text) {
    const Bracketed split = SplitBracket(text);
    if (split.base == "住所" && !split.inner.empty()) text = split.inner;
    struct Name {
        std::string_view text;
        Field field;
    };
    constexpr Name kNames[] = {
        {"住所", Field::AddressLine1},      {"都道府県", Field::Prefecture},     {"市区町村", Field::Locality},
        {"市町村", Field::Locality},        {"市区郡町村", Field::Locality},     {"番地", Field::Street},
        {"番地等", Field::Street},          {"町名番地", Field::Street},         {"建物名", Field::Extended},
        {"建物名等", Field::Extended},      {"建物", Field::Extended},           {"建物名・部屋番号", Field::Extended},
        {"印刷", Field::PrintFlag},
    };
    for (const Name& name : kNames) {
        if (name.text == text) return name.field;
    }
    return PostalField(std::string(text));
}

struct StatedLimit {
    std::string_view header;
    int maxChars;
};

// 挨拶状ドットコム's template states these limits above its header row,
// which two names no other form has make known.
constexpr std::string_view kGreetingFormSigns[] = {"登録グループ", "旧字メモ"};
constexpr StatedLimit kGreetingFormLimits[] = {{"住所1", 25}, {"住所2", 40}, {"名前(姓)", 8}, {"名前(名)", 8}};

void ApplyStatedLimits(const std::vector<std::string>& names, std::vector<Column>& columns) {
    const auto has = [&names](std::string_view sign) { return std::find(names.begin(), names.end(), sign) != names.end(); };
    if (!std::all_of(std::begin(kGreetingFormSigns), std::end(kGreetingFormSigns), has)) return;
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (const StatedLimit& limit : kGreetingFormLimits) {
            if (names[i] == limit.header) columns[i].maxChars = limit.maxChars;
        }
    }
}

// Where no name of the contact's is numbered, 敬称N stands beside 連名N.
void GiveHonorificsToJointNames(const std::vector<std::string>& names, std::vector<Column>& columns) {
    if (std::find(names.begin(), names.end(), "姓1") != names.end() ||
        std::find(names.begin(), names.end(), "名1") != names.end()) {
        return;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view text = names[i];
        const int number = TakeTrailingNumber(text);
        if (number == 0 || text != "敬称") continue;
        columns[i].field = Field::JointHonorific;
        columns[i].person = number;
    }
}

}  // namespace

Column ColumnOf(std::string_view headerCell) {
    Column column;
    column.header = std::string(headerCell);
    const HeaderName name = Normalized(headerCell);
    column.required = name.required;
    const std::string text = WithoutHomeMarks(name.text);
    if (ReadJointName(text, column) || ReadNumberedName(text, column)) return column;
    column.field = PlaceField(text);
    if (column.field == Field::None) column.field = ContactField(NameRole(text));
    return column;
}

std::vector<Column> ColumnsOf(const std::vector<std::string>& headerCells) {
    std::vector<Column> columns;
    std::vector<std::string> names;
    for (const std::string& cell : headerCells) {
        columns.push_back(ColumnOf(cell));
        names.push_back(WithoutHomeMarks(Normalized(cell).text));
    }
    if (!headerCells.empty() && headerCells.front().empty()) columns.front().field = Field::RowId;
    GiveHonorificsToJointNames(names, columns);
    ApplyStatedLimits(names, columns);
    return columns;
}

}  // namespace kartovo
