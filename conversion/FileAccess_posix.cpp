#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <utility>

#include "Cp932Encoder.h"
#include "FileAccess.h"
#include "FileAccessPlatform.h"

namespace kartovo {

// The owner of a descriptor.
class FileHandle {
public:
    explicit FileHandle(int descriptor) : descriptor_(descriptor) {}
    ~FileHandle() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int Get() const { return descriptor_; }
    bool Close() { return ::close(std::exchange(descriptor_, -1)) == 0; }

private:
    int descriptor_;
};

void CloseFile::operator()(FileHandle* file) const noexcept { delete file; }

namespace {

OwnedFile Own(int descriptor) { return OwnedFile(new FileHandle(descriptor)); }

// The working file's name while it has one, for LeaveNoWorkingFile, which a
// signal handler calls at any moment: the flag says the name is whole.
char workingName[4096];
std::atomic<bool> workingNameRecorded{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

void RecordWorkingName(const std::filesystem::path& name) {
    workingNameRecorded = false;
    const std::string& text = name.native();
    if (text.size() >= sizeof workingName) return;  // left behind if stopped: no such name fits a folder
    std::memcpy(workingName, text.c_str(), text.size() + 1);
    workingNameRecorded = true;
}

void ForgetWorkingName() { workingNameRecorded = false; }

// Holds the stop signals back from making a named working file until its
// name is recorded: a stop in between would leave the file behind. One that
// comes meanwhile ends the process as the hold ends, and the file with it.
class StopSignalsHeld {
public:
    StopSignalsHeld() {
        sigset_t stops;
        sigemptyset(&stops);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
        pthread_sigmask(SIG_BLOCK, &stops, &kept_);
    }
    ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &kept_, nullptr); }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t kept_;
};

#ifdef __linux__
// An unnamed file in the target's folder: nothing is left of it when the
// process ends, however it ends. It gets a name only when it is complete.
int OpenUnnamed(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const int descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (descriptor < 0) return -1;
    // Without /proc only a privileged process could name it, and the CSV
    // would be lost at the end.
    const std::string entry = "/proc/self/fd/" + std::to_string(descriptor);
    if (::access(entry.c_str(), F_OK) != 0) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

int LinkUnnamed(int descriptor, const std::filesystem::path& name) {
    if (::linkat(descriptor, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return errno;
    // Linking by descriptor takes a privilege; linking its /proc entry does not.
    const std::string entry = "/proc/self/fd/" + std::to_string(descriptor);
    return ::linkat(AT_FDCWD, entry.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}
#else
int OpenUnnamed(const std::filesystem::path&) { return -1; }
int LinkUnnamed(int, const std::filesystem::path&) { return ENOTSUP; }
#endif

}  // namespace

bool IsExistingFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

NativeString SystemPath(const std::filesystem::path& path) { return path.native(); }

int OpenToRead(const std::filesystem::path& path, OwnedFile& file) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return errno;
    file = Own(descriptor);
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) return errno;
    return S_ISDIR(info.st_mode) ? EISDIR : 0;
}

int ReadSome(FileHandle& file, char* into, std::size_t room, std::size_t& got) {
    for (;;) {
        const ssize_t n = ::read(file.Get(), into, room);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

int WriteSome(FileHandle& file, const char* bytes, std::size_t size, std::size_t& written) {
    for (;;) {
        const ssize_t n = ::write(file.Get(), bytes, size);
        if (n >= 0) {
            written = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

void StartWriteback([[maybe_unused]] FileHandle& file, [[maybe_unused]] std::uint64_t offset,
                    [[maybe_unused]] std::size_t size) {
#ifdef __linux__
    ::sync_file_range(file.Get(), static_cast<off_t>(offset), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#endif
}

bool Flush(FileHandle& file) { return ::fsync(file.Get()) == 0; }

bool Close(OwnedFile file) { return file->Close(); }

ExistingFile OpenExisting(const std::filesystem::path& destination) {
    ExistingFile existing;
    existing.target = destination;
    std::error_code error;
    if (std::filesystem::is_symlink(destination, error)) {
        std::filesystem::path resolved = std::filesystem::canonical(destination, error);
        if (!error) existing.target = std::move(resolved);
    }
    const int descriptor = ::open(existing.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        existing.code = errno;
        if (existing.code == ENOENT || existing.code == ENOTDIR) {
            existing.code = 0;  // nothing there yet: making the working file says the rest
        } else {
            existing.kind = ExistingFile::Kind::File;
        }
        return existing;
    }
    OwnedFile file = Own(descriptor);
    struct stat info {};
    if (::fstat(descriptor, &info) == 0 && !S_ISREG(info.st_mode)) {
        existing.kind = ExistingFile::Kind::Device;
        existing.device = std::move(file);
    } else {
        existing.kind = ExistingFile::Kind::File;
    }
    return existing;
}

bool IsBusy(int) { return false; }

bool IsNameTaken(int code) { return code == EEXIST; }

NativeView WorkingFilePrefix() { return ".kartovo-"; }  // hidden, as work files are

std::uint64_t ProcessNumber() { return static_cast<std::uint64_t>(::getpid()); }

int CreateWorkingFile(const std::filesystem::path& target, OwnedFile& file, std::filesystem::path& name) {
    int descriptor = OpenUnnamed(target);
    if (descriptor < 0) {
        // A file system without unnamed files: the console converter removes
        // this one by its name when it is stopped.
        const StopSignalsHeld held;
        const int code = TryWorkingNames(target, name, [&descriptor](const std::filesystem::path& candidate) {
            descriptor = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            return descriptor < 0 ? errno : 0;
        });
        if (code != 0) return code;
        RecordWorkingName(name);
    }
    file = Own(descriptor);
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) ::fchmod(descriptor, old.st_mode & 07777);  // keep the old file's permissions
    return 0;
}

void KeepWhatTheOldFileHad(FileHandle&, const std::filesystem::path&) {}

int PutInPlace(FileHandle& file, const std::filesystem::path& name, const std::filesystem::path& target) {
    if (!name.empty()) {
        if (::rename(name.c_str(), target.c_str()) != 0) return errno;
        ForgetWorkingName();
        return 0;
    }
    // A name can be given only where none is in use: the file is linked
    // under a fresh one first, which then replaces the target.
    std::filesystem::path linked;
    const StopSignalsHeld held;
    int code = TryWorkingNames(target, linked, [&file](const std::filesystem::path& candidate) {
        return LinkUnnamed(file.Get(), candidate);
    });
    if (code != 0) return code;
    RecordWorkingName(linked);
    if (::rename(linked.c_str(), target.c_str()) != 0) {
        code = errno;
        ::unlink(linked.c_str());
    }
    ForgetWorkingName();
    return code;
}

void DiscardWorkingFile(OwnedFile file, const std::filesystem::path& name) {
    file.reset();
    if (name.empty()) return;
    ::unlink(name.c_str());
    ForgetWorkingName();
}

int OpenInPlace(const std::filesystem::path& target, OwnedFile& file) {
    const int descriptor = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return errno;
    file = Own(descriptor);
    return 0;
}

void LeaveNoWorkingFile() noexcept {
    if (workingNameRecorded) ::unlink(workingName);
}

std::string NativeToCp932(std::string_view native) {
    std::string text = Utf8ToCp932()(native);
    // Non-UTF-8 bytes in a path must not empty the whole message.
    if (!text.empty() || native.empty()) return text;
    for (char c : native) text.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
    return text;
}

std::string NativeToUtf8(std::string_view native) { return std::string(native); }

NativeString AbsolutePath(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) absolute = path;
    return absolute.lexically_normal().native();
}

NativeString SystemErrorNative(int code) { return std::strerror(code); }

}  // namespace kartovo
