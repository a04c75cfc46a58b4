#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>

#include "Cp932Encoder.h"
#include "CsvLines.h"
#include "Host.h"
#include "SourceLines.h"
#include "Utf8.h"

namespace kartovo::test {

// Expected CP932 text written as UTF-8 in the test source.
inline std::string Sjis(std::string_view utf8) { return Utf8ToCp932()(utf8); }

// The CSV's bytes as the file receives them.
inline std::string CsvText(const CsvLines& csv) {
    std::string text;
    for (const std::string& block : csv.Blocks()) text.append(block);
    return text;
}

// The logical lines of a text, as the run reads them.
inline std::vector<std::string> SplitIntoLines(std::string_view bytes) {
    std::vector<std::string> lines;
    SourceLines source(bytes);
    std::string_view line;
    while (source.Next(line)) lines.emplace_back(line);
    return lines;
}

// The units of a whole UTF-8 text by the address book's rules; false, with
// `units` empty, when it fails.
inline bool DecodeUtf8(std::string_view bytes, std::u16string& units) {
    units.clear();
    const bool decoded = kartovo::DecodeUtf8(bytes, [&units](char16_t unit) { units.push_back(unit); });
    if (!decoded) units.clear();
    return decoded;
}

inline std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

inline std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// Compares texts of many lines by their sizes, their line counts and the
// first line that differs, and shows no more than a piece of that line:
// GoogleTest's own diff of two large texts needs memory by the square of
// their line counts, and a broken row format would take the machine down.
inline ::testing::AssertionResult SameLines(std::string_view actual, std::string_view expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    const auto lineCount = [](std::string_view text) { return std::count(text.begin(), text.end(), '\n'); };
    // The line at `at` with its line break, or the rest of the text when no
    // break ends it.
    const auto lineAt = [](std::string_view text, std::size_t at) {
        const std::string_view rest = text.substr(std::min(at, text.size()));
        const std::size_t end = rest.find('\n');
        return end == std::string_view::npos ? rest : rest.substr(0, end + 1);
    };
    // Lines before the one that differs are the same in both, and so are
    // their offsets.
    std::size_t at = 0;
    long long number = 1;
    for (; lineAt(actual, at) == lineAt(expected, at); ++number) at += lineAt(actual, at).size();
    const auto shown = [](std::string_view line) {
        std::size_t cut = std::min<std::size_t>(line.size(), 160);
        while (cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;  // whole characters
        std::string out;
        for (const char c : line.substr(0, cut)) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
        if (cut < line.size()) out += "... (" + std::to_string(line.size()) + " bytes)";
        return out;
    };
    return ::testing::AssertionFailure()
           << actual.size() << " bytes in " << lineCount(actual) << " lines, expected " << expected.size()
           << " bytes in " << lineCount(expected) << " lines; line " << number << " differs:\n  actual:   "
           << shown(lineAt(actual, at)) << "\n  expected: " << shown(lineAt(expected, at));
}

// A path from UTF-8 text, on every platform.
inline std::filesystem::path U8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A host for building rows by hand: no paths, every message answered OK.
struct NoHost : Host {
    bool SourceFieldEmpty() const override { return true; }
    bool DestinationFieldEmpty() const override { return true; }
    std::filesystem::path SourcePath() const override { return {}; }
    std::filesystem::path DestinationPath() const override { return {}; }
    int ShowMessage(MessageKind, std::string_view, MessageButtons) override { return kResultOk; }
    void ShowConverted(std::string_view, const std::vector<RunNote>&, const LossReport&) override {}
};

// A fresh folder, removed with everything in it afterwards.
class TempDir {
public:
    TempDir() {
        std::mt19937_64 random(static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count()));
        path_ = std::filesystem::temp_directory_path() / ("kartovo-test-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / U8Path(name); }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kartovo::test
