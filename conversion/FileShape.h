#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "LossReport.h"

namespace kartovo {

// What a source looks like as a whole. A file that is no vCard, or one in
// another character encoding, converts without a failure into empty rows or
// none; the run says once what the file seems to be, so that the user is
// not left with blank labels and no reason.
class FileShape {
public:
    void Clear();
    // Each line of the text, in order.
    void SeeLine(std::string_view line) {
        if (!sawCard_) FindCard(line);
    }
    // Whether the next value a row reads is to be looked at: the first
    // hundred values tell a file's encoding, at no cost to the rest.
    bool WantsValue() const { return sampled_ < kSample; }
    // A value a row reads, as it stood in the file.
    void SeeValue(std::string_view raw);
    // The note for the file, when it looks like no UTF-8 vCard.
    std::optional<RunNote> Note() const;

private:
    void FindCard(std::string_view line);

    bool firstLine_ = true;
    bool utf16_ = false;   // it starts with a UTF-16 byte-order mark
    bool sawCard_ = false;  // a BEGIN:VCARD line
    static constexpr std::size_t kSample = 100;
    std::size_t sampled_ = 0;   // values with a byte beyond ASCII
    std::size_t shiftJis_ = 0;  // of them, those that are no UTF-8 but are Shift_JIS
};

// Whether the bytes are Shift_JIS text (code page 932) throughout.
bool IsShiftJisText(std::string_view bytes);

}  // namespace kartovo
