#include "Converter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <optional>

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

// The keys a row reads. Only the first line with each of them, and the line
// just before each label line, can ever be read; the other lines of a
// contact are not kept, so a contact of millions of lines costs no memory.
constexpr std::string_view kReadKeys[] = {
    "X-PHONETIC-LAST-NAME", "X-PHONETIC-FIRST-NAME", "N", "ADR;TYPE=HOME", "NOTE",
    "item1.X-ABLabel", "item2.X-ABLabel", "item3.X-ABLabel", "item4.X-ABLabel", "item5.X-ABLabel",
    "item6.X-ABLabel", "item7.X-ABLabel", "item8.X-ABLabel", "item9.X-ABLabel", "item10.X-ABLabel",
};
static_assert(std::size(kReadKeys) == Converter::kReadKeyCount);
constexpr std::size_t kPhoneticLastName = 0;
constexpr std::size_t kPhoneticFirstName = 1;
constexpr std::size_t kName = 2;
constexpr std::size_t kHomeAddress = 3;
constexpr std::size_t kNote = 4;
constexpr std::size_t kFirstLabelKey = 5;  // the relation labels follow, in item order

// Which read keys have each length (bit i for kReadKeys[i]).
constexpr std::size_t LongestReadKey() {
    std::size_t longest = 0;
    for (const std::string_view key : kReadKeys) longest = std::max(longest, key.size());
    return longest;
}
constexpr std::size_t kLongestReadKey = LongestReadKey();
using KeysOfLength = std::array<std::uint16_t, kLongestReadKey + 1>;
constexpr KeysOfLength ReadKeysOfLength() {
    KeysOfLength keys{};
    for (std::size_t i = 0; i < std::size(kReadKeys); ++i) {
        std::uint16_t& lengthKeys = keys[kReadKeys[i].size()];
        lengthKeys = static_cast<std::uint16_t>(lengthKeys | 1u << i);
    }
    return keys;
}
constexpr KeysOfLength kReadKeysOfLength = ReadKeysOfLength();

// The byte that sets apart the read keys of one length: the item number of
// the labels.
constexpr std::size_t ProbeAt(std::string_view key) { return std::min<std::size_t>(4, key.size() - 1); }

// Index into kReadKeys of a converted key, or -1. Every line's key is looked
// up, and most are refused by their length alone.
int ReadKeyIndex(std::string_view key) {
    if (key.size() >= kReadKeysOfLength.size()) return -1;
    for (unsigned keys = kReadKeysOfLength[key.size()]; keys != 0; keys &= keys - 1) {
        const int i = std::countr_zero(keys);
        const std::string_view read = kReadKeys[i];
        // Letters of either case differ only in bit 0x20: a quick refusal.
        const std::size_t at = ProbeAt(read);
        if ((read[at] | 0x20) != (key[at] | 0x20)) continue;
        if (EqualsIgnoreCase(read, key)) return i;
    }
    return -1;
}

// Releases the run's lists on every way out of it.
class RunLists {
public:
    explicit RunLists(Converter& converter) : converter_(converter) {}
    ~RunLists() {
        converter_.KeyList.Release();
        converter_.ValueList.Release();
        converter_.CsvList.Release();
    }
    RunLists(const RunLists&) = delete;
    RunLists& operator=(const RunLists&) = delete;

private:
    Converter& converter_;
};

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

