#include "FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Cp932.h"
#include "Cp932Encoder.h"
#include "Failure.h"
#include "FileAccessPlatform.h"
#include "Texts.h"

namespace kartovo {

bool IsExistingFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

SourceFile::SourceFile(const std::filesystem::path& path)
    : path_(path), handle_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (handle_ < 0) FailToOpen(path_, errno);
    struct stat info {};
    const int fd = static_cast<int>(handle_);
    const int code = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (code != 0) {
        ::close(fd);
        FailToOpen(path_, code);
    }
}

SourceFile::~SourceFile() { ::close(static_cast<int>(handle_)); }

std::size_t SourceFile::Read(char* into, std::size_t room) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), into, room);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) FailToOpen(path_, errno);
    }
}

bool IsNameTaken(int code) { return code == EEXIST; }

OutputFile::OutputFile(const std::filesystem::path& destination) : destination_(destination), target_(destination) {
    struct stat existing {};
    const bool exists = ::stat(destination.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        handle_ = ::open(destination.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (handle_ < 0) FailToCreate(destination, errno);
        open_ = true;
        return;
    }
    std::error_code error;
    if (exists && std::filesystem::is_symlink(destination, error)) target_ = std::filesystem::canonical(destination, error);
    if (exists) {
        // Opening without truncating changes nothing.
        const int probe = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0) FailToCreate(destination, errno);
        ::close(probe);
    }
    CreateWorkingFile([this](const std::filesystem::path& path) {
        handle_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return handle_ < 0 ? errno : 0;
    });
    if (exists) ::fchmod(static_cast<int>(handle_), existing.st_mode & 07777);  // keep the old file's permissions
}

OutputFile::~OutputFile() {
    if (open_) ::close(static_cast<int>(handle_));
    if (!committed_ && !working_.empty()) ::unlink(working_.c_str());
}

bool OutputFile::Write(std::string_view bytes) {
    const std::size_t size = bytes.size();
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
#ifdef __linux__
    // Start the disk on what is written while the run goes on, so that the
    // closing fsync has little left to wait for. Only a hint: its failure
    // changes nothing.
    if (!working_.empty()) {
        const auto fd = static_cast<int>(handle_);
        ::sync_file_range(fd, static_cast<off_t>(written_), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
    }
#endif
    written_ += size;
    return true;
}

bool OutputFile::FlushAndClose() {
    // A device need not support fsync. Closing can report a write that
    // failed late (a full disk over NFS).
    const bool flushed = working_.empty() || ::fsync(static_cast<int>(handle_)) == 0;
    open_ = false;
    return ::close(static_cast<int>(handle_)) == 0 && flushed;
}

void OutputFile::Commit() {
    if (!working_.empty() && ::rename(working_.c_str(), target_.c_str()) != 0) FailToCreate(destination_, errno);
    committed_ = true;
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
