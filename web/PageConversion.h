#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Converter.h"
#include "CsvLines.h"
#include "Host.h"
#include "SourceLines.h"

namespace kartovo::web {

// What the page marks on a row of its preview, one bit each. Bits 0 to 9
// stand for the row's ten fields, left to right, for a field whose text lost
// characters (the loss report's bits).
inline constexpr std::uint16_t kNoAddressMark = 1u << 10;  // a label that cannot be sent

// The marks of one CSV row as the converter writes it: each field between
// double quotes, a quote inside written doubled.
std::uint16_t RowMarks(std::string_view row);

// The page has no paths and no message boxes: it converts from memory, and
// a conversion in the middle of a run never asks its host anything.
class PageHost : public Host {
public:
    bool SourceFieldEmpty() const override { return false; }
    bool DestinationFieldEmpty() const override { return false; }
    std::filesystem::path SourcePath() const override { return {}; }
    std::filesystem::path DestinationPath() const override { return {}; }
    int ShowMessage(MessageKind, std::string_view, MessageButtons) override { return kResultOk; }
    // The page converts through ConvertText, never the whole run.
    void ShowConverted(std::string_view, const std::vector<RunNote>&, const LossReport&) override {}
};

// One conversion for the page: the source read piece by piece, the CSV
// handed on block by block as it grows, so that neither is ever held whole
// here; what the preview needs of each row is kept beside, a few bytes a row.
class PageConversion {
public:
    PageConversion();

    // Converts the source; every byte of the CSV goes to `csv`, in order.
    // Failures are thrown as the console converter's are.
    void Run(SourceLines::Reader read, const CsvLines::Sink& csv);

    long long Count() const { return count_; }
    // "N件の連絡先を変換しました", as UTF-8.
    std::string CountMessage() const;
    // The report of the contacts that lost text, as UTF-8 and as the window
    // words it; empty when none did.
    std::string LossMessage() const;
    // One entry per CSV line, the header first.
    const std::vector<std::uint32_t>& RowLengths() const { return rowLengths_; }  // without CR LF
    const std::vector<std::uint16_t>& Marks() const { return marks_; }

private:
    void Scan(std::string_view block);

    PageHost host_;
    Converter converter_{host_};
    long long count_ = 0;
    std::vector<std::uint32_t> rowLengths_;
    std::vector<std::uint16_t> marks_;
    // The rows whose fields lost text, with those fields' bits: a few bytes
    // for each such contact, whatever the report keeps of it.
    std::vector<std::pair<long long, std::uint16_t>> lostRows_;
};

}  // namespace kartovo::web
