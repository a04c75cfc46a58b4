#include "OtherCard.h"

#include <algorithm>
#include <array>
#include <utility>

#include "AsciiName.h"
#include "ByteSearch.h"
#include "CardProperty.h"
#include "Cp932.h"

namespace kartovo {
namespace {

// How many related names or labels wait for their other half: Apple writes
// a name and its label one after the other.
constexpr std::size_t kWaitingHalves = 16;

// The first components of a value as it stands, escapes kept: the split the
// component reader makes, on the value's own bytes, in one walk.
template <std::size_t N>
std::array<std::string_view, N> RawComponents(std::string_view value, bool shiftJis) {
    std::array<std::string_view, N> components{};
    std::size_t start = 0;
    for (std::size_t component = 0; component < N && start <= value.size(); ++component) {
        std::size_t i = start;
        while (i < value.size() && value[i] != ';') {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            i = shiftJis ? NextCharPos(value, i) : i + 1;
        }
        components[component] = value.substr(start, i - start);
        start = i + 1;
    }
    return components;
}

bool StartsWithApple(std::string_view prodid) {
    for (std::size_t i = 0; i + 5 <= prodid.size(); ++i) {
        if (SameName(prodid.substr(i, 5), "APPLE")) return true;
    }
    return false;
}

Relation RelationOfLabel(std::string_view label) {
    const Relation relation = RelationOf(label);
    if (relation != Relation::None) return relation;
    // Old macOS files write the plain words.
    if (label == "Spouse") return Relation::Spouse;
    if (label == "Child") return Relation::Child;
    return Relation::None;
}

}  // namespace

void OtherCard::Clear() {
    for (Value& value : values_) value.present = false;
    for (Value& value : related_) value.present = false;
    addresses_ = 0;
    sign_ = apple_ = version21_ = false;
    continues_ = false;
    taking_ = nullptr;
    names_.clear();
    labels_.clear();
    children_ = 0;
}

OtherCard::Producer OtherCard::Kind() const {
    if (!sign_) return Producer::Google;
    if (version21_) return Producer::Version21;
    return apple_ ? Producer::Apple : Producer::Other;
}

const OtherCard::Value& OtherCard::HomeAddress() const {
    return values_[kPreferredHomeAddress].present ? values_[kPreferredHomeAddress] : values_[kHomeAddress];
}

OtherCard::Property OtherCard::PropertyOf(std::string_view name) {
    static constexpr AsciiName kN("N");
    static constexpr AsciiName kAdr("ADR");
    static constexpr AsciiName kNote("NOTE");
    static constexpr AsciiName kSound("SOUND");
    static constexpr AsciiName kProdid("PRODID");
    static constexpr AsciiName kVersion("VERSION");
    static constexpr AsciiName kAbAdr("X-ABADR");
    static constexpr AsciiName kAbLabel("X-ABLABEL");
    static constexpr AsciiName kMsSpouse("X-MS-SPOUSE");
    static constexpr AsciiName kRelatedNames("X-ABRELATEDNAMES");
    static constexpr AsciiName kAndroidCustom("X-ANDROID-CUSTOM");
    static constexpr AsciiName kPhoneticLast("X-PHONETIC-LAST-NAME");
    static constexpr AsciiName kPhoneticFirst("X-PHONETIC-FIRST-NAME");
    // One compare at most for most names, by their length, a word at a time.
    const char* p = name.data();
    const auto is = [p](const auto& wanted, Property property) { return wanted.At(p) ? property : Property::Other; };
    switch (name.size()) {
        case 1: return is(kN, Property::Name);
        case 3: return is(kAdr, Property::Address);
        case 4: return is(kNote, Property::Note);
        case 5: return is(kSound, Property::Sound);
        case 6: return is(kProdid, Property::ProductId);
        case 7: return kVersion.At(p) ? Property::Version : is(kAbAdr, Property::AppleAddress);
        case 9: return is(kAbLabel, Property::Label);
        case 11: return is(kMsSpouse, Property::Spouse);
        case 16: return kRelatedNames.At(p) ? Property::RelatedName : is(kAndroidCustom, Property::AndroidCustom);
        case 20: return is(kPhoneticLast, Property::PhoneticLastName);
        case 21: return is(kPhoneticFirst, Property::PhoneticFirstName);
        default: return Property::Other;
    }
}

void OtherCard::ReadLine(std::string_view line, std::string_view key, std::string_view value, bool hasColon,
                         bool googleStores) {
    if (continues_) return ContinueQuotedPrintable(line);
    if (!hasColon) return;
    const PropertyKey parts = SplitKey(key);
    const unsigned flags = parts.parameters.empty() ? 0 : ReadParameters(parts.parameters);
    if ((flags & kCharsetOrEncoding) != 0) sign_ = true;
    bool exact = googleStores && parts.group.empty() && parts.parameters.empty();
    const auto first = [this](Which which) { return values_[which].present ? nullptr : &values_[which]; };
    Value* into = nullptr;
    Then then = Then::Keep;
    switch (PropertyOf(parts.name)) {
        case Property::Name: into = first(kName); break;
        case Property::Note: into = first(kNote); break;
        case Property::PhoneticLastName: into = first(kPhoneticLastName); break;
        case Property::PhoneticFirstName: into = first(kPhoneticFirstName); break;
        case Property::Sound:
            if ((flags & kIrmcName) != 0) into = first(kSound);
            break;
        case Property::Address:
            return ReadAddress(value, flags, googleStores && (exact || SameName(key, "ADR;TYPE=HOME")));
        case Property::Label: return ReadRelationLabel(parts.group, value);
        case Property::RelatedName: then = Then::RelatedName; break;
        case Property::AndroidCustom: then = Then::AndroidRelation; break;
        case Property::Spouse: then = Then::Spouse; break;
        case Property::Version: NoteVersion(value); break;
        case Property::ProductId: sign_ = true, apple_ = apple_ || StartsWithApple(value); break;
        case Property::AppleAddress: sign_ = apple_ = true; break;
        case Property::Other: break;
    }
    if (then != Then::Keep) {
        scratchGroup_.assign(parts.group);
        into = &scratch_;
        exact = false;
    }
    if (into != nullptr || (flags & kQuotedPrintable) != 0) Take(into, value, flags, exact, then);
}

void OtherCard::NoteVersion(std::string_view value) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    if (value == "3.0") return;
    sign_ = true;
    version21_ = version21_ || value == "2.1";
}

