#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Converter.h"
#include "CsvLayout.h"
#include "CsvLines.h"
#include "Host.h"
#include "SourceLines.h"

namespace kartovo::web {

// What the page marks on a row of its preview, one bit each. Bits 0 to 15
// stand for the row's first sixteen cells, for a cell whose text lost
// characters (the loss report's bits), in any layout.
inline constexpr std::uint32_t kNoAddressMark = 1u << 16;  // a label that cannot be sent

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

    // The layout of the next runs, a template's too.
    void UseLayout(const Layout& layout) { converter_.UseLayout(layout); }
    const Layout& CurrentLayout() const { return converter_.CurrentLayout(); }

    // Converts the source; every byte of the CSV goes to `csv`, in order.
    // Failures are thrown as the console converter's are.
    void Run(SourceLines::Reader read, const CsvLines::Sink& csv);

    long long Count() const { return count_; }
    // "N件の連絡先を変換しました" and the run's notes, as UTF-8.
    std::string CountMessage() const;
    // The report of the contacts that lost text, as UTF-8 and as the window
    // words it; empty when none did.
    std::string LossMessage() const;
    // One entry per row of the CSV, in order: its bytes with its line end,
    // so that they add up to the file (a byte-order mark counts in the
    // first). A template's own row may hold a line break inside quotes.
    const std::vector<std::uint32_t>& RowLengths() const { return rowLengths_; }
    const std::vector<std::uint32_t>& Marks() const { return marks_; }
    // The rows before the contacts': the header, and around it a
    // template's own rows; contact n is row HeadRows() + n - 1.
    std::size_t HeadRows() const { return headRows_; }
    std::size_t HeaderRow() const { return headerRow_; }

private:
    // The rows the layout writes before the contacts', as CsvLayout.h
    // says a file is written.
    void CountHead();
    void Scan(std::string_view block);
    void Mark(long long contact, std::uint32_t marks);

    PageHost host_;
    Converter converter_{host_};
    long long count_ = 0;
    std::vector<std::uint32_t> rowLengths_;
    std::vector<std::uint32_t> marks_;
    std::size_t headRows_ = 1;
    std::size_t headerRow_ = 0;
    std::size_t headLeft_ = 0;  // bytes of the head rows that Scan has still to pass
};

}  // namespace kartovo::web
