#include "Cp932Encoder.h"

#include "Utf8.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kartovo {
namespace {

constexpr std::uint16_t kUnknown = 0xFFFF;  // 0xFF is never a CP932 lead byte
constexpr std::uint16_t kQuestionMark = 0x3F;

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        // iconv_open reports failure as (iconv_t)-1; there is no other way to
        // test for it.
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts one complete input; false when any of it does not convert.
    bool Convert(const void* in, std::size_t inSize, char* out, std::size_t& outSize) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = static_cast<char*>(const_cast<void*>(in));
        std::size_t srcLeft = inSize;
        char* dst = out;
        std::size_t dstLeft = outSize;
        const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        outSize -= dstLeft;
        return r != static_cast<std::size_t>(-1) && srcLeft == 0;
    }

    iconv_t handle() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

// Each distinct unit goes through iconv once per run; a table keeps the
// answer. A unit counts as convertible only when its bytes convert back to
// the same unit, which rules out glibc's one-way mappings (U+00A5 -> 0x5C)
// exactly as WC_NO_BEST_FIT_CHARS does on Windows.
struct Cp932Encoder::Platform {
    Iconv toCp932{"CP932", "UTF-16LE"};
    Iconv fromCp932{"UTF-16LE", "CP932"};
    std::vector<std::uint16_t> table = std::vector<std::uint16_t>(0x10000, kUnknown);

    std::uint16_t Lookup(char16_t unit) {
        std::uint16_t& cell = table[unit];
        if (cell == kUnknown) cell = Compute(MapJisFormToCp932Form(unit));
        return cell;
    }

    std::uint16_t Compute(char16_t unit) {
        const unsigned char in[2] = {static_cast<unsigned char>(unit & 0xFF),
                                     static_cast<unsigned char>(unit >> 8)};
        char bytes[8];
        std::size_t byteCount = sizeof bytes;
        if (!toCp932.Convert(in, 2, bytes, byteCount) || byteCount == 0 || byteCount > 2) {
            return kQuestionMark;
        }
        unsigned char back[8];
        std::size_t backCount = sizeof back;
        if (!fromCp932.Convert(bytes, byteCount, reinterpret_cast<char*>(back), backCount) ||
            backCount != 2 || back[0] != in[0] || back[1] != in[1]) {
            return kQuestionMark;
        }
        if (byteCount == 1) return static_cast<unsigned char>(bytes[0]);
        return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                          static_cast<unsigned char>(bytes[1]));
    }
};

Cp932Encoder::Cp932Encoder() : platform_(std::make_unique<Platform>()) {}
Cp932Encoder::~Cp932Encoder() = default;

namespace {

// Writes the CP932 form of units, one at a time, through a pointer into
// storage sized for two bytes a unit. A surrogate pair is one character
// without a CP932 form, so it leaves a single "?".
class UnitWriter {
public:
    UnitWriter(Cp932Encoder::Platform& platform, char* out) : platform_(platform), out_(out) {}

    void operator()(char16_t unit) {
        const bool lowSurrogate = unit >= 0xDC00 && unit <= 0xDFFF;
        const bool pairEnd = lowSurrogate && afterHighSurrogate_;
        afterHighSurrogate_ = unit >= 0xD800 && unit <= 0xDBFF;
        if (unit < 0x80) {
            *out_++ = static_cast<char>(unit);
        } else if (afterHighSurrogate_ || lowSurrogate) {
            if (!pairEnd) *out_++ = '?';
        } else {
            const std::uint16_t code = platform_.Lookup(unit);
            if (code > 0xFF) *out_++ = static_cast<char>(code >> 8);
            *out_++ = static_cast<char>(code & 0xFF);
        }
    }
    char* end() const { return out_; }

private:
    Cp932Encoder::Platform& platform_;
    char* out_;
    bool afterHighSurrogate_ = false;
};

}  // namespace

void Cp932Encoder::Append(std::u16string_view units, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + units.size() * 2);
    UnitWriter writer(*platform_, out.data() + start);
    for (char16_t unit : units) writer(unit);
    out.resize(static_cast<std::size_t>(writer.end() - out.data()));
}

bool Cp932Encoder::AppendUtf8(std::string_view utf8, std::string& out) {
    // No unit takes fewer bytes than it gives, so the UTF-8 length bounds
    // the result; decoding feeds the writer directly, with no unit buffer.
    const std::size_t start = out.size();
    out.resize(start + utf8.size());
    UnitWriter writer(*platform_, out.data() + start);
    const bool decoded = DecodeUtf8(utf8, writer);
    out.resize(decoded ? static_cast<std::size_t>(writer.end() - out.data()) : start);
    return decoded;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    Iconv cd("UTF-8", "CP932");
    std::string out;
    out.resize(cp932.size() * 3 + 4);
    char* src = const_cast<char*>(cp932.data());
    std::size_t srcLeft = cp932.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd.handle(), &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG || dstLeft == 0) break;  // cannot happen: 3 bytes per input byte suffice
        // An invalid or truncated sequence: show it as "?" and go on.
        *dst++ = '?';
        --dstLeft;
        ++src;
        --srcLeft;
    }
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace kartovo
