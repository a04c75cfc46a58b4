#pragma once

#include <array>
#include <string>
#include <string_view>

#include "Cp932Encoder.h"
#include "CsvLines.h"
#include "Host.h"
#include "SourceLines.h"
#include "StringList.h"

namespace kartovo {

// One conversion of a vCard file into the CSV file, with the work fields that
// live during a run. The window and the console converter each own one.
class Converter {
public:
    explicit Converter(Host& host) : host_(host) {}

    // The whole run: checks the two paths, asks before overwriting, converts
    // every contact and reports the count. Failures are thrown as Failure.
    void mainprocess();

    // The middle of a run: the header and one row per contact of the source
    // lines into CsvList (the store is left holding any unfinished contact).
    // Returns the number of contacts.
    long long ConvertText(SourceLines& lines);
    long long ConvertText(std::string_view source);

    // Builds the row of the contact held in KeyList / ValueList into RowText
    // and appends it to CsvList.
    void DataKiridashi();

    // Component n (from 1) of the value of the first stored line whose key
    // equals `key` ignoring letter case; empty when there is none.
    std::string LoadField(std::string_view key, int n) const;

    std::string RowText;
    StringList KeyList;
    StringList ValueList;
    CsvLines CsvList;

    // The keys a row reads: the reading, the name, the home address, the
    // note, and ten relation labels.
    static constexpr std::size_t kReadKeyCount = 15;

private:
    // Finds the first stored line of each key a row reads, in one pass over
    // the store.
    void FindReadKeys();
    // DataKiridashi once the read keys are found.
    void BuildRow();
    // The value of the first stored line with read key `which`, or the empty text.
    std::string_view FirstValue(std::size_t which) const;

    // The row's steps, left to right.
    void AppendReading();
    void AppendName();
    void AppendAddress();
    void AppendJointNames();
    // The separator and a field's text.
    void AppendField(std::string_view text);
    // Component n (from 1) of the value last split into parts_, or the empty text.
    std::string_view Part(int n) const;
    // `text` with every `from` replaced, in scratch buffer 0 or 1.
    std::string_view Replaced(std::size_t buffer, std::string_view text, std::string_view from, std::string_view to);

    // Reused for every contact: a million contacts would otherwise cost
    // millions of allocations, which are slow on Windows.
    std::array<int, kReadKeyCount> firstLine_{};  // in the store, or -1
    StringList parts_;  // each value split
    std::string scratch_[2];
    std::string note_;

    Host& host_;
};

// Splits one raw source line at its first ":" into key and value, each
// converted from UTF-8 separately, and appends them to the store.
void StoreLine(std::string_view line, Utf8ToCp932& convert, StringList& keys, StringList& values);

// Whether the raw line, converted as a whole, is exactly "END:VCARD".
bool IsEndOfCard(std::string_view line);

}  // namespace kartovo
