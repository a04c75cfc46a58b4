#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Cp932Encoder.h"
#include "CsvLayout.h"
#include "CsvLines.h"
#include "FileShape.h"
#include "Host.h"
#include "LossMarks.h"
#include "LossReport.h"
#include "OtherCard.h"
#include "RelationLabels.h"
#include "SourceLines.h"
#include "StringList.h"

namespace kartovo {

// One conversion of a vCard file into the CSV file, with the work fields that
// live during a run. The window and the console converter each own one.
class Converter {
public:
    explicit Converter(Host& host) : host_(host) {}

    // The whole run: checks the two paths, asks before overwriting, converts
    // every contact and reports the count and what could not be written.
    // Failures are thrown as Failure.
    void mainprocess();

    // The middle of a run: the header and one row per contact of the source
    // lines into CsvList (the store is left holding any unfinished contact),
    // the contacts that lost text into Lost and what the file looks like
    // into Notes, afresh. Returns the number of contacts.
    long long ConvertText(SourceLines& lines);
    long long ConvertText(std::string_view source);

    // Builds the row of the contact held in KeyList / ValueList into RowText
    // and appends it to CsvList. A store filled some other way holds no
    // source bytes, and its losses are not reported.
    void DataKiridashi();

    // The file's layout from the next run on: the present one unless said;
    // a user's template is one too.
    void UseLayout(const Layout& layout);
    const Layout& CurrentLayout() const { return layout_; }

    // Component n (from 1) of the value of the first stored line whose key
    // equals `key` ignoring letter case; empty when there is none. The
    // lookup the row is defined by; the run itself finds each key it reads
    // once, as the line comes, and reads the same value.
    std::string LoadField(std::string_view key, int n) const;

    // Empties the lists for a run, and gives their memory back on every way
    // out of it: a million contacts' lists would otherwise stay with the
    // owner between runs.
    class ReleaseListsOnExit {
    public:
        explicit ReleaseListsOnExit(Converter& converter);
        ~ReleaseListsOnExit();
        ReleaseListsOnExit(const ReleaseListsOnExit&) = delete;
        ReleaseListsOnExit& operator=(const ReleaseListsOnExit&) = delete;

    private:
        Converter& converter_;
    };

    std::string RowText;
    StringList KeyList;
    StringList ValueList;
    CsvLines CsvList;
    // What the last run could not write. Its owner chooses how many
    // contacts it keeps; all are counted.
    LossReport Lost;
    // What the last run has to say of the file as a whole.
    std::vector<RunNote> Notes;
    // Off, a run neither marks nor reports what was lost: the conversion
    // as it is without the report, for checking that the report changes
    // no byte of the CSV.
    bool ReportsLosses = true;
    // Told the number of each contact whose row has neither a postal code
    // nor an address, in whatever layout: no label can be sent with it, and
    // a front end that shows the rows marks it without reading them back.
    std::function<void(long long number)> RowWithoutAddress;

    // The keys a row reads besides the relation labels, by their place in
    // the first lines found.
    enum FixedKey : std::size_t { kPhoneticLastName, kPhoneticFirstName, kName, kHomeAddress, kNote, kFixedKeyCount };
    // What a key is to Google's reading: a fixed key, the label of an item
    // number, or neither.
    struct KeyRole {
        int fixed = -1;
        std::uint64_t labelItem = 0;
    };

private:
    // Forgets the contact whose row was built, for the next one.
    void ClearContact();
    // Takes one source line of the contact being read, for both readings.
    void ReadLine(std::string_view line, SourceLines& lines, Utf8ToCp932& convert);
    // The other reading of a line whose first ":" is at `colon` (npos:
    // none); `googleStores` as for OtherCard::ReadLine.
    void ReadOtherLine(std::string_view line, std::size_t colon, bool googleStores);
    // Google's reading of a line whose first ":" is at `colon` (npos: none).
    // Tells what the key is to it.
    KeyRole ReadGoogleLine(std::string_view line, std::size_t colon, SourceLines& lines, Utf8ToCp932& convert);
    // A spouse or child label of `item`: its name is the value of the line
    // before it, whatever that line is (none for the contact's first line).
    void ReadLabel(std::uint64_t item, std::string_view label, std::string_view previous, Utf8ToCp932& convert);
    // Stores a line whose key a row reads as fixed key `which`: the key as
    // converted, the raw value converted with a mark for each character it
    // lost.
    void StoreValue(std::string_view key, std::string_view value, std::size_t which, Utf8ToCp932& convert);
    // Finds the first stored line of each key a row reads, and the relation
    // labels, in the store as it stands.
    void FindReadKeys();
    // What a row is built from: whole values as CP932 text, and the
    // related names in their slots.
    struct RowValues {
        std::string_view readingLast;  // its first component is the family name's reading
        std::string_view readingFirst;
        int readingFirstPart = 1;  // the component of readingFirst that is the given name's reading
        std::string_view name;
        std::string_view homeAddress;
        bool extendedMayHoldAll = false;  // an address of only an extended part is the whole address
        std::string_view note;
        std::array<const RelatedName*, 4> related{};
    };
    // The values of the contact in the store, read as Google writes them.
    RowValues GoogleValues() const;
    // DataKiridashi once the values are found.
    void BuildRow(const RowValues& values);
    // Builds the row of the contact just ended, by the reading its card
    // gets, and reports it if it must be.
    void FinishContact(long long number);
    // Makes the marks of the row built "?", and names the contact if a
    // written field showed a loss, or if its label will have no address.
    void ReportContact(long long number, bool noHome);
    // What the run has to say of the file as a whole (OtherValues.cpp).
    void AddNotes();
    // The layout's header row, or a template's rows.
    void WriteHead();
    // Which layout or template the file took, and what of it the user should check.
    void AddLayoutNotes();
    // The losses of the values the Google reading stored.
    void NoteStoredConversions();
    // The values of a card that another producer wrote, converted now
    // (OtherValues.cpp).
    RowValues OtherValues();
    // A value the other reading found, converted into `text` unless it is
    // the one Google's reading stored as `storedAs`.
    struct ConvertedText {
        std::string_view text;
        Conversion conversion = Conversion::Exact;
    };
    ConvertedText OtherText(const OtherCard::Value& value, std::optional<FixedKey> storedAs, std::string& text);
    // The value of the first stored line with fixed key `which`, or the empty text.
    std::string_view FirstValue(std::size_t which) const;

