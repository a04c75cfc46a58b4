#pragma once
// The only unit of the conversion that talks to the file system.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace kartovo {

// True when the path exists and is not a folder.
bool IsExistingFile(const std::filesystem::path& path);

// A file open for reading while others may read it but not write it. Both
// opening and reading fail with "ファイル %s は開けません。 %s ".
class SourceFile {
public:
    explicit SourceFile(const std::filesystem::path& path);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // Reads up to `room` bytes into `into`; 0 at the end of the file.
    std::size_t Read(char* into, std::size_t room);

private:
    std::filesystem::path path_;
    std::intptr_t handle_;  // the descriptor, or the HANDLE on Windows
};

class OutputFile;

// The run's destination, written safely: the text goes to a new file beside
// it, which takes its place only in Finish, so that a full disk, a failing
// device or a run that fails half-way never leaves a cut-short CSV, nor loses
// the file the user had. Opening fails with
// "ファイル "%s" を作成できません。%s", writing with "ストリームへの書き込みエラー".
class DestinationFile {
public:
    explicit DestinationFile(const std::filesystem::path& path);
    ~DestinationFile();  // a file never finished is removed
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    // Whether what is written stays out of sight until Finish: not so for a
    // device or pipe (Linux), which is written directly.
    bool WritesAside() const;
    void Write(std::string_view bytes);
    // Flushes the file to the disk and puts it in place. The source must be
    // closed by then: it may be the file replaced.
    void Finish();

private:
    std::unique_ptr<OutputFile> file_;
};

using NativeString = std::filesystem::path::string_type;
using NativeView = std::basic_string_view<std::filesystem::path::value_type>;

// A native path or system text (UTF-16 on Windows, bytes meant as UTF-8
// elsewhere) as CP932 text; characters without a CP932 form, and bytes that
// are no UTF-8, show as "?".
std::string NativeToCp932(NativeView native);

// The same as UTF-8 text for the screen and the console: every character
// kept (a Linux name's bytes are taken as they are).
std::string NativeToUtf8(NativeView native);

// The path made absolute, as CP932 text; characters without a CP932 form
// show as "?".
std::string PathForMessage(const std::filesystem::path& path);

// The system's text for an error code, as CP932, without trailing blanks,
// control characters and periods.
std::string SystemErrorText(int code);

// Drops trailing blanks, control characters and periods. None of them can be
// the second byte of a CP932 character, nor part of a UTF-8 or UTF-16 one.
template <typename Char>
std::basic_string<Char> TrimErrorText(std::basic_string<Char> text) {
    while (!text.empty()) {
        const auto last = static_cast<std::make_unsigned_t<Char>>(text.back());
        if (last > ' ' && last != '.' && last != 0x7F) break;
        text.pop_back();
    }
    return text;
}

}  // namespace kartovo
