// A row in another layout than the present one: the columns its header
// names, each filled from the contact's texts, quoted as the layout wants.
#include <charconv>

#include "ByteSearch.h"
#include "Converter.h"
#include "Cp932.h"
#include "Texts.h"

namespace kartovo {
namespace {

// The digits of a postal code as written, ASCII or full-width (０, 82 4F,
// to ９, 82 58), and nothing else.
std::string PostalDigits(std::string_view postal) {
    std::string digits;
    for (std::size_t i = 0; i < postal.size(); i = NextCharPos(postal, i)) {
        const auto c = static_cast<unsigned char>(postal[i]);
        if (c >= '0' && c <= '9') digits.push_back(static_cast<char>(c));
        if (c == 0x82 && i + 1 < postal.size()) {
            const auto d = static_cast<unsigned char>(postal[i + 1]);
            if (d >= 0x4F && d <= 0x58) digits.push_back(static_cast<char>('0' + d - 0x4F));
        }
    }
    return digits;
}

// The cell's text, quoted where the layout wants it or the text needs it
// to stay one cell; a quote inside is doubled, and a CR or LF becomes a
// blank, as label programs read a line at a time. Most cells are empty or
// plain, and are appended whole.
void AppendCell(std::string& row, std::string_view text, bool alwaysQuoted, LossMarks::Cell& cell) {
    const char* end = text.data() + text.size();
    const char* special = FindAnyOf(text.data(), end, ',', '"', '\r', '\n');
    const bool quoted = alwaysQuoted || special != end;
    if (quoted) row.push_back('"');
    cell.start = row.size();
    if (special == end || *special == ',') {
        row.append(text);
    } else {
        for (const char c : text) {
            if (c == '"') row.push_back('"');
            row.push_back(c == '\r' || c == '\n' ? ' ' : c);
        }
    }
    cell.end = row.size();
    if (quoted) row.push_back('"');
}

}  // namespace

void Converter::WriteLayoutRow() {
    RowText.clear();
    // The joint persons printed, spouse first: 連名1 is the first of them.
    persons_ = 0;
    for (const std::string_view joint : contact_.joints) {
        if (!joint.empty()) personNames_[persons_++] = joint;
    }
    const bool alwaysQuoted = layout_.quoting == Quoting::Always;
    std::size_t commas = 0;  // one before each column but the first
    for (const std::size_t i : writtenColumns_) {
        RowText.append(i - commas, ',');
        commas = i;
        const Column& column = layout_.columns[i];
        LossMarks::Cell& cell = cells_[i];
        const std::string_view text = ColumnText(column);
        AppendCell(RowText, text, alwaysQuoted, cell);
        cell.values = ValuesShownBy(column);
        cell.street = column.field == Field::Street || column.field == Field::AddressLine1;
        if (column.maxChars > 0 || column.required) CheckLimit(column, text);
    }
    if (!layout_.columns.empty()) RowText.append(layout_.columns.size() - 1 - commas, ',');
}

std::uint16_t Converter::ValuesShownBy(const Column& column) const {
    switch (column.field) {
        case Field::FamilyName:
        case Field::GivenName:
        case Field::FullName:
        case Field::Honorific: return 1u << LossMarks::kName;
        case Field::FamilyReading:
        case Field::GivenReading:
        case Field::FullReading: return 1u << LossMarks::kReadingLast | 1u << LossMarks::kReadingFirst;
        case Field::PostalCode:
        case Field::PostalDigits:
        case Field::PostalHyphenated:
        case Field::Prefecture:
        case Field::Locality:
        case Field::Street:
        case Field::Extended:
        case Field::AddressLine1:
        case Field::AddressLine2: return 1u << LossMarks::kHomeAddress;
        case Field::JointGiven:
        case Field::JointFull: return JointSlots(column.person);
        default: return 0;
    }
}

std::uint16_t Converter::JointSlots(int person) const {
    // Joint person n is the n-th printed of spouse, children.
    std::uint16_t slots = 0;
    int printed = 0;
    for (std::size_t slot = 0; slot < contact_.joints.size(); ++slot) {
        if (contact_.joints[slot].empty()) continue;
        if (person == 0 || ++printed == person) slots |= static_cast<std::uint16_t>(1u << (LossMarks::kSpouse + slot));
    }
    return slots;
}

void Converter::CheckLimit(const Column& column, std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); i = NextCharPos(text, i)) ++characters;
    std::string problem;
    if (column.required && column.field != Field::None && text.empty()) {
        problem = column.header + "が空です";
    } else if (column.maxChars > 0 && characters > static_cast<std::size_t>(column.maxChars)) {
        problem = column.header + "が" + std::to_string(column.maxChars) + "文字を超えています（" +
                  std::to_string(characters) + "文字）";
    }
    if (problem.empty()) return;
    if (!limits_.empty()) limits_ += "、";
    limits_ += problem;
}

std::string_view Converter::ColumnText(const Column& column) {
    const auto joined = [this](std::string_view a, std::string_view b) -> std::string_view {
        if (a.empty() || b.empty()) return a.empty() ? b : a;
        cell_.assign(a).append(texts::kIdeographicSpace).append(b);
        return cell_;
    };
    switch (column.field) {
        case Field::FamilyName: return contact_.family;
        case Field::GivenName: return contact_.given;
        case Field::FullName: return joined(contact_.family, contact_.given);
        case Field::FamilyReading: return contact_.readingLast;
        case Field::GivenReading: return contact_.readingFirst;
        case Field::FullReading: return joined(contact_.readingLast, contact_.readingFirst);
        case Field::Honorific: return contact_.honorific;
        case Field::PostalCode: return contact_.postalCode;
        case Field::PostalDigits:
        case Field::PostalHyphenated: return PostalText(column.field == Field::PostalHyphenated);
        case Field::Prefecture: return contact_.region;
        case Field::Locality: return contact_.locality;
        case Field::Street: return contact_.street;
        case Field::Extended:
        case Field::AddressLine2: return contact_.extended;
        case Field::AddressLine1:
            cell_.assign(contact_.region).append(contact_.locality).append(contact_.street);
            return cell_;
        case Field::JointGiven:
        case Field::JointFull:
        case Field::JointHonorific: return JointText(column);
        case Field::PrintFlag: return "o";
        case Field::RowId: {
            char digits[24];
            cell_.assign("NO").append(digits, std::to_chars(digits, digits + sizeof digits, contactNumber_).ptr);
            return cell_;
        }
        case Field::JointFamily:  // the family name of a joint person is the contact's: left empty
        case Field::JointReading:
        case Field::EmptyAddressLine:
        case Field::None: return {};
    }
    return {};
}

std::string_view Converter::PostalText(bool hyphenated) {
    cell_ = PostalDigits(contact_.postalCode);
    if (cell_.size() != 7) return contact_.postalCode;  // written as it is, for the user to see
    if (hyphenated) cell_.insert(3, "-");
    return cell_;
}

std::string_view Converter::JointText(const Column& column) {
    const bool honorific = column.field == Field::JointHonorific;
    if (column.person != 0) {
        const auto n = static_cast<std::size_t>(column.person);
        const std::string_view name = n <= persons_ ? personNames_[n - 1] : std::string_view();
        return honorific && !name.empty() ? texts::kDefaultHonorific : name;
    }
    // Every joint person in one cell, joined by "/".
    cell_.clear();
    for (std::size_t i = 0; i < persons_; ++i) {
        cell_.append(i == 0 ? "" : "/").append(honorific ? texts::kDefaultHonorific : personNames_[i]);
    }
    return cell_;
}

}  // namespace kartovo