    // The texts a row is written from (Row.cpp).
    void PrepareContact(const RowValues& values);
    void PrepareAddress(const RowValues& values);
    void PrepareJointNames(const RowValues& values);
    // The present layout's row: ten fields, always quoted.
    void WriteStandardRow();
    // Component n (from 1) of a value split into `parts`, or the empty text.
    static std::string_view Part(const StringList& parts, int n);
    // Another layout's row, column by column (LayoutRow.cpp).
    void WriteLayoutRow();
    std::string_view ColumnText(const Column& column);
    std::string_view PostalText(bool hyphenated);
    std::string_view JointText(const Column& column);
    // The values (bits of LossMarks::Value) a column shows.
    std::uint16_t ValuesShownBy(const Column& column) const;
    std::uint16_t JointSlots(int person) const;
    // Notes a value over the column's stated limit, or a required cell left empty.
    void CheckLimit(const Column& column, std::string_view text);
    bool WritesUtf8() const { return layout_.encoding != Encoding::Cp932; }

    // Reused for every contact: a million contacts would otherwise cost
    // millions of allocations, which are slow on Windows.
    std::array<int, kFixedKeyCount> firstLine_{};  // in the store, or -1
    ItemNumbers labelledItems_;  // the item numbers whose label came already
    RelatedNames related_;
    StringList parts_;  // the name split
    StringList addressParts_;
    std::string readingLast_;
    std::string readingFirst_;
    std::string postalCode_;
    std::string streetSpaced_;  // "\n" read as a blank
    std::string street_;
    std::string extendedAddress_;
    std::string note_;
    std::array<std::string, 4> jointNames_;
    // The texts of the contact whose row is written, CP932 with the marks of
    // what it lost.
    struct ContactText {
        std::string_view readingLast, readingFirst, family, given, honorific;
        std::string_view postalCode, region, locality, street, extended;
        std::array<std::string_view, 4> joints;  // spouse, children; empty where not printed
    };
    ContactText contact_;
    std::string convertedKey_;
    std::string label_;

    std::array<Conversion, kFixedKeyCount> storedConversion_{};
    bool previousInCard_ = false;  // the line before belongs to this contact
    // The card read as another producer wrote it, beside Google's reading,
    // once a sign of one showed.
    bool readingOther_ = false;
    bool sawAddress_ = false;  // an address line that is not Google's home address
    OtherCard other_;
    std::array<std::string, OtherCard::kValueCount> otherText_;
    std::array<RelatedName, 4> otherRelated_;
    // Contacts with no address at all, and cards read as each producer's.
    long long withoutAddress_ = 0;
    std::array<long long, 4> readAs_{};

    Layout layout_ = StandardLayout();
    bool standardLayout_ = true;
    long long contactNumber_ = 0;  // of the contact whose row is written
    std::vector<LossMarks::Cell> cells_;  // of the row written
    // The columns a row writes text into, in order: the others are only a
    // comma each, and their cells stay empty.
    std::vector<std::size_t> writtenColumns_;
    std::array<std::string_view, 4> personNames_;  // the joint persons printed, in order
    std::size_t persons_ = 0;
    std::string limits_;           // what the row's cells break of the form's limits, UTF-8
    std::string name_;             // the contact's name, for the report
    std::string cell_;             // a cell's text made for it
    std::string utf8Row_;

    LossMarks marks_;
    // Where the row's fields start, for a row that lost text.
    LossMarks::FieldStarts fieldStarts_{};
    FileShape shape_;

    Host& host_;
};

// Splits one raw source line at its first ":" into key and value, each
// converted from UTF-8 separately, and appends them to the store. Tells how
// the value came through; `mark`, if given, stands for each character the
// value lost.
Conversion StoreLine(std::string_view line, Utf8ToCp932& convert, StringList& keys, StringList& values,
                     const Cp932Encoder::Marker* mark = nullptr);

// Whether the raw line, converted as a whole, is exactly "END:VCARD".
bool IsEndOfCard(std::string_view line);

}  // namespace kartovo