void StoreLine(std::string_view line, Utf8ToCp932& convert, StringList& keys, StringList& values) {
    const std::size_t colon = FindByte(line, ':');
    if (colon == std::string_view::npos) {
        // A line without a colon keeps all its bytes as the value: it is only
        // ever read as the related name before a relation label.
        keys.NewEntry();
        convert.AppendTo(line, values.NewEntry());
        return;
    }
    convert.AppendTo(line.substr(0, colon), keys.NewEntry());
    convert.AppendTo(line.substr(colon + 1), values.NewEntry());
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

void Converter::FindReadKeys() {
    firstLine_.fill(-1);
    for (int i = 0; i < KeyList.Count(); ++i) {
        const int read = ReadKeyIndex(KeyList.At(i));
        if (read >= 0 && firstLine_[static_cast<std::size_t>(read)] < 0) firstLine_[static_cast<std::size_t>(read)] = i;
    }
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
}

void Converter::BuildRow() {
    RowText.clear();
    RowText.push_back('"');
    AppendReading();
    AppendName();
    AppendAddress();
    AppendJointNames();
    RowText.push_back('"');
    CsvList.Add(RowText);
}

void Converter::AppendField(std::string_view text) {
    RowText.append(kFieldSeparator);
    AppendFieldText(RowText, text);
}

void Converter::AppendReading() {
    ReadComponent(FirstValue(kPhoneticLastName), 1, scratch_[0]);
    AppendFieldText(RowText, scratch_[0]);
    AppendFieldText(RowText, texts::kIdeographicSpace);
    ReadComponent(FirstValue(kPhoneticFirstName), 1, scratch_[0]);
    AppendFieldText(RowText, scratch_[0]);
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
    AppendField(Replaced(0, Part(6), texts::kPostalMark, ""));
    AppendField(Part(5));
    AppendFieldText(RowText, Part(4));
    AppendFieldText(RowText, Replaced(1, Replaced(0, Part(3), texts::kEscapedLineBreak, texts::kIdeographicSpace),
                                      "?", texts::kFullwidthHyphen));
    AppendField(Replaced(0, Part(2), texts::kEscapedLineBreak, texts::kIdeographicSpace));
}

void Converter::AppendJointNames() {
    // Slot 0 is the spouse, 1 to 3 the children in item order.
    std::array<std::string, 4> related;
    std::size_t nextChild = 1;
    for (std::size_t which = kFirstLabelKey; which < kReadKeyCount; ++which) {
        const int label = firstLine_[which];
        if (label < 0) continue;
        const std::string& text = ValueList.At(label);
        const bool spouse = text == texts::kSpouseLabel;
        if (!spouse && text != texts::kChildLabel) continue;
        // The name stands on the line before its label, whole and unescaped.
        // A label that is the contact's first line has none, and gives an
        // empty name.
        std::string name = label > 0 ? UnescapeText(ValueList.At(label - 1)) : std::string();
        if (spouse) {
            related[0] = std::move(name);
        } else {
            related[nextChild++] = std::move(name);
            if (nextChild == related.size()) break;
        }
    }

    ReadComponent(FirstValue(kNote), 1, note_);
    const std::string_view note = note_;
    const bool printSpouse = MarkerSaysTrue(note, texts::kSpouseMarker);
    const bool printChildren = MarkerSaysTrue(note, texts::kChildrenMarker);
    AppendField(printSpouse ? std::string_view(related[0]) : std::string_view());
    for (std::size_t slot = 1; slot < related.size(); ++slot) {
        AppendField(printChildren ? std::string_view(related[slot]) : std::string_view());
    }
}

std::string_view Converter::Replaced(std::size_t buffer, std::string_view text, std::string_view from,
                                     std::string_view to) {
    AssignReplaced(scratch_[buffer], text, from, to);
    return scratch_[buffer];
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
    long long count = 0;
    Utf8ToCp932 convert;
    std::string converted;
    FindReadKeys();  // of any unfinished contact the store still holds
    bool previousInCard = false;  // the line before belongs to this contact
    bool previousKept = false;
    std::string_view line;
    while (lines.Next(line)) {
        if (IsEndOfCard(line)) {
            BuildRow();  // the store's read keys are known already
            KeyList.Clear();
            ValueList.Clear();
            firstLine_.fill(-1);
            previousInCard = false;
            ++count;
            continue;
        }
        const std::size_t colon = FindByte(line, ':');
        const std::string_view rawKey = colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
        std::string_view key = rawKey;  // ASCII converts to itself
        if (!IsAscii(rawKey)) {
            converted.clear();
            convert.AppendTo(rawKey, converted);
            key = converted;
        }
        const int read = ReadKeyIndex(key);
        const bool kept = read >= 0 && firstLine_[static_cast<std::size_t>(read)] < 0;
        if (kept) {
            // A label's name is the line before it, whatever that line is.
            // Should its key be a read key, that key's first line came
            // earlier still: the line would have been kept otherwise.
            if (static_cast<std::size_t>(read) >= kFirstLabelKey && previousInCard && !previousKept) {
                StoreLine(lines.Previous(), convert, KeyList, ValueList);
            }
            firstLine_[static_cast<std::size_t>(read)] = KeyList.Count();
            StoreLine(line, convert, KeyList, ValueList);
        }
        previousInCard = true;
        previousKept = kept;
    }
    return count;
}

void Converter::mainprocess() {
    RunLists release(*this);
    KeyList.Clear();
    ValueList.Clear();
    CsvList.Clear();

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
    host_.ShowMessage(MessageKind::Information, message, MessageButtons::Ok);
}

}  // namespace kartovo
