#include "Converter.h"

#include <optional>
#include <utility>

#include "AsciiName.h"
#include "ByteSearch.h"
#include "CardProperty.h"
#include "Components.h"
#include "FileAccess.h"
#include "SourceLines.h"
#include "Texts.h"
#include "Utf8.h"

namespace kartovo {
namespace {


// What a converted key is to the row: one of the fixed keys, or the label
// of an item number, or neither. Only the first line with each fixed key,
// and each first spouse or child label with the line before it, can ever
// be read; the other lines of a contact are not kept, so a contact of
// millions of lines costs no memory. No two fixed keys have the same
// length, or the switch would not compile: a key is compared with one of
// them at most.
Converter::KeyRole RoleOf(std::string_view key) {
    using KeyRole = Converter::KeyRole;
    static constexpr AsciiName kPhoneticLastNameKey("X-PHONETIC-LAST-NAME");
    static constexpr AsciiName kPhoneticFirstNameKey("X-PHONETIC-FIRST-NAME");
    static constexpr AsciiName kNameKey("N");
    static constexpr AsciiName kHomeAddressKey("ADR;TYPE=HOME");
    static constexpr AsciiName kNoteKey("NOTE");
    const auto is = [&key](const auto& name, std::size_t index) {
        return name.At(key.data()) ? KeyRole{static_cast<int>(index), 0} : KeyRole{-1, LabelItemNumber(key)};
    };
    switch (key.size()) {
        case kPhoneticLastNameKey.size(): return is(kPhoneticLastNameKey, Converter::kPhoneticLastName);
        case kPhoneticFirstNameKey.size(): return is(kPhoneticFirstNameKey, Converter::kPhoneticFirstName);
        case kNameKey.size(): return is(kNameKey, Converter::kName);
        case kHomeAddressKey.size(): return is(kHomeAddressKey, Converter::kHomeAddress);
        case kNoteKey.size(): return is(kNoteKey, Converter::kNote);
        default: return {-1, LabelItemNumber(key)};
    }
}

// The value each fixed key feeds, as the loss report tells them apart;
// the note feeds no written field.
constexpr std::optional<LossMarks::Value> kFixedKeyValue[] = {
    LossMarks::kReadingLast, LossMarks::kReadingFirst, LossMarks::kName, LossMarks::kHomeAddress, std::nullopt};

// A card's text is kept until it ends, up to here, for reading it a second
// way; past it, the second reading starts, and goes on as the lines come,
// so that no card is held whole.
constexpr std::size_t kMostKept = std::size_t{1} << 20;

// A line's value: after its first ":", or the whole line when it has none.
std::string_view ValueOf(std::string_view line) {
    const std::size_t colon = FindByte(line, ':');
    return colon == std::string_view::npos ? line : line.substr(colon + 1);
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
    previousInCard_ = false;
    sawAddress_ = false;
    if (std::exchange(readingOther_, false)) other_.Clear();
    firstLine_.fill(-1);
    labelledItems_.Clear();
    related_.Clear();
    marks_.Clear();
}

void Converter::FindReadKeys() {
    firstLine_.fill(-1);
    labelledItems_.Clear();
    related_.Clear();
    marks_.Clear();
    for (int i = 0; i < KeyList.Count(); ++i) {
        const KeyRole role = RoleOf(KeyList.At(i));
        if (role.fixed >= 0) {
            int& first = firstLine_[static_cast<std::size_t>(role.fixed)];
            if (first < 0) first = i;
        } else if (role.labelItem != 0 && labelledItems_.Insert(role.labelItem)) {
            const Relation relation = RelationOf(ValueList.At(i));
            if (relation == Relation::None || !related_.Counts(role.labelItem)) continue;
            RelatedName& related = related_.Add(role.labelItem, relation);
            related.name = i > 0 ? ValueList.At(i - 1) : std::string();
            related.conversion = Conversion::Exact;
        }
    }
}

void Converter::StoreValue(std::string_view key, std::string_view value, std::size_t which, Utf8ToCp932& convert) {
    KeyList.Add(key);  // converted already, to tell what the line is
    const Cp932Encoder::Marker* mark = ReportsLosses ? &marks_.Marker() : nullptr;
    storedConversion_[which] = convert.AppendTo(value, ValueList.NewEntry(), mark);
    if (shape_.WantsValue()) shape_.SeeValue(value);
}

void Converter::NoteStoredConversions() {
    for (std::size_t which = 0; which < kFixedKeyCount; ++which) {
        if (firstLine_[which] >= 0 && kFixedKeyValue[which]) marks_.Note(*kFixedKeyValue[which], storedConversion_[which]);
    }
}

void Converter::ReadLabel(std::uint64_t item, std::string_view label, std::string_view previous,
                          Utf8ToCp932& convert) {
    const Relation relation = RelationOf(label);
    if (relation == Relation::None || !related_.Counts(item)) return;
    RelatedName& related = related_.Add(item, relation);
    related.name.clear();
    const std::string_view value = ValueOf(previous);
    related.conversion = convert.AppendTo(value, related.name, ReportsLosses ? &marks_.Marker() : nullptr);
    if (shape_.WantsValue()) shape_.SeeValue(value);
}

void Converter::ReadLine(std::string_view line, SourceLines& lines, Utf8ToCp932& convert) {
    // Google's reading has no part in a card that another producer wrote.
    // A line after a quoted-printable soft break goes on with that value;
    // Android's export is mostly such lines.
    if (readingOther_ && !other_.IsGoogles()) {
        if (other_.Continues()) return other_.Continue(line);
        return ReadOtherLine(line, FindByte(line, ':'), false);
    }
    const std::size_t colon = FindByte(line, ':');
    const KeyRole role = ReadGoogleLine(line, colon, lines, convert);
    if (readingOther_) return ReadOtherLine(line, colon, true);
    // The other reading starts at the first sign of another producer, from
    // the card's first line: most cards never need it. A key Google's
    // reading knows is no sign.
    const bool known = role.fixed >= 0 || role.labelItem != 0 || colon == std::string_view::npos;
    const unsigned signs = known ? 0u : SignsOf(line, colon);
    if ((signs & kAddressLine) != 0) sawAddress_ = true;
    if ((signs & kOtherProducer) != 0 || lines.KeptLength() > kMostKept) {
        // From the card's first line again: Google's reading takes no line
        // twice, as it takes only the first line of each key and label.
        readingOther_ = true;
        lines.ReadKeptAgain();
    }
}

void Converter::ReadOtherLine(std::string_view line, std::size_t colon, bool googleStores) {
    if (colon == std::string_view::npos) return other_.ReadLine(line, {}, line, false, googleStores);
    other_.ReadLine(line, line.substr(0, colon), line.substr(colon + 1), true, googleStores);
}

Converter::KeyRole Converter::ReadGoogleLine(std::string_view line, std::size_t colon, SourceLines& lines,
                                             Utf8ToCp932& convert) {
    const bool previousInCard = std::exchange(previousInCard_, true);
    std::string_view key = colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
    if (!IsAscii(key)) {  // ASCII converts to itself
        convertedKey_.clear();
        convert.AppendTo(key, convertedKey_);
        key = convertedKey_;
    }
    const KeyRole role = RoleOf(key);
    if (role.fixed >= 0) {
        int& first = firstLine_[static_cast<std::size_t>(role.fixed)];
        if (first >= 0) return role;
        first = KeyList.Count();
        StoreValue(key, line.substr(colon + 1), static_cast<std::size_t>(role.fixed), convert);
    } else if (role.labelItem != 0 && labelledItems_.Insert(role.labelItem)) {
        std::string_view label = line.substr(colon + 1);
        if (!IsAscii(label)) {
            label_.clear();
            convert.AppendTo(label, label_);
            label = label_;
        }
        ReadLabel(role.labelItem, label, previousInCard ? lines.Previous() : std::string_view(), convert);
    }
    return role;
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

Converter::RowValues Converter::GoogleValues() const {
    RowValues values;
    values.readingLast = FirstValue(kPhoneticLastName);
    values.readingFirst = FirstValue(kPhoneticFirstName);
    values.name = FirstValue(kName);
    values.homeAddress = FirstValue(kHomeAddress);
    values.note = FirstValue(kNote);
    values.related = related_.Slots();
    return values;
}

void Converter::DataKiridashi() {
    FindReadKeys();
    BuildRow(GoogleValues());
    CsvList.Add(RowText);
}

void Converter::FinishContact(long long number) {
    const bool googles = !readingOther_ || other_.IsGoogles();
    if (googles) NoteStoredConversions();
    contactNumber_ = number;
    limits_.clear();
    BuildRow(googles ? GoogleValues() : OtherValues());
    const bool hasHome = googles ? firstLine_[kHomeAddress] >= 0 : other_.HomeAddress().present;
    const bool hasAddress = hasHome || (readingOther_ ? other_.HasAddress() : sawAddress_);
    const bool noHome = hasAddress && !hasHome;
    if (!hasAddress) ++withoutAddress_;
    if (!googles) ++readAs_[static_cast<std::size_t>(other_.Kind())];
    if (ReportsLosses && (marks_.Any() || noHome || !limits_.empty())) ReportContact(number, noHome);
    if (RowWithoutAddress && contact_.postalCode.empty() && contact_.region.empty() && contact_.locality.empty() &&
        contact_.street.empty() && contact_.extended.empty()) {
        RowWithoutAddress(number);
    }
    if (WritesUtf8()) {
        utf8Row_.clear();
        marks_.AppendAsUtf8(RowText, utf8Row_);
        CsvList.Add(utf8Row_);
    } else {
        CsvList.Add(RowText);
    }
    ClearContact();
}

void Converter::ReportContact(long long number, bool noHome) {
    LostContactView contact;
    contact.number = number;
    name_.assign(contact_.family).append(texts::kIdeographicSpace).append(contact_.given);
    marks_.StartDescription(name_);
    if (standardLayout_) LossMarks::StandardCells(fieldStarts_, RowText.size(), cells_);
    if (marks_.Any()) marks_.ReplaceMarks(RowText, cells_, WritesUtf8(), contact);
    if (noHome) marks_.AddReason(kNoHomeAddress, kNoHomeAddressText, contact);
    if (!limits_.empty()) marks_.AddReason(kOverLimit, limits_, contact);
    if (contact.reasons != 0) Lost.Add(contact);
}

void Converter::UseLayout(const Layout& layout) {
    layout_ = layout;
    standardLayout_ = layout.name == StandardLayout().name;
    cells_.assign(layout.columns.size(), {});
    writtenColumns_.clear();
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        // An empty cell is still written as "" where every cell is quoted.
        if (layout.columns[i].field != Field::None || layout.quoting == Quoting::Always) writtenColumns_.push_back(i);
    }
}

void Converter::WriteHead() {
    CsvList.SetLineEnd(layout_.lineEnd);
    if (layout_.encoding == Encoding::Utf8WithBom) CsvList.AddBytes("\xEF\xBB\xBF");
    if (layout_.keptRows.empty()) {
        CsvList.Add(layout_.headerBytes);
        return;
    }
    for (const std::string& row : layout_.keptRows) CsvList.AddBytes(row);
}

long long Converter::ConvertText(std::string_view source) {
    SourceLines lines(source);
    return ConvertText(lines);
}

long long Converter::ConvertText(SourceLines& lines) {
    WriteHead();
    Lost.Clear();
    Notes.clear();
    shape_.Clear();
    ClearContact();
    withoutAddress_ = 0;
    readAs_.fill(0);
    long long count = 0;
    Utf8ToCp932 convert;
    previousInCard_ = false;
    lines.KeepFromNextLine();
    std::string_view line;
    while (lines.Next(line)) {
        shape_.SeeLine(line);
        if (IsEndOfCard(line)) {
            FinishContact(++count);
            lines.KeepFromNextLine();
            continue;
        }
        ReadLine(line, lines, convert);
    }
    AddNotes();
    return count;
}

Converter::ReleaseListsOnExit::ReleaseListsOnExit(Converter& converter) : converter_(converter) {
    converter_.KeyList.Clear();
    converter_.ValueList.Clear();
    converter_.CsvList.Clear();
}

Converter::ReleaseListsOnExit::~ReleaseListsOnExit() {
    converter_.KeyList.Release();
    converter_.ValueList.Release();
    converter_.CsvList.Release();
}

void Converter::mainprocess() {
    ReleaseListsOnExit lists(*this);
    Lost.Clear();
    Notes.clear();

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
        if (destination.AcceptsEarlyWrites()) {
            CsvList.SpillTo([&destination](std::string_view bytes) { destination.Write(bytes); });
        }
        SourceLines lines([&source](char* into, std::size_t room) { return source->Read(into, room); });
        count = ConvertText(lines);
        CsvList.SpillTo(nullptr);  // the destination does not outlive this block
        source.reset();  // closed before the CSV takes its place: it may be the source
        destination.Finish(CsvList.Blocks());
    }

    const std::string message = std::to_string(count) + std::string(texts::kConvertedSuffix);
    host_.ShowConverted(message, Notes, Lost);
}

}  // namespace kartovo
