#include "PageConversion.h"

#include "ByteSearch.h"
#include "Cp932Decoder.h"
#include "Texts.h"

namespace kartovo::web {
namespace {

constexpr std::size_t kPostalCodeField = 3;  // then the two address lines
constexpr std::size_t kFieldCount = 10;

}  // namespace

std::uint16_t RowMarks(std::string_view row) {
    bool empty[kFieldCount] = {};
    std::size_t field = 0;
    std::size_t i = 1;  // past the row's opening quote
    while (field < kFieldCount && i < row.size()) {
        const std::size_t start = i;
        // A quote ends the field unless another follows it.
        for (i = FindByte(row, '"', i); i != std::string_view::npos && i + 1 < row.size() && row[i + 1] == '"';
             i = FindByte(row, '"', i + 2)) {
        }
        if (i == std::string_view::npos) break;
        empty[field++] = i == start;
        i += 3;  // the closing quote, the comma and the next opening quote
    }
    if (field < kFieldCount) return 0;  // not a row of the converter's
    const bool noAddress = empty[kPostalCodeField] && empty[kPostalCodeField + 1] && empty[kPostalCodeField + 2];
    return noAddress ? kNoAddressMark : 0;
}

PageConversion::PageConversion() {
    converter_.Lost.KeepAtMost(kShownLostContacts);
    converter_.Lost.HandEachTo(
        [this](const LostContactView& contact) { lostRows_.emplace_back(contact.number, contact.fields); });
}

void PageConversion::Run(SourceLines::Reader read, const CsvLines::Sink& csv) {
    count_ = 0;
    rowLengths_.clear();
    marks_.clear();
    lostRows_.clear();
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
    // Contact n is row n, the header being row 0: every contact makes one.
    for (const auto& [row, fields] : lostRows_) {
        if (static_cast<std::size_t>(row) < marks_.size()) marks_[static_cast<std::size_t>(row)] |= fields;
    }
    lostRows_.clear();
    lostRows_.shrink_to_fit();
}

std::string PageConversion::CountMessage() const {
    return WithNotes(std::to_string(count_) + Cp932ToUtf8(texts::kConvertedSuffix), converter_.Notes);
}

std::string PageConversion::LossMessage() const {
    return converter_.Lost.Count() == 0 ? std::string() : LossReportText(converter_.Lost, kShownLostContacts);
}

void PageConversion::Scan(std::string_view block) {
    // A block holds whole lines; CR LF never stands inside one.
    for (std::size_t start = 0; start < block.size();) {
        const std::size_t end = FindText(block, "\r\n", start);
        const std::string_view row = block.substr(start, end - start);
        rowLengths_.push_back(static_cast<std::uint32_t>(row.size()));
        marks_.push_back(rowLengths_.size() == 1 ? std::uint16_t{0} : RowMarks(row));
        start = end + 2;
    }
}

}  // namespace kartovo::web
