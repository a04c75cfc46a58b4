// Whole conversions of arbitrary bytes: the CSV must stay readable by any
// RFC 4180 reader, with one row per end line and the same bytes every time.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Converter.h"
#include "Cp932Encoder.h"
#include "FuzzCheck.h"
#include "SourceLines.h"
#include "TestSupport.h"
#include "Texts.h"

namespace {

using kartovo::Converter;

// The logical lines, found without SourceLines so that its own faults show:
// a plain byte loop over the breaks, then the folds joined.
std::vector<std::string> UnfoldedLines(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    std::vector<std::string> raw;
    std::string current;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            raw.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) raw.push_back(current);

    std::vector<std::string> lines;
    for (const std::string& line : raw) {
        const bool continues = !lines.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if (continues) {
            lines.back().append(line, 1);
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

long long CountEndLines(const std::vector<std::string>& lines) {
    const kartovo::Utf8ToCp932 convert;
    long long count = 0;
    for (const std::string& line : lines) {
        if (convert(line) == kartovo::texts::kEndOfCard) ++count;
    }
    return count;
}

// A strict RFC 4180 reader: records end in CR LF, a quoted field may hold
// anything with its quotes doubled, an unquoted one no quote, comma or line
// break. Gives false on any text such a reader would refuse.
using Record = std::vector<std::string>;

bool ReadCsv(std::string_view text, std::vector<Record>& records) {
    std::size_t i = 0;
    while (i < text.size()) {
        Record record;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                ++i;
                for (;;) {
                    if (i >= text.size()) return false;  // unclosed quote
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field.push_back('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    field.push_back(text[i++]);
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"') return false;
                    field.push_back(text[i++]);
                }
            }
            record.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.substr(i, 2) != "\r\n") return false;  // junk after a field, or a bare break
            i += 2;
            break;
        }
        records.push_back(std::move(record));
    }
    return true;
}

// The whole text at once, or read `piece` bytes at a time as a file is.
std::string Convert(Converter& converter, std::string_view input, long long& count, std::size_t piece = 0) {
    converter.KeyList.Clear();
    converter.ValueList.Clear();
    converter.CsvList.Clear();
    if (piece == 0) {
        count = converter.ConvertText(input);
    } else {
        std::size_t at = 0;
        kartovo::SourceLines lines(
            [&](char* into, std::size_t room) {
                const std::size_t n = std::min({piece, room, input.size() - at});
                std::copy_n(input.data() + at, n, into);
                at += n;
                return n;
            },
            piece);
        count = converter.ConvertText(lines);
    }
    return kartovo::test::CsvText(converter.CsvList);
}

// Every "=XX" of hexadecimal digits made the byte it stands for, as a
// quoted-printable value decodes, wherever it stands.
std::string QuotedPrintableDecoded(std::string_view bytes) {
    std::string decoded;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto hex = [&bytes](std::size_t at) { return std::isxdigit(static_cast<unsigned char>(bytes[at])) != 0; };
        if (bytes[i] == '=' && i + 2 < bytes.size() && hex(i + 1) && hex(i + 2)) {
            decoded.push_back(static_cast<char>(std::stoi(std::string(bytes.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            decoded.push_back(bytes[i]);
        }
    }
    return decoded;
}

// A "?" of the source, written as it is or quoted-printable, made a "Q".
std::string WithoutQuestionMarks(std::string_view bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool encoded = bytes.substr(i, 3) == "=3F" || bytes.substr(i, 3) == "=3f";
        text.push_back(bytes[i] == '?' || encoded ? 'Q' : bytes[i]);
        if (encoded) i += 2;
    }
    return text;
}

// Whether the bytes may hold a longer form that spells "?" (C0 BF and the
// like), which the CSV shows as "?" though nothing was lost.
bool MaySpellQuestionMarkLong(std::string_view bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const auto next = static_cast<unsigned char>(bytes[i + 1]);
        if ((b == 0x80 || b == 0xC0) && next == 0xBF) return true;
        if ((b == 0xA0 || b == 0xB0 || b == 0xE0) && next == 0x80 && i + 2 < bytes.size() &&
            static_cast<unsigned char>(bytes[i + 2]) == 0xBF) {
            return true;
        }
    }
    return false;
}

struct Loss {
    long long number;
    unsigned fields;
    std::string characters;
    unsigned reasons;
    bool operator==(const Loss&) const = default;
};

std::vector<Loss> LossesOf(const Converter& converter) {
    std::vector<Loss> losses;
    for (const kartovo::LostContact& c : converter.Lost.Entries()) {
        losses.push_back({c.number, c.fields, c.characters, c.reasons});
    }
    return losses;
}

// One for the whole session, as a window keeps one for all its runs: each
// input also checks that nothing of the one before lingers.
Converter& SessionConverter() {
    static kartovo::test::NoHost host;
    static Converter converter(host);
    return converter;
}

// The conversion without the report, which must write the same CSV.
Converter& PlainConverter() {
    static kartovo::test::NoHost host;
    static Converter converter(host);
    converter.ReportsLosses = false;
    return converter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Converter& converter = SessionConverter();
    long long count = 0;
    const std::string csv = Convert(converter, input, count);

    const std::string header = std::string(kartovo::texts::kHeaderRow) + "\r\n";
    FUZZ_CHECK(header.size() == 85);
    FUZZ_CHECK(csv.compare(0, header.size(), header) == 0);

    const std::vector<std::string> sourceLines = UnfoldedLines(input);
    FUZZ_CHECK(kartovo::test::SplitIntoLines(input) == sourceLines);

    // Every line ends in CR LF, and no CR or LF stands anywhere else: label
    // programs read the file line by line.
    FUZZ_CHECK(csv.size() >= 2 && csv.compare(csv.size() - 2, 2, "\r\n") == 0);
    std::size_t lines = 0;
    for (std::size_t start = 0; start < csv.size(); ++lines) {
        const std::size_t end = csv.find("\r\n", start);
        FUZZ_CHECK(csv.substr(start, end - start).find_first_of("\r\n") == std::string::npos);
        start = end + 2;
    }
    FUZZ_CHECK(lines == static_cast<std::size_t>(count + 1));

    std::vector<Record> records;
    FUZZ_CHECK(ReadCsv(csv, records));
    for (const Record& record : records) FUZZ_CHECK(record.size() == 10);
    FUZZ_CHECK(static_cast<long long>(records.size()) == count + 1);
    FUZZ_CHECK(converter.CsvList.Count() == count + 1);
    FUZZ_CHECK(count == CountEndLines(sourceLines));

    // The report changes no byte of the CSV.
    long long plainCount = 0;
    FUZZ_CHECK(Convert(PlainConverter(), input, plainCount) == csv);
    FUZZ_CHECK(plainCount == count && PlainConverter().Lost.Count() == 0);

    // The report counts each contact once, in file order, and keeps them all.
    const std::vector<Loss> losses = LossesOf(converter);
    FUZZ_CHECK(converter.Lost.Count() == static_cast<long long>(losses.size()));
    for (std::size_t i = 0; i < losses.size(); ++i) {
        FUZZ_CHECK(losses[i].number >= 1 && losses[i].number <= count);
        FUZZ_CHECK(i == 0 || losses[i].number > losses[i - 1].number);
        FUZZ_CHECK(losses[i].reasons != 0 && !losses[i].characters.empty() && losses[i].fields < 1u << 10);
        // A contact named only for its missing home address lost no text.
        const bool lostText = (losses[i].reasons & kartovo::kLostText) != 0;
        FUZZ_CHECK(lostText == (losses[i].fields != 0));
        if (!lostText) FUZZ_CHECK(losses[i].characters == kartovo::kNoHomeAddressText);
    }

    // A "?" of the source is no loss: made a "Q", it changes nothing in the
    // report. Then every "?" in the CSV is a lost character, so a field
    // holds one exactly where the report marks it, but for a value that
    // could not be read, which leaves the field empty instead.
    const std::string questionless = WithoutQuestionMarks(input);
    long long same = 0;
    const std::string marked = Convert(converter, questionless, same);
    FUZZ_CHECK(LossesOf(converter) == losses);
    std::vector<Record> markedRecords;
    FUZZ_CHECK(ReadCsv(marked, markedRecords) && markedRecords.size() == records.size());
    const bool longQuestionMarks =
        MaySpellQuestionMarkLong(questionless) || MaySpellQuestionMarkLong(QuotedPrintableDecoded(questionless));
    auto loss = losses.begin();
    for (std::size_t row = 1; row < markedRecords.size(); ++row) {
        const bool reported = loss != losses.end() && loss->number == static_cast<long long>(row);
        const unsigned fields = reported ? loss->fields : 0;
        const bool unreadable = reported && loss->characters.find("（読めない値）") != std::string::npos;
        for (std::size_t field = 0; field < 10; ++field) {
            const bool shows = markedRecords[row][field].find('?') != std::string::npos;
            const bool marks = (fields >> field & 1) != 0;
            if (shows && !longQuestionMarks) FUZZ_CHECK(marks);
            // The street shows a lost character as the hyphen its "?" becomes.
            if (marks && !unreadable && field != 4) FUZZ_CHECK(shows);
        }
        if (reported) ++loss;
    }

    // Read in pieces, with a buffer that must move and grow on the way, the
    // same text gives the same CSV and the same report.
    long long again = 0;
    const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 7;
    FUZZ_CHECK(Convert(converter, input, again, piece) == csv);
    FUZZ_CHECK(again == count);
    FUZZ_CHECK(LossesOf(converter) == losses);
    return 0;
}