void OtherCard::Take(Value* into, std::string_view value, unsigned flags, bool exactKey, Then then) {
    quoted_ = (flags & kQuotedPrintable) != 0;
    const bool softBreak = quoted_ && !value.empty() && value.back() == '=';
    taking_ = into;
    then_ = then;
    if (into != nullptr) {
        into->present = true;
        into->stored = exactKey;
        into->shiftJis = (flags & kShiftJisCharset) != 0;
        into->bytes.clear();
        if (!exactKey && !quoted_) into->bytes.assign(value);
    }
    if (quoted_ && into != nullptr) pending_.assign(value.substr(0, value.size() - (softBreak ? 1 : 0)));
    continues_ = softBreak;
    if (!softBreak) Complete();
}

void OtherCard::ContinueQuotedPrintable(std::string_view line) {
    // A soft break's next line starts at column 0, and may be empty.
    const bool more = !line.empty() && line.back() == '=';
    if (taking_ != nullptr) pending_.append(line.substr(0, line.size() - (more ? 1 : 0)));
    continues_ = more;
    if (!more) Complete();
}

void OtherCard::Complete() {
    Value* taken = std::exchange(taking_, nullptr);
    if (taken == nullptr) return;
    if (quoted_) {
        DecodeQuotedPrintable(pending_);
        taken->bytes.swap(pending_);  // each keeps its storage for the next value
    }
    pending_.clear();
    switch (then_) {
        case Then::Keep: return;
        case Then::AlsoHome: values_[kHomeAddress] = *taken; return;
        case Then::RelatedName: return PairRelatedName(std::move(scratch_));
        case Then::AndroidRelation: return ReadAndroidRelation(scratch_);
        case Then::Spouse: return AddRelation(Relation::Spouse, std::move(scratch_));
    }
}

void OtherCard::ReadAddress(std::string_view value, unsigned flags, bool exactKey) {
    ++addresses_;
    Value* into = nullptr;
    Then then = Then::Keep;
    if ((flags & kHomeType) != 0) {
        if (!values_[kPreferredHomeAddress].present && (flags & kPreferred) != 0) {
            into = &values_[kPreferredHomeAddress];
            // The first home address may be the preferred one itself.
            if (!values_[kHomeAddress].present) then = Then::AlsoHome;
        } else if (!values_[kHomeAddress].present) {
            into = &values_[kHomeAddress];
        }
    }
    Take(into, value, flags, exactKey, then);
}

void OtherCard::PairRelatedName(Value&& name) {
    const std::string_view group = scratchGroup_;
    const auto label = std::find_if(labels_.begin(), labels_.end(),
                                    [&](const Half& half) { return SameName(half.group, group); });
    if (label != labels_.end()) {
        const Relation relation = label->relation;
        labels_.erase(label);
        return AddRelation(relation, std::move(name));
    }
    if (group.empty()) return;
    if (names_.size() == kWaitingHalves) names_.erase(names_.begin());
    names_.push_back({std::string(group), Relation::None, std::move(name)});
}

void OtherCard::ReadRelationLabel(std::string_view group, std::string_view label) {
    const Relation relation = RelationOfLabel(label);
    if (relation == Relation::None || group.empty()) return;
    const auto name = std::find_if(names_.begin(), names_.end(),
                                   [&](const Half& half) { return SameName(half.group, group); });
    if (name != names_.end()) {
        Value found = std::move(name->name);
        names_.erase(name);
        return AddRelation(relation, std::move(found));
    }
    if (labels_.size() == kWaitingHalves) labels_.erase(labels_.begin());
    labels_.push_back({std::string(group), relation, {}});
}

void OtherCard::ReadAndroidRelation(const Value& whole) {
    // vnd.android.cursor.item/relation;NAME;TYPE;...: 14 a spouse, 3 a child.
    const auto [kind, name, type] = RawComponents<3>(whole.bytes, whole.shiftJis);
    if (kind != "vnd.android.cursor.item/relation") return;
    const Relation relation = type == "14" ? Relation::Spouse : type == "3" ? Relation::Child : Relation::None;
    if (relation == Relation::None) return;
    Value related;
    related.shiftJis = whole.shiftJis;
    related.bytes.assign(name);
    AddRelation(relation, std::move(related));
}

void OtherCard::AddRelation(Relation relation, Value&& name) {
    if (children_ == 3) return;
    name.present = true;
    name.stored = false;
    if (relation == Relation::Spouse) {
        related_[0] = std::move(name);
    } else {
        related_[++children_] = std::move(name);
    }
}

}  // namespace kartovo
