#include "Converter.h"

#include <algorithm>
#include <array>
#include <optional>

#include "AsciiName.h"
#include "ByteSearch.h"
#include "Components.h"
#include "Cp932.h"
#include "FileAccess.h"
#include "SourceLines.h"
#include "Texts.h"
#include "Utf8.h"

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

// The keys a row reads besides the relation labels, by their place in
// firstLine_.
constexpr std::size_t kPhoneticLastName = 0;
constexpr std::size_t kPhoneticFirstName = 1;
constexpr std::size_t kName = 2;
constexpr std::size_t kHomeAddress = 3;
constexpr std::size_t kNote = 4;
static_assert(Converter::kFixedKeyCount == 5);

// Which of those keys a converted key is, or -1. Only the first line with
// each of them, each first spouse or child label line and the line just
// before it can ever be read; the other lines of a contact are not kept, so
// a contact of millions of lines costs no memory. No two of the keys have
// the same length, or the switch would not compile: a key is compared with
// one of them at most.
int FixedKeyIndex(std::string_view key) {
    static constexpr AsciiName kPhoneticLastNameKey("X-PHONETIC-LAST-NAME");
    static constexpr AsciiName kPhoneticFirstNameKey("X-PHONETIC-FIRST-NAME");
    static constexpr AsciiName kNameKey("N");
    static constexpr AsciiName kHomeAddressKey("ADR;TYPE=HOME");
    static constexpr AsciiName kNoteKey("NOTE");
    const auto is = [&key](const auto& name, std::size_t index) {
        return name.At(key.data()) ? static_cast<int>(index) : -1;
    };
    switch (key.size()) {
        case kPhoneticLastNameKey.size(): return is(kPhoneticLastNameKey, kPhoneticLastName);
        case kPhoneticFirstNameKey.size(): return is(kPhoneticFirstNameKey, kPhoneticFirstName);
        case kNameKey.size(): return is(kNameKey, kName);
        case kHomeAddressKey.size(): return is(kHomeAddressKey, kHomeAddress);
        case kNoteKey.size(): return is(kNoteKey, kNote);
        default: return -1;
    }
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

Conversion StoreLine(std::string_view line, Utf8ToCp932& convert, StringList& keys, StringList& values,
                     const Cp932Encoder::Marker* mark) {
    const std::size_t colon = FindByte(line, ':');
    if (colon == std::string_view::npos) {
        // A line without a colon keeps all its bytes as the value: it is only
        // ever read as the related name before a relation label.
        keys.NewEntry();
        return convert.AppendTo(line, values.NewEntry(), mark);
    }
    convert.AppendTo(line.substr(0, colon), keys.NewEntry());
    return convert.AppendTo(line.substr(colon + 1), values.NewEntry(), mark);
}

bool IsEndOfCard(std::string_view line) {
    if (line == texts::kEndOfCard) return true;
    // Each character of the result takes at most four source bytes, so a
    // longer line cannot become the nine bytes of END:VCARD; an ASCII line
    // converts to itself.
    if (line.size() > texts::kEndOfCard.size() * 4 || IsAscii(line)) return false;
    // An ASCII first byte is the first unit as it stands: most short lines
    // ("N:…") are ruled out by it without decoding.
    if (static_cast<unsigned char>(line[0]) < 0x80 && line[0] != texts::kEndOfCard[0]) return false;
    // Only an ASCII unit converts to an ASCII byte other than "?", so the
    // decoded units decide, with no need to convert them.
    std::size_t matched = 0;
    bool same = true;
    const bool decoded = DecodeUtf8(line, [&](char16_t unit) {
        same = same && matched < texts::kEndOfCard.size() && unit == static_cast<char16_t>(texts::kEndOfCard[matched]);
        ++matched;
    });
    return decoded && same && matched == texts::kEndOfCard.size();
}

void Converter::ClearContact() {
    KeyList.Clear();
    ValueList.Clear();
    firstLine_.fill(-1);
    labelledItems_.Clear();
    relations_.clear();
    marks_.Clear();
}

void Converter::FindReadKeys() {
    firstLine_.fill(-1);
    labelledItems_.Clear();
    relations_.clear();
    marks_.Clear();
    for (int i = 0; i < KeyList.Count(); ++i) {
        const std::string& key = KeyList.At(i);
        const int fixed = FixedKeyIndex(key);
        if (fixed >= 0) {
            if (firstLine_[static_cast<std::size_t>(fixed)] < 0) firstLine_[static_cast<std::size_t>(fixed)] = i;
            continue;
        }
        const std::string_view item = LabelItemNumber(key);
        if (item.empty()) continue;
        const std::uint64_t order = ItemOrder(item);
        if (labelledItems_.Insert(item, order) && IsRelationLabel(ValueList.At(i))) AddRelation(i, item, order);
    }
}

void Converter::AddRelation(int label, std::string_view item, std::uint64_t order) {
    const auto before = [&](const Relation& other) {
        if (order != other.order) return order < other.order;
        // Two numbers of 20 digits or more; equal ones never come twice.
        return ItemNumberLess(item, LabelItemNumber(KeyList.At(other.label)));
    };
    // Labels come in the file's order, which is nearly always the items'.
    if (relations_.empty() || !before(relations_.back())) {
        relations_.push_back({order, label});
    } else {
        relations_.insert(std::find_if(relations_.begin(), relations_.end(), before), {order, label});
    }
}

void Converter::Keep(std::string_view line, Utf8ToCp932& convert) {
    const Cp932Encoder::Marker* mark = ReportsLosses ? &marks_.Marker() : nullptr;
    const Conversion conversion = StoreLine(line, convert, KeyList, ValueList, mark);
    if (conversion != Conversion::Exact && ReportsLosses) marks_.AddValue(ValueList.Count() - 1, conversion);
}

std::string_view Converter::FirstValue(std::size_t which) const {
    const int index = firstLine_[which];
    if (index < 0) return {};
    return ValueList.At(index);
}

std::string Converter::LoadField(std::string_view key, int n) const {
    const int index = KeyList.IndexOf(key);
    return ComponentAt(index < 0 ? std::string_view() : std::string_view(ValueList.At(index)), n);
}

void Converter::DataKiridashi() {
    FindReadKeys();
    BuildRow();
    CsvList.Add(RowText);
}

void Converter::BuildRow() {
    RowText.clear();
    RowText.push_back('"');
    fieldStarts_[0] = RowText.size();
    fieldsBegun_ = 1;
    AppendReading();
    AppendName();
    AppendAddress();
    AppendJointNames();
    RowText.push_back('"');
}

void Converter::ReportLosses(long long number) {
    // The fields each value feeds, by where it stands; a contact seldom
    // has more than one value that lost text. A value that could not be
    // read is empty, and leaves no mark.
    const auto fedBy = [this](const std::vector<int>& values) {
        unsigned fields = 0;
        for (const int index : values) {
            if (index == firstLine_[kPhoneticLastName] || index == firstLine_[kPhoneticFirstName]) fields |= 1u << 0;
            if (index == firstLine_[kName]) fields |= 1u << 1 | 1u << 2;
            if (index == firstLine_[kHomeAddress]) fields |= 1u << 3 | 1u << 4 | 1u << 5;
            for (std::size_t slot = 0; slot < jointNameLines_.size(); ++slot) {
                if (index == jointNameLines_[slot]) fields |= 1u << (6 + slot);
            }
        }
        return static_cast<std::uint16_t>(fields);
    };
    const std::uint16_t marked = fedBy(marks_.MarkedValues());
    const std::uint16_t unreadable = fedBy(marks_.UnreadableValues());
    if (marked == 0 && unreadable == 0) return;
    const bool describe = Lost.KeepsNext();
    const std::uint16_t fields = marks_.TakeOut(RowText, fieldStarts_, marked, unreadable, describe);
    if (fields == 0) return;
    LostContactView contact{number, {}, fields, {}};
    if (describe) {
        contact.name = marks_.Name();
        contact.characters = marks_.Characters();
    }
    Lost.Add(contact);
}

inline void Converter::AppendField(std::string_view text) {
    RowText.append(kFieldSeparator);
    if (fieldsBegun_ < fieldStarts_.size()) fieldStarts_[fieldsBegun_++] = RowText.size();
    AppendFieldText(RowText, text);
}

void Converter::AppendReading() {
    ReadComponent(FirstValue(kPhoneticLastName), 1, reading_);
    AppendFieldText(RowText, reading_);
    AppendFieldText(RowText, texts::kIdeographicSpace);
    ReadComponent(FirstValue(kPhoneticFirstName), 1, reading_);
    AppendFieldText(RowText, reading_);
}

void Converter::AppendName() {
    SplitComponents(FirstValue(kName), parts_);
    AppendField(Part(1));
    AppendFieldText(RowText, texts::kIdeographicSpace);
    AppendFieldText(RowText, Part(2));
    const std::string_view honorific = Part(5);
    AppendField(honorific.empty() ? texts::kDefaultHonorific : honorific);
}

void Converter::AppendAddress() {
    SplitComponents(FirstValue(kHomeAddress), parts_);
    AssignReplaced(postalCode_, Part(6), texts::kPostalMark, "");
    AppendField(postalCode_);
    AppendField(Part(5));
    AppendFieldText(RowText, Part(4));
    AssignReplaced(streetSpaced_, Part(3), texts::kEscapedLineBreak, texts::kIdeographicSpace);
    AssignReplaced(street_, streetSpaced_, "?", texts::kFullwidthHyphen);
    if (marks_.IsMarked(firstLine_[kHomeAddress])) marks_.RepairStreet(street_);
    AppendFieldText(RowText, street_);
    AssignReplaced(extendedAddress_, Part(2), texts::kEscapedLineBreak, texts::kIdeographicSpace);
    AppendField(extendedAddress_);
}

void Converter::AppendJointNames() {
    // Slot 0 is the spouse, 1 to 3 the children in item order.
    std::array<std::string, 4> related;
    jointNameLines_.fill(-1);
    std::size_t nextChild = 1;
    for (const auto& [order, label] : relations_) {
        const bool spouse = ValueList.At(label) == texts::kSpouseLabel;
        const std::size_t slot = spouse ? 0 : nextChild++;
        // The name stands on the line before its label, whole and unescaped.
        // A label that is the contact's first line has none, and gives an
        // empty name.
        related[slot] = label > 0 ? UnescapeText(ValueList.At(label - 1)) : std::string();
        jointNameLines_[slot] = label - 1;
        if (nextChild == related.size()) break;
    }

    ReadComponent(FirstValue(kNote), 1, note_);
    const bool printSpouse = MarkerSaysTrue(note_, texts::kSpouseMarker);
    const bool printChildren = MarkerSaysTrue(note_, texts::kChildrenMarker);
    if (!printSpouse) jointNameLines_[0] = -1;
    if (!printChildren) std::fill(jointNameLines_.begin() + 1, jointNameLines_.end(), -1);
    AppendField(printSpouse ? std::string_view(related[0]) : std::string_view());
    for (std::size_t slot = 1; slot < related.size(); ++slot) {
        AppendField(printChildren ? std::string_view(related[slot]) : std::string_view());
    }
}

std::string_view Converter::Part(int n) const {
    return n <= parts_.Count() ? std::string_view(parts_.At(n - 1)) : std::string_view();
}

long long Converter::ConvertText(std::string_view source) {
    SourceLines lines(source);
    return ConvertText(lines);
}

long long Converter::ConvertText(SourceLines& lines) {
    CsvList.Add(texts::kHeaderRow);
    Lost.Clear();
    long long count = 0;
    Utf8ToCp932 convert;
    FindReadKeys();  // of any unfinished contact the store still holds
    bool previousInCard = false;  // the line before belongs to this contact
    bool previousKept = false;
    std::string_view line;
    while (lines.Next(line)) {
        if (IsEndOfCard(line)) {
            BuildRow();  // the store's read keys are known already
            ++count;
            if (marks_.Any()) ReportLosses(count);
            CsvList.Add(RowText);
            ClearContact();
            previousInCard = false;
            continue;
        }
        const std::size_t colon = FindByte(line, ':');
        const std::string_view rawKey = colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
        std::string_view key = rawKey;  // ASCII converts to itself
        if (!IsAscii(rawKey)) {
            convertedKey_.clear();
            convert.AppendTo(rawKey, convertedKey_);
            key = convertedKey_;
        }
        bool kept = false;
        if (const int fixed = FixedKeyIndex(key); fixed >= 0) {
            int& first = firstLine_[static_cast<std::size_t>(fixed)];
            kept = first < 0;
            if (kept) {
                first = KeyList.Count();
                Keep(line, convert);
            }
        } else if (const std::string_view item = LabelItemNumber(key); !item.empty()) {
            const std::uint64_t order = ItemOrder(item);
            if (labelledItems_.Insert(item, order)) {
                const std::string_view rawLabel = line.substr(colon + 1);
                std::string_view label = rawLabel;
                if (!IsAscii(rawLabel)) {
                    label_.clear();
                    convert.AppendTo(rawLabel, label_);
                    label = label_;
                }
                kept = IsRelationLabel(label);
                if (kept) {
                    // A label's name is the line before it, whatever that
                    // line is. Had it been kept, it would stand there already.
                    if (previousInCard && !previousKept) Keep(lines.Previous(), convert);
                    AddRelation(KeyList.Count(), item, order);
                    Keep(line, convert);
                }
            }
        }
        previousInCard = true;
        previousKept = kept;
    }
    return count;
}

Converter::RunLists::RunLists(Converter& converter) : converter_(converter) {
    converter_.KeyList.Clear();
    converter_.ValueList.Clear();
    converter_.CsvList.Clear();
}

Converter::RunLists::~RunLists() {
    converter_.KeyList.Release();
    converter_.ValueList.Release();
    converter_.CsvList.Release();
}

void Converter::mainprocess() {
    RunLists lists(*this);
    Lost.Clear();

    if (host_.SourceFieldEmpty() || host_.DestinationFieldEmpty()) {
        host_.ShowMessage(MessageKind::Error, texts::kSpecifyFile, MessageButtons::Ok);
        return;
    }
    if (IsExistingFile(host_.DestinationPath())) {
        // Closing the question without an answer stops the run as "no" does.
        if (host_.ShowMessage(MessageKind::Confirmation, texts::kOverwriteQuestion, MessageButtons::YesNo) !=
            kResultYes) {
            host_.ShowMessage(MessageKind::Information, texts::kCancelled, MessageButtons::Ok);
            return;
        }
    }

    long long count = 0;
    {
        // Read a piece at a time: the file is never held whole.
        std::optional<SourceFile> source(std::in_place, host_.SourcePath());
        DestinationFile destination(host_.DestinationPath());
        // Written as it grows, the CSV is never held whole either; but a
        // device, or a destination written over in place, sees nothing of a
        // run that fails.
        if (destination.WritesAsItGrows()) {
            CsvList.SpillTo([&destination](std::string_view bytes) { destination.Write(bytes); });
        }
        SourceLines lines([&source](char* into, std::size_t room) { return source->Read(into, room); });
        count = ConvertText(lines);
        CsvList.SpillTo(nullptr);  // the destination does not outlive this block
        source.reset();  // closed before the CSV takes its place: it may be the source
        destination.Finish(CsvList.Blocks());
    }

    const std::string message = std::to_string(count) + std::string(texts::kConvertedSuffix);
    host_.ShowConverted(message, Lost);
}

}  // namespace kartovo
