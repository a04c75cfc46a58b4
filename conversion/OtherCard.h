#pragma once
// A card that Google did not write, read as its producer wrote it: an
// iPhone, iCloud or a Mac (grouped keys, parameters in any order), Android's
// own export and Japanese phones (vCard 2.1, quoted-printable, Shift_JIS),
// Outlook. Every card is read this way beside Google's reading, as its lines
// come, since a sign of another producer may stand anywhere in it; only what
// the row could read is kept, and nothing is converted before the card's end
// shows which reading it gets.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "RelationLabels.h"

namespace kartovo {

class OtherCard {
public:
    // Who wrote the card, as far as its lines tell.
    enum class Producer { Google, Apple, Version21, Other };

    // A value the row may read. `stored`: the line the Google reading
    // stores under the same key, whose value serves as it is.
    struct Value {
        bool present = false;
        bool stored = false;
        bool shiftJis = false;  // the bytes are labelled Shift_JIS
        std::string bytes;      // quoted-printable decoded, in the file's character set
    };
    // The values a row reads, by what they are.
    enum Which { kName, kPhoneticLastName, kPhoneticFirstName, kSound, kHomeAddress, kPreferredHomeAddress, kNote,
                 kValueCount };

    void Clear();
    // One line of the card: its key (before the first ":") and value, or
    // the whole line when it has no ":". A line that follows a
    // quoted-printable soft break goes on with that value, whatever it
    // looks like. `googleStores`: Google's reading stores the line too when
    // its key is one it reads, so its value need not be kept twice.
    void ReadLine(std::string_view line, std::string_view key, std::string_view value, bool hasColon,
                  bool googleStores);
    bool Continues() const { return continues_; }
    void Continue(std::string_view line) { ContinueQuotedPrintable(line); }

    Producer Kind() const;
    bool IsGoogles() const { return Kind() == Producer::Google; }
    const Value& Get(Which which) const { return values_[which]; }
    // The home address the row reads: the preferred one, else the first.
    const Value& HomeAddress() const;
    bool HasAddress() const { return addresses_ != 0; }
    // The related names in their slots, spouse first, as found in file order.
    const std::array<Value, 4>& Related() const { return related_; }

private:
    // The properties the reading looks at.
    enum class Property {
        Other, Name, Note, PhoneticLastName, PhoneticFirstName, Sound, Address, Label, RelatedName,
        AndroidCustom, Spouse, Version, ProductId, AppleAddress
    };
    static Property PropertyOf(std::string_view name);
    // What comes of a value once it is whole.
    enum class Then { Keep, AlsoHome, RelatedName, AndroidRelation, Spouse };
    // Takes a property's value into `into` (null: skipped), decoded where it
    // is quoted-printable, over the lines a soft break joins; then does
    // `then` with it.
    void Take(Value* into, std::string_view value, unsigned flags, bool exactKey, Then then);
    void ContinueQuotedPrintable(std::string_view line);
    void Complete();
    void ReadAddress(std::string_view value, unsigned flags, bool exactKey);
    void PairRelatedName(Value&& name);
    void ReadRelationLabel(std::string_view group, std::string_view label);
    void ReadAndroidRelation(const Value& whole);
    // A spouse or child comes, in file order: a later spouse overwrites an
    // earlier one, and the third child ends the scan.
    void AddRelation(Relation relation, Value&& name);
    void NoteVersion(std::string_view value);

    std::array<Value, kValueCount> values_;
    std::size_t addresses_ = 0;
    bool sign_ = false;      // a sign of another producer than Google
    bool apple_ = false;
    bool version21_ = false;
    // The value being taken, which a soft line break may continue.
    bool continues_ = false;
    Value* taking_ = nullptr;
    bool quoted_ = false;
    Then then_ = Then::Keep;
    std::string pending_;  // quoted-printable text so far, to decode when it ends
    Value scratch_;        // a related name's value
    std::string scratchGroup_;
    // Related names and relation labels whose other half has not come yet,
    // by group: a few at a time, as they come in pairs.
    struct Half {
        std::string group;
        Relation relation = Relation::None;  // a label's
        Value name;                           // a name's
    };
    std::vector<Half> names_;
    std::vector<Half> labels_;
    std::array<Value, 4> related_;
    std::size_t children_ = 0;
};

}  // namespace kartovo
