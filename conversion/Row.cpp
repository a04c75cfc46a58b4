// The row of one contact, built from the values the store holds.
#include <array>

#include "Components.h"
#include "Converter.h"
#include "Cp932.h"
#include "Texts.h"

namespace kartovo {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kFieldSeparator = "\",\"";


// A field's text goes between double quotes; a quote inside it is doubled so
// that CSV readers keep the row's ten fields. A CR or LF can reach a field
// only through an overlong form in the source; it becomes a blank, since
// label programs read the file a line at a time and would cut the row.
void AppendFieldText(std::string& row, std::string_view text) {
    std::size_t done = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '"' && c != '\r' && c != '\n') continue;
        row.append(text.substr(done, i - done));
        row.append(c == '"' ? "\"\"" : " ");
        done = i + 1;
    }
    row.append(text.substr(done));
}

// Whether the text after a print marker in a note says "true": the first
// occurrence of the marker, one character skipped, then exactly "true",
// "True" or "TRUE" in the next four characters.
bool MarkerSaysTrue(std::string_view note, std::string_view marker) {
    const std::size_t found = FindOnBoundary(note, marker);
    if (found == std::string_view::npos) return false;
    std::size_t pos = found + marker.size();
    if (pos >= note.size()) return false;
    pos = NextCharPos(note, pos);  // the character after the colon, whatever it is
    const std::size_t start = pos;
    for (int taken = 0; taken < 4 && pos < note.size(); ++taken) pos = NextCharPos(note, pos);
    const std::string_view value = note.substr(start, pos - start);
    return value == "true"sv || value == "True"sv || value == "TRUE"sv;
}

}  // namespace

void Converter::BuildRow(const RowValues& values) {
    RowText.clear();
    RowText.push_back('"');
    fieldStarts_[0] = RowText.size();
    fieldsBegun_ = 1;
    AppendReading(values);
    AppendName(values.name);
    AppendAddress(values);
    AppendJointNames(values);
    RowText.push_back('"');
}

void Converter::AppendField(std::string_view text) {
    RowText.append(kFieldSeparator);
    if (fieldsBegun_ < fieldStarts_.size()) fieldStarts_[fieldsBegun_++] = RowText.size();
    AppendFieldText(RowText, text);
}

void Converter::AppendReading(const RowValues& values) {
    ReadComponent(values.readingLast, 1, reading_);
    AppendFieldText(RowText, reading_);
    AppendFieldText(RowText, texts::kIdeographicSpace);
    ReadComponent(values.readingFirst, values.readingFirstPart, reading_);
    AppendFieldText(RowText, reading_);
}

void Converter::AppendName(std::string_view name) {
    SplitComponents(name, parts_);
    AppendField(Part(1));
    AppendFieldText(RowText, texts::kIdeographicSpace);
    AppendFieldText(RowText, Part(2));
    const std::string_view honorific = Part(5);
    AppendField(honorific.empty() ? texts::kDefaultHonorific : honorific);
}

void Converter::AppendAddress(const RowValues& values) {
    SplitComponents(values.homeAddress, parts_);
    AssignReplaced(postalCode_, Part(6), texts::kPostalMark, "");
    AppendField(postalCode_);
    AppendField(Part(5));
    AppendFieldText(RowText, Part(4));
    // Japanese phones write the whole address as the extended address.
    const bool wholeInExtended =
        values.extendedMayHoldAll && Part(3).empty() && Part(4).empty() && Part(5).empty() && !Part(2).empty();
    const int street = wholeInExtended ? 2 : 3;
    AssignReplaced(streetSpaced_, Part(street), texts::kEscapedLineBreak, texts::kIdeographicSpace);
    AssignReplaced(street_, streetSpaced_, "?", texts::kFullwidthHyphen);
    if (marks_.IsMarked(LossMarks::kHomeAddress)) marks_.RepairStreet(street_);
    AppendFieldText(RowText, street_);
    AssignReplaced(extendedAddress_, wholeInExtended ? std::string_view() : Part(2), texts::kEscapedLineBreak,
                   texts::kIdeographicSpace);
    AppendField(extendedAddress_);
}

void Converter::AppendJointNames(const RowValues& values) {
    // Slot 0 is the spouse, 1 to 3 the children.
    const std::array<const RelatedName*, 4>& slots = values.related;
    ReadComponent(values.note, 1, note_);
    const bool printSpouse = MarkerSaysTrue(note_, texts::kSpouseMarker);
    const bool printChildren = MarkerSaysTrue(note_, texts::kChildrenMarker);
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        const bool printed = slot == 0 ? printSpouse : printChildren;
        if (!printed || slots[slot] == nullptr) {
            AppendField({});
            continue;
        }
        // The name is the whole value, unescaped.
        AppendField(UnescapeText(slots[slot]->name));
        marks_.Note(static_cast<LossMarks::Value>(LossMarks::kSpouse + slot), slots[slot]->conversion);
    }
}

std::string_view Converter::Part(int n) const {
    return n <= parts_.Count() ? std::string_view(parts_.At(n - 1)) : std::string_view();
}

}  // namespace kartovo
