// The row of one contact, built from the values the store holds.
#include <algorithm>
#include <array>
#include <iterator>

#include "Components.h"
#include "Converter.h"
#include "Cp932.h"
#include "Texts.h"

namespace kartovo {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kFieldSeparator = "\",\"";


// Writes a field's text at `out`, which has room for twice its bytes. A
// quote inside it is doubled so that CSV readers keep the row's ten fields.
// A CR or LF can reach a field only through an overlong form in the source;
// it becomes a blank, since label programs read the file a line at a time
// and would cut the row.
char* PutFieldText(char* out, std::string_view text) {
    for (const char c : text) {
        if (c == '"') *out++ = '"';
        *out++ = c == '\r' || c == '\n' ? ' ' : c;
    }
    return out;
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
    PrepareContact(values);
    if (standardLayout_) {
        WriteStandardRow();
    } else {
        WriteLayoutRow();
    }
}

void Converter::PrepareContact(const RowValues& values) {
    ReadComponent(values.readingLast, 1, readingLast_);
    ReadComponent(values.readingFirst, values.readingFirstPart, readingFirst_);
    contact_.readingLast = readingLast_;
    contact_.readingFirst = readingFirst_;
    SplitComponents(values.name, parts_);
    contact_.family = Part(parts_, 1);
    contact_.given = Part(parts_, 2);
    contact_.honorific = Part(parts_, 5).empty() ? texts::kDefaultHonorific : Part(parts_, 5);
    PrepareAddress(values);
    PrepareJointNames(values);
}

void Converter::PrepareAddress(const RowValues& values) {
    SplitComponents(values.homeAddress, addressParts_);
    const auto part = [this](int n) { return Part(addressParts_, n); };
    AssignReplaced(postalCode_, part(6), texts::kPostalMark, "");
    contact_.postalCode = postalCode_;
    contact_.region = part(5);
    contact_.locality = part(4);
    // Japanese phones write the whole address as the extended address.
    const bool wholeInExtended =
        values.extendedMayHoldAll && part(3).empty() && part(4).empty() && part(5).empty() && !part(2).empty();
    AssignReplaced(streetSpaced_, part(wholeInExtended ? 2 : 3), texts::kEscapedLineBreak, texts::kIdeographicSpace);
    AssignReplaced(street_, streetSpaced_, "?", texts::kFullwidthHyphen);
    // A file in UTF-8 loses no character: a mark there is the character itself.
    if (marks_.IsMarked(LossMarks::kHomeAddress) && !WritesUtf8()) marks_.RepairStreet(street_);
    contact_.street = street_;
    AssignReplaced(extendedAddress_, wholeInExtended ? std::string_view() : part(2), texts::kEscapedLineBreak,
                   texts::kIdeographicSpace);
    contact_.extended = extendedAddress_;
}

void Converter::PrepareJointNames(const RowValues& values) {
    // Slot 0 is the spouse, 1 to 3 the children.
    const std::array<const RelatedName*, 4>& slots = values.related;
    ReadComponent(values.note, 1, note_);
    const bool printSpouse = MarkerSaysTrue(note_, texts::kSpouseMarker);
    const bool printChildren = MarkerSaysTrue(note_, texts::kChildrenMarker);
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        contact_.joints[slot] = {};
        const bool printed = slot == 0 ? printSpouse : printChildren;
        if (!printed || slots[slot] == nullptr) continue;
        // The name is the whole value, unescaped.
        jointNames_[slot] = UnescapeText(slots[slot]->name);
        contact_.joints[slot] = jointNames_[slot];
        marks_.Note(static_cast<LossMarks::Value>(LossMarks::kSpouse + slot), slots[slot]->conversion);
    }
}

void Converter::WriteStandardRow() {
    const ContactText& c = contact_;
    // Each field's texts: the reading and the name joined by a blank, the
    // address's first line of three.
    const std::array<std::string_view, 3> fields[LossMarks::kRowFields] = {
        {c.readingLast, texts::kIdeographicSpace, c.readingFirst},
        {c.family, texts::kIdeographicSpace, c.given},
        {c.honorific}, {c.postalCode}, {c.region, c.locality, c.street}, {c.extended},
        {c.joints[0]}, {c.joints[1]}, {c.joints[2]}, {c.joints[3]}};
    // Written in place, in one pass over each text.
    std::size_t room = 2 + kFieldSeparator.size() * std::size(fields);
    for (const auto& texts : fields) {
        for (const std::string_view text : texts) room += 2 * text.size();
    }
    RowText.resize(room);
    char* const begin = RowText.data();
    char* out = begin;
    *out++ = '"';
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0) out = std::copy(kFieldSeparator.begin(), kFieldSeparator.end(), out);
        fieldStarts_[i] = static_cast<std::size_t>(out - begin);
        for (const std::string_view text : fields[i]) out = PutFieldText(out, text);
    }
    *out++ = '"';
    RowText.resize(static_cast<std::size_t>(out - begin));
}

std::string_view Converter::Part(const StringList& parts, int n) {
    return n <= parts.Count() ? std::string_view(parts.At(n - 1)) : std::string_view();
}

}  // namespace kartovo
