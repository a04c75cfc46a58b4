#include "PageConversion.h"

#include <algorithm>

#include "ByteSearch.h"
#include "Texts.h"

namespace kartovo::web {
namespace {

constexpr std::size_t kByteOrderMarkSize = 3;

}  // namespace

PageConversion::PageConversion() {
    converter_.Lost.KeepAtMost(kShownLostContacts);
    converter_.Lost.HandEachTo([this](const LostContactView& contact) { Mark(contact.number, contact.fields); });
    converter_.RowWithoutAddress = [this](long long contact) { Mark(contact, kNoAddressMark); };
}

void PageConversion::Run(SourceLines::Reader read, const CsvLines::Sink& csv) {
    count_ = 0;
    rowLengths_.clear();
    marks_.clear();
    CountHead();
    Converter::ReleaseListsOnExit lists(converter_);
    const auto take = [this, &csv](std::string_view block) {
        Scan(block);
        csv(block);
    };
    converter_.CsvList.SpillTo(take);
    SourceLines lines(std::move(read));
    count_ = converter_.ConvertText(lines);
    converter_.CsvList.SpillTo(nullptr);
    for (const std::string& block : converter_.CsvList.Blocks()) take(block);
    marks_.resize(rowLengths_.size());
}

std::string PageConversion::CountMessage() const {
    return WithNotes(std::to_string(count_) + Cp932ToUtf8(texts::kConvertedSuffix), converter_.Notes);
}

std::string PageConversion::LossMessage() const {
    return converter_.Lost.Count() == 0 ? std::string() : LossReportText(converter_.Lost, kShownLostContacts);
}

void PageConversion::CountHead() {
    const Layout& layout = converter_.CurrentLayout();
    if (layout.keptRows.empty()) {
        rowLengths_.push_back(static_cast<std::uint32_t>(layout.headerBytes.size() + layout.lineEnd.size()));
        headerRow_ = 0;
    } else {
        for (const std::string& row : layout.keptRows) rowLengths_.push_back(static_cast<std::uint32_t>(row.size()));
        headerRow_ = layout.keptRows.size() - layout.rowsBelowHeader - 1;
    }
    if (layout.encoding == Encoding::Utf8WithBom) rowLengths_.front() += kByteOrderMarkSize;
    headRows_ = rowLengths_.size();
    headLeft_ = 0;
    for (const std::uint32_t length : rowLengths_) headLeft_ += length;
}

void PageConversion::Scan(std::string_view block) {
    const std::size_t passed = std::min(headLeft_, block.size());
    headLeft_ -= passed;
    // A block holds whole lines, and a contact's row holds no CR or LF.
    const std::string_view lineEnd = converter_.CurrentLayout().lineEnd;
    for (std::size_t start = passed; start < block.size();) {
        const std::size_t found = FindText(block, lineEnd, start);
        const std::size_t end = found == std::string_view::npos ? block.size() : found + lineEnd.size();
        rowLengths_.push_back(static_cast<std::uint32_t>(end - start));
        start = end;
    }
}

// Contact n is row HeadRows() + n - 1, whose marks may come before the row
// itself is scanned.
void PageConversion::Mark(long long contact, std::uint32_t marks) {
    const std::size_t row = headRows_ + static_cast<std::size_t>(contact) - 1;
    if (row >= marks_.size()) marks_.resize(row + 1);
    marks_[row] |= marks;
}

}  // namespace kartovo::web
