#pragma once
// The platform's part of the file access, one unit per platform
// (FileAccess_posix.cpp, FileAccess_win.cpp). What can fail gives the
// system's error code (errno, or what GetLastError gives), 0 when it
// succeeded: the shared unit alone turns codes into messages.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "FileAccess.h"

namespace kartovo {

// The form of a path that the system's calls are given. On Windows a path
// whose full form is 260 characters or longer takes its verbatim form, with
// "\\?\" before it ("\\?\UNC" for a share): the classic calls stop at 260
// unless long paths are switched on for the whole system, and by default
// they are not. Elsewhere, and for shorter paths, the path as it is.
NativeString SystemPath(const std::filesystem::path& path);

// The path made absolute (resolved against the current folder).
NativeString AbsolutePath(const std::filesystem::path& path);

// The system's text for an error code, untrimmed.
NativeString SystemErrorNative(int code);

// Opens a file for reading, letting others read it but not write it; a
// folder is refused.
int OpenToRead(const std::filesystem::path& path, OwnedFile& file);
// One read request of at most `room` bytes; `got` is 0 at the end.
int ReadSome(FileHandle& file, char* into, std::size_t room, std::size_t& got);
// One write request of at most `size` bytes; `written` is more than 0 when
// it succeeds.
int WriteSome(FileHandle& file, const char* bytes, std::size_t size, std::size_t& written);
// Starts the disk on bytes just written, so that the closing flush has
// little left to wait for. Only a hint: where it cannot, nothing changes.
void StartWriteback(FileHandle& file, std::uint64_t offset, std::size_t size);
// Flushes the file's bytes to the disk.
bool Flush(FileHandle& file);
// Closes the file; false when the system reports a failure on closing (a
// write that failed late, over a network).
bool Close(OwnedFile file);

// What stands where a destination is to be written.
struct ExistingFile {
    enum class Kind { None, File, Device } kind = Kind::None;
    std::filesystem::path target;  // the file written: a link's target, or the destination
    int code = 0;                  // why it cannot be written now, or 0
    OwnedFile device;              // a device or pipe, open for writing
};
// Looks at what the destination names, and opens it for writing without
// changing it: what replacing it would refuse late (a folder, a read-only
// file) is found before the run converts anything. A device or pipe stays
// open; it is written directly.
ExistingFile OpenExisting(const std::filesystem::path& destination);

// Whether the error code says that another program holds the file: a virus
// scanner, the search indexer or a sync client, which let go within moments.
bool IsBusy(int code);

// Creates the working file beside `target`, unnamed where the system allows
// (`name` then stays empty), otherwise under a fresh name, created
// exclusively. It keeps what the old file had where the system lets it.
int CreateWorkingFile(const std::filesystem::path& target, OwnedFile& file, std::filesystem::path& name);
// Gives the working file what the file at `target` has that the system
// keeps per file, as far as it allows: on Windows its attributes, creation
// time and access rights. Elsewhere nothing is left to do: the working file
// got the old file's mode when it was made.
void KeepWhatTheOldFileHad(FileHandle& file, const std::filesystem::path& target);
// Gives the working file the target's name, replacing the file there; the
// file stays open. It fails with nothing changed.
int PutInPlace(FileHandle& file, const std::filesystem::path& name, const std::filesystem::path& target);
// Closes and removes a working file never put in place.
void DiscardWorkingFile(OwnedFile file, const std::filesystem::path& name);
// Opens an existing target for writing, emptied.
int OpenInPlace(const std::filesystem::path& target, OwnedFile& file);

// Whether the error code says that a file of that name exists.
bool IsNameTaken(int code);
// What the working file's name starts with, and a number that tells this
// process from others.
NativeView WorkingFilePrefix();
std::uint64_t ProcessNumber();

// A name for a working file: short and of one length whatever the
// destination is called, so that a name near the system's limit can still be
// written, and different on every call and in every process.
NativeString WorkingFileName();

// Tries fresh names beside `target` until `create(name)` gives anything but
// "the name is taken", and gives that code; `name` is left empty unless the
// file was made.
template <typename Create>
int TryWorkingNames(const std::filesystem::path& target, std::filesystem::path& name, Create&& create) {
    constexpr int kAttempts = 100;
    int code = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = target;
        name.replace_filename(WorkingFileName());
        code = create(name);
        if (code == 0) return 0;
        if (!IsNameTaken(code)) break;
    }
    name.clear();
    return code;
}

}  // namespace kartovo
