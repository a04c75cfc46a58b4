#include "Converter.h"

#include <array>

#include "Components.h"
#include "Cp932.h"
#include "FileAccess.h"
#include "SourceLines.h"
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
    for (std::size_t special; (special = text.find_first_of("\"\r\n")) != std::string_view::npos;
         text.remove_prefix(special + 1)) {
        row.append(text.substr(0, special));
        row.append(text[special] == '"' ? "\"\"" : " ");
    }
    row.append(text);
}

const std::array<std::string, 10>& RelationLabelKeys() {
    static const std::array<std::string, 10> keys = [] {
        std::array<std::string, 10> made;
        for (std::size_t i = 0; i < made.size(); ++i) made[i] = "item" + std::to_string(i + 1) + ".X-ABLabel";
        return made;
    }();
    return keys;
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

}  // namespace

void StoreLine(std::string_view line, Utf8ToCp932& convert, StringList& keys, StringList& values) {
    const std::size_t colon = line.find(':');
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

bool IsEndOfCard(std::string_view line, Utf8ToCp932& convert) {
    // Each character of the result takes at most four source bytes, so a
    // longer line cannot become the nine bytes of END:VCARD.
    // An ASCII line converts to itself.
    constexpr std::size_t kLongestMatch = texts::kEndOfCard.size() * 4;
    if (line == texts::kEndOfCard) return true;
    return line.size() <= kLongestMatch && !IsAscii(line) && convert(line) == texts::kEndOfCard;
}

std::string JoinCsvLines(const StringList& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines.Items()) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines.Items()) {
        text.append(line);
        text.append("\r\n");
    }
    return text;
}

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

std::string_view Converter::FirstValue(std::string_view key) const {
    const int index = KeyList.IndexOf(key);
    if (index < 0) return {};
    return ValueList.At(index);
}

std::string Converter::LoadField(std::string_view key, int n) const { return ComponentAt(FirstValue(key), n); }

void Converter::DataKiridashi() {
    RowText.clear();
    const auto field = [this](std::string_view text) {
        RowText.append(kFieldSeparator);
        AppendFieldText(RowText, text);
    };

    // Each key is looked up once; its components are then read from the value.
    const std::string_view name = FirstValue("N");
    const std::string_view home = FirstValue("ADR;TYPE=HOME");

    RowText.push_back('"');
    AppendFieldText(RowText, LoadField("X-PHONETIC-LAST-NAME", 1));
    AppendFieldText(RowText, texts::kIdeographicSpace);
    AppendFieldText(RowText, LoadField("X-PHONETIC-FIRST-NAME", 1));

    field(ComponentAt(name, 1));
    AppendFieldText(RowText, texts::kIdeographicSpace);
    AppendFieldText(RowText, ComponentAt(name, 2));

    const std::string honorific = ComponentAt(name, 5);
    field(honorific.empty() ? texts::kDefaultHonorific : std::string_view(honorific));

    field(ReplaceAll(ComponentAt(home, 6), texts::kPostalMark, ""));

    const std::string street = ReplaceAll(
        ReplaceAll(ComponentAt(home, 3), texts::kEscapedLineBreak, texts::kIdeographicSpace), "?",
        texts::kFullwidthHyphen);
    field(ComponentAt(home, 5));
    AppendFieldText(RowText, ComponentAt(home, 4));
    AppendFieldText(RowText, street);

    field(ReplaceAll(ComponentAt(home, 2), texts::kEscapedLineBreak, texts::kIdeographicSpace));

    // Slot 0 is the spouse, 1 to 3 the children in item order.
    std::array<std::string, 4> related;
    std::size_t nextChild = 1;
    for (const std::string& labelKey : RelationLabelKeys()) {
        const int label = KeyList.IndexOf(labelKey);
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

    const std::string note = LoadField("NOTE", 1);
    const bool printSpouse = MarkerSaysTrue(note, texts::kSpouseMarker);
    const bool printChildren = MarkerSaysTrue(note, texts::kChildrenMarker);
    field(printSpouse ? std::string_view(related[0]) : std::string_view());
    for (std::size_t slot = 1; slot < related.size(); ++slot) {
        field(printChildren ? std::string_view(related[slot]) : std::string_view());
    }
    RowText.push_back('"');
    CsvList.Add(RowText);
}

namespace {

// The keys a row reads. Only the first line with each of them, and the line
// just before each label line, can ever be read; the other lines of a
// contact are not kept, so a contact of millions of lines costs no memory.
constexpr std::string_view kReadKeys[] = {
    "X-PHONETIC-LAST-NAME", "X-PHONETIC-FIRST-NAME", "N", "ADR;TYPE=HOME", "NOTE",
    "item1.X-ABLabel", "item2.X-ABLabel", "item3.X-ABLabel", "item4.X-ABLabel", "item5.X-ABLabel",
    "item6.X-ABLabel", "item7.X-ABLabel", "item8.X-ABLabel", "item9.X-ABLabel", "item10.X-ABLabel",
};
constexpr std::size_t kFirstLabelKey = 5;

// Index into kReadKeys of a converted key, or -1.
int ReadKeyIndex(std::string_view key) {
    for (std::size_t i = 0; i < std::size(kReadKeys); ++i) {
        if (kReadKeys[i].size() == key.size() && EqualsIgnoreCase(kReadKeys[i], key)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

long long Converter::ConvertText(std::string_view source) {
    CsvList.Add(texts::kHeaderRow);
    long long count = 0;
    Utf8ToCp932 convert;
    SourceLines lines(source);
    std::string_view line;
    std::string key;
    std::array<bool, std::size(kReadKeys)> seen{};
    // The line before, raw. A view into the source stays valid; a joined
    // line is taken over from the reader, whose buffer the next read reuses.
    std::string_view previous;
    std::string previousJoined;
    bool havePrevious = false;
    bool previousKept = false;
    while (lines.Next(line)) {
        if (IsEndOfCard(line, convert)) {
            DataKiridashi();
            KeyList.Clear();
            ValueList.Clear();
            seen.fill(false);
            havePrevious = false;
            ++count;
            continue;
        }
        key.clear();
        convert.AppendTo(line.substr(0, line.find(':') == std::string_view::npos ? 0 : line.find(':')), key);
        const int read = ReadKeyIndex(key);
        const bool kept = read >= 0 && !seen[static_cast<std::size_t>(read)];
        if (kept) {
            seen[static_cast<std::size_t>(read)] = true;
            // A label's name is the line before it, whatever that line is.
            if (static_cast<std::size_t>(read) >= kFirstLabelKey && havePrevious && !previousKept) {
                StoreLine(previous, convert, KeyList, ValueList);
            }
            StoreLine(line, convert, KeyList, ValueList);
        }
        const bool inSource = line.data() >= source.data() && line.data() + line.size() <= source.data() + source.size();
        if (inSource || line.empty()) {
            previous = line;
        } else {
            lines.KeepLastJoined(previousJoined);
            previous = previousJoined;
        }
        havePrevious = true;
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
        const std::string source = ReadWholeFile(host_.SourcePath());
        count = ConvertText(source);
    }  // the source bytes are freed before the CSV text is made

    WriteWholeFile(host_.DestinationPath(), JoinCsvLines(CsvList));
    const std::string message = std::to_string(count) + std::string(texts::kConvertedSuffix);
    host_.ShowMessage(MessageKind::Information, message, MessageButtons::Ok);
}

}  // namespace kartovo
