#pragma once
// The only unit of the conversion that talks to the file system.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kartovo {

// True when the path exists and is not a folder.
bool IsExistingFile(const std::filesystem::path& path);

// The system's handle of one open file, closed when it goes: a descriptor on
// POSIX, a HANDLE on Windows. Each platform's unit defines it, so that no
// system header reaches the rest of the conversion.
class FileHandle;
struct CloseFile {
    void operator()(FileHandle* file) const noexcept;
};
using OwnedFile = std::unique_ptr<FileHandle, CloseFile>;

// A file open for reading while others may read it but not write it. Both
// opening and reading fail with "ファイル %s は開けません。 %s ".
class SourceFile {
public:
    explicit SourceFile(std::filesystem::path path);

    // Reads up to `room` bytes into `into`; 0 at the end of the file.
    std::size_t Read(char* into, std::size_t room);

private:
    std::filesystem::path path_;
    OwnedFile file_;
};

// The run's destination, written safely: the text goes to a working file
// beside it, out of sight, which takes its place only in Finish, so that a
// full disk, a failing device, a run that fails half-way or a run stopped
// from outside never leaves a cut-short CSV, nor loses the file the user had.
// A link is written through: it stays, and the file it points to is replaced.
// Opening and replacing fail with "ファイル "%s" を作成できません。%s",
// writing with "ストリームへの書き込みエラー".
class DestinationFile {
public:
    explicit DestinationFile(std::filesystem::path path);
    ~DestinationFile();  // a working file never put in place is removed
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    // Whether the CSV may be handed over block by block as it grows. Not so
    // for a device or pipe, which would show a run that fails, nor for a
    // destination written in place; they get the whole CSV in Finish.
    bool AcceptsEarlyWrites() const { return way_ == Way::Aside; }
    void Write(std::string_view bytes);
    // Writes `rest`, the CSV's blocks not handed over yet, flushes the file
    // to the disk and puts it in place. The source must be closed by then:
    // it may be the file replaced.
    void Finish(const std::vector<std::string>& rest);

private:
    enum class Way {
        Aside,    // into the working file
        InPlace,  // no file can be made beside the destination: over it, at the end
        Direct,   // a device or pipe
    };

    std::filesystem::path destination_;  // as the user gave it, for messages
    std::filesystem::path target_;       // the file written: a link's target
    std::filesystem::path working_;      // the working file's name; empty while it has none
    OwnedFile file_;
    Way way_ = Way::Aside;
    std::uint64_t written_ = 0;
    bool committed_ = false;
};

// For kartovo-convert when it is stopped from outside (Ctrl+C, a signal, the
// console closing): leaves no working file behind as the process ends. Where
// the working file is unnamed, or marked to go with the process, there is
// nothing to do but wait for a replace under way; a named one is removed.
// Calls only what a signal handler may.
void LeaveNoWorkingFile() noexcept;

using NativeString = std::filesystem::path::string_type;
using NativeView = std::basic_string_view<std::filesystem::path::value_type>;

// A native path or system text (UTF-16 on Windows, bytes meant as UTF-8
// elsewhere) as CP932 text; characters without a CP932 form, and bytes that
// are no UTF-8, show as "?".
std::string NativeToCp932(NativeView native);

// The same as UTF-8 text for the screen and the console: every character
// kept (a Linux name's bytes are taken as they are).
std::string NativeToUtf8(NativeView native);

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
