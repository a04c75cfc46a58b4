#include "FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Cp932.h"
#include "Cp932Encoder.h"
#include "Failure.h"
#include "Texts.h"

namespace kartovo {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closing can report a write that failed late (a full disk over NFS).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

}  // namespace

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

namespace {

// Writes all of `text`; false when the system refuses any of it.
bool WriteAll(int fd, const std::vector<std::string>& text) {
    for (const std::string& block : text) {
        std::size_t done = 0;
        while (done < block.size()) {
            const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
    }
    return true;
}

}  // namespace

void WriteWholeFile(const std::filesystem::path& path, const std::vector<std::string>& text) {
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    // Devices and pipes have no old content to keep, and must not be
    // replaced by a file: they are written directly.
    if (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        FileDescriptor file(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (file.get() < 0) FailToCreate(path, errno);
        if (!WriteAll(file.get(), text) || !file.Close()) throw Failure(std::string(texts::kWriteError));
        return;
    }
    // A link is followed, so the file it names is the one replaced.
    std::error_code error;
    const std::filesystem::path target =
        exists && std::filesystem::is_symlink(path, error) ? std::filesystem::canonical(path, error) : path;
    if (exists) {
        // Refuse early what the replacing would refuse late: a folder, a
        // read-only file. Opening without truncating changes nothing.
        FileDescriptor probe(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
        if (probe.get() < 0) FailToCreate(path, errno);
    }

    // The text goes to a new file beside the destination first, and takes
    // its place only when complete: a full disk or a failing device never
    // leaves a cut-short CSV, nor loses the file the user had.
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target;
        temporary.replace_filename(WorkingFileName());
        fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) FailToCreate(path, errno);
    }
    if (fd < 0) FailToCreate(path, EEXIST);
    FileDescriptor file(fd);
    struct Remove {
        const std::filesystem::path& path;
        bool keep = false;
        ~Remove() {
            if (!keep) ::unlink(path.c_str());
        }
    } removeTemporary{temporary};

    if (exists) ::fchmod(file.get(), existing.st_mode & 07777);  // keep the old file's permissions
    if (!WriteAll(file.get(), text) || ::fsync(file.get()) != 0 || !file.Close()) {
        throw Failure(std::string(texts::kWriteError));
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) FailToCreate(path, errno);
    removeTemporary.keep = true;
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
