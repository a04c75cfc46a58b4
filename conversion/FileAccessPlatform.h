#pragma once
// The platform parts of the file access; only its own units include this.

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "FileAccess.h"

namespace kartovo {

// The path made absolute (resolved against the current folder).
NativeString AbsolutePath(const std::filesystem::path& path);

// The system's text for an error code, untrimmed.
NativeString SystemErrorNative(int code);

// Fail with "ファイル %s は開けません。 %s " or "ファイル "%s" を作成できません。%s"
// for the path and the system's error code; the shown text keeps the path's
// own characters.
[[noreturn]] void FailToOpen(const std::filesystem::path& path, int code);
[[noreturn]] void FailToCreate(const std::filesystem::path& path, int code);

// Whether the system's error code says that a file of that name exists.
bool IsNameTaken(int code);

// A name for the safe write's working file beside the destination: short
// and of one length whatever the destination is called, so that a name near
// the system's limit can still be written, and different on every call and
// in every process. The file is still created exclusively.
NativeString WorkingFileName();

// What the safe write puts the CSV's text into, one kind per platform: a
// working file created beside the file it replaces, or on Linux a device or
// pipe written directly (it has no old content to keep, and must not be
// replaced by a file). Its destructor closes it and removes a working file
// that was never committed. What replacing would refuse late (a folder, a
// read-only file, a file another program holds open) is refused early with
// the creation message: on opening on Linux, and on Windows at the start of
// Commit, since until then the source, which may be the very file replaced,
// is held open against writers.
class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& destination);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool WritesAside() const { return !working_.empty(); }
    // Each false when the system refuses: the write error.
    bool Write(std::string_view bytes);
    bool FlushAndClose();
    // Puts the working file in the replaced file's place; fails with the
    // creation message.
    void Commit();

private:
    // Creates the working file beside target_ under a fresh name, created
    // exclusively; a name that is taken is tried again with another.
    template <typename TryCreate>
    void CreateWorkingFile(TryCreate&& tryCreate);

    std::filesystem::path destination_;  // as the user gave it, for messages
    std::filesystem::path target_;       // the file replaced: a link is followed
    std::filesystem::path working_;      // empty when written directly
    std::intptr_t handle_ = -1;          // the descriptor, or the HANDLE on Windows
    std::uint64_t written_ = 0;
    bool open_ = false;
    bool committed_ = false;
};

// `tryCreate(path)` gives 0 when it made the file, otherwise the system's
// error code; `taken` is the code for a name already in use.
template <typename TryCreate>
void OutputFile::CreateWorkingFile(TryCreate&& tryCreate) {
    constexpr int kAttempts = 100;
    int code = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        working_ = target_;
        working_.replace_filename(WorkingFileName());
        code = tryCreate(working_);
        if (code == 0) {
            open_ = true;
            return;
        }
        if (!IsNameTaken(code)) break;
    }
    working_.clear();
    FailToCreate(destination_, code);
}

}  // namespace kartovo
