// The values of a card that another producer wrote, and what the run says
// of the file as a whole.
#include "Converter.h"
#include "Cp932Decoder.h"
#include "Unicode.h"

namespace kartovo {

Converter::ConvertedText Converter::OtherText(const OtherCard::Value& value, std::optional<FixedKey> storedAs,
                                              std::string& text) {
    text.clear();
    if (!value.present) return {};
    if (value.stored && storedAs) {
        // The line Google's reading stored: no parameter, so read as it reads it.
        return {FirstValue(*storedAs), storedConversion_[*storedAs]};
    }
    if (value.shiftJis && (IsAscii(value.bytes) || !IsUtf8(value.bytes))) {
        // Code page 932 as it stands; a pair that is no character reads as ・.
        Cp932Encoder().Append(Cp932ToUtf16(value.bytes), text);
        return {text, Conversion::Exact};
    }
    // A value labelled Shift_JIS that is UTF-8 was saved again by an editor.
    if (shape_.WantsValue()) shape_.SeeValue(value.bytes);
    const Conversion conversion =
        Utf8ToCp932().AppendTo(value.bytes, text, ReportsLosses ? &marks_.Marker() : nullptr);
    return {text, conversion};
}

Converter::RowValues Converter::OtherValues() {
    RowValues values;
    const auto text = [this](const OtherCard::Value& value, std::optional<FixedKey> storedAs,
                             std::optional<LossMarks::Value> feeds, std::string& into) {
        const ConvertedText converted = OtherText(value, storedAs, into);
        if (ReportsLosses && feeds) marks_.Note(*feeds, converted.conversion);
        return converted.text;
    };
    const auto value = [this, &text](OtherCard::Which which, std::optional<FixedKey> storedAs,
                                     std::optional<LossMarks::Value> feeds) {
        return text(other_.Get(which), storedAs, feeds, otherText_[which]);
    };
    values.name = value(OtherCard::kName, kName, LossMarks::kName);
    const bool phonetic =
        other_.Get(OtherCard::kPhoneticLastName).present || other_.Get(OtherCard::kPhoneticFirstName).present;
    if (phonetic || !other_.Get(OtherCard::kSound).present) {
        values.readingLast = value(OtherCard::kPhoneticLastName, kPhoneticLastName, LossMarks::kReadingLast);
        values.readingFirst = value(OtherCard::kPhoneticFirstName, kPhoneticFirstName, LossMarks::kReadingFirst);
    } else {
        // Japanese phones' reading: the family name's, then the given name's.
        values.readingLast = values.readingFirst = value(OtherCard::kSound, std::nullopt, LossMarks::kReadingLast);
        values.readingFirstPart = 2;
    }
    values.homeAddress =
        text(other_.HomeAddress(), kHomeAddress, LossMarks::kHomeAddress, otherText_[OtherCard::kHomeAddress]);
    values.extendedMayHoldAll = true;
    values.note = value(OtherCard::kNote, kNote, std::nullopt);
    for (std::size_t slot = 0; slot < otherRelated_.size(); ++slot) {
        if (!other_.Related()[slot].present) continue;
        RelatedName& related = otherRelated_[slot];
        related.conversion = OtherText(other_.Related()[slot], std::nullopt, related.name).conversion;
        values.related[slot] = &related;
    }
    return values;
}

void Converter::AddNotes() {
    if (const std::optional<RunNote> note = shape_.Note()) Notes.push_back(*note);
    static constexpr std::string_view kProducers[] = {"", "iPhone・Macの形式", "Androidなどの vCard 2.1 形式",
                                                      "その他の形式"};
    std::string readAs;
    for (std::size_t kind = 1; kind < readAs_.size(); ++kind) {
        if (readAs_[kind] == 0) continue;
        readAs += (readAs.empty() ? "（" : "、") + std::string(kProducers[kind]) + " " +
                  std::to_string(readAs_[kind]) + "件";
    }
    if (!readAs.empty()) Notes.push_back({readAs + "として読みました）", false});
    if (withoutAddress_ != 0) Notes.push_back({"住所のない連絡先：" + std::to_string(withoutAddress_) + "件", false});
    if (!standardLayout_) AddLayoutNotes();
}

void Converter::AddLayoutNotes() {
    std::string known = layout_.title;
    if (!layout_.yearKnown.empty()) known += "（" + layout_.yearKnown + "年の様式）";
    Notes.push_back({"書き出した様式：" + known, false});
    std::string unused;
    for (const Column& column : layout_.columns) {
        if (column.field != Field::None || column.header.empty()) continue;
        unused += (unused.empty() ? "" : "、") + column.header;
    }
    if (!layout_.keptRows.empty() && !unused.empty()) Notes.push_back({"空のままの列：" + unused, false});
    if (layout_.rowsBelowHeader != 0) {
        Notes.push_back({"テンプレートの見出しの行の下に" + std::to_string(layout_.rowsBelowHeader) +
                             "行あります。見本の行なら、印刷の前に消してください。",
                         true});
    }
}

}  // namespace kartovo
