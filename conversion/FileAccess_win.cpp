#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Cp932Encoder.h"
#include "FileAccess.h"
#include "FileAccessPlatform.h"
#include "Unicode.h"

namespace kartovo {

// The owner of a file HANDLE.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Close() { return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0; }

private:
    HANDLE handle_;
};

void CloseFile::operator()(FileHandle* file) const noexcept { delete file; }

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

OwnedFile Own(HANDLE handle) { return OwnedFile(new FileHandle(handle)); }

int LastError() { return static_cast<int>(GetLastError()); }

// Taken by a replace for as long as the working file is not marked for
// deletion, and by LeaveNoWorkingFile for good.
SRWLOCK replacing = SRWLOCK_INIT;

// Marked, the working file goes with the last handle on it, even when the
// process is ended from the task list or crashes. Unlike
// FILE_FLAG_DELETE_ON_CLOSE, the mark can be lifted again.
bool MarkForDeletion(FileHandle& file, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// The access list of a security descriptor as text, to compare two by;
// empty when it cannot be read.
std::wstring RightsText(PSECURITY_DESCRIPTOR descriptor) {
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &text, nullptr)) {
        return {};
    }
    std::wstring rights(text);
    LocalFree(text);
    return rights;
}

// Gives the file the old file's access list as it stands, with the rights
// it took from its folder, which is the new file's folder too. Not through
// SetSecurityInfo: under Wine that adds the folder's rights to any list, a
// protected one too, and a 0600 file became a world-readable 0775. Nothing
// is set where the new file has those rights already, as under Wine every
// list set also gives the file's Unix group the owner's rights.
void KeepAccessRights(FileHandle& file, HANDLE old) {
    PSECURITY_DESCRIPTOR had = nullptr;
    if (GetSecurityInfo(old, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr, &had) !=
        ERROR_SUCCESS) {
        return;
    }
    PSECURITY_DESCRIPTOR has = nullptr;
    const std::wstring wanted = RightsText(had);
    const bool same = GetSecurityInfo(file.Get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                      nullptr, &has) == ERROR_SUCCESS &&
                      !wanted.empty() && wanted == RightsText(has);
    if (has != nullptr) LocalFree(has);
    if (!same) SetKernelObjectSecurity(file.Get(), DACL_SECURITY_INFORMATION, had);
    LocalFree(had);
}

// Renames the file through its handle, which stays open, so that it is never
// without either its mark or its final name for longer than the call.
bool RenameTo(FileHandle& file, const NativeString& target) {
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    const std::size_t header = offsetof(FILE_RENAME_INFO, FileName);
    std::vector<char> buffer(header + bytes + sizeof(wchar_t));  // the name ends in a zero
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(buffer.data() + header, target.data(), bytes);
    return SetFileInformationByHandle(file.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

// Whether another program has the file open so that it cannot be replaced.
// Windows says "access denied" then, which would send the user looking at
// the file's rights.
bool IsHeld(const NativeString& path) {
    const HANDLE probe = CreateFileW(path.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    return probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
}

// The file's own full name: a link is followed to the file it points to.
// Empty when the system cannot tell it.
std::wstring FinalName(HANDLE handle) {
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        const bool fits = length < final.size();
        final.resize(length);
        if (fits) return final;
    }
}

}  // namespace

bool IsExistingFile(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

NativeString SystemPath(const std::filesystem::path& path) {
    const std::wstring& given = path.native();
    constexpr std::wstring_view kVerbatim = L"\\\\?\\";
    if (given.starts_with(kVerbatim)) return given;
    std::wstring full = AbsolutePath(path);
    const bool fits = given.size() < MAX_PATH && full.size() < MAX_PATH;
    if (fits || full.starts_with(kVerbatim) || full.starts_with(L"\\\\.\\")) return given;
    // The verbatim form is taken as it stands: it must be whole, with no
    // "..", no "/" and no current folder, as GetFullPathNameW leaves it.
    if (full.starts_with(L"\\\\")) return std::wstring(kVerbatim) + L"UNC" + full.substr(1);
    return std::wstring(kVerbatim) + full;
}

int OpenToRead(const std::filesystem::path& path, OwnedFile& file) {
    const HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = Own(handle);
    return 0;
}

int ReadSome(FileHandle& file, char* into, std::size_t room, std::size_t& got) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), into, static_cast<DWORD>(room), &read, nullptr)) return LastError();
    got = read;
    return 0;
}

int WriteSome(FileHandle& file, const char* bytes, std::size_t size, std::size_t& written) {
    DWORD wrote = 0;
    if (!WriteFile(file.Get(), bytes, static_cast<DWORD>(size), &wrote, nullptr)) return LastError();
    written = wrote;
    return 0;
}

void StartWriteback(FileHandle&, std::uint64_t, std::size_t) {}

bool Flush(FileHandle& file) { return FlushFileBuffers(file.Get()) != 0; }

bool Close(OwnedFile file) { return file->Close(); }

ExistingFile OpenExisting(const std::filesystem::path& destination) {
    ExistingFile existing;
    existing.target = destination;
    const NativeString path = SystemPath(destination);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK) {
        // NUL, CON or a pipe: written directly, as it has no old content to keep.
        existing.kind = ExistingFile::Kind::Device;
        existing.device = Own(handle);
        return existing;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        existing.code = LastError();
        if (existing.code == ERROR_FILE_NOT_FOUND || existing.code == ERROR_PATH_NOT_FOUND) {
            existing.code = 0;  // nothing there yet: making the working file says the rest
            return existing;
        }
        if (!IsBusy(existing.code)) {
            existing.kind = ExistingFile::Kind::File;
            return existing;
        }
        // Held, or it is the source: its name can still be asked for.
        handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    existing.kind = ExistingFile::Kind::File;
    if (handle == INVALID_HANDLE_VALUE) return existing;
    const FileHandle opened(handle);
    std::wstring final = FinalName(handle);
    if (!final.empty()) existing.target = std::move(final);
    // Windows refuses to write a read-only file, and to replace it, but Wine
    // run by root does both, and the new file would lose the mark.
    const DWORD attributes = GetFileAttributesW(SystemPath(existing.target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        existing.code = ERROR_ACCESS_DENIED;
    }
    return existing;
}

bool IsBusy(int code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; }

bool IsNameTaken(int code) { return code == ERROR_FILE_EXISTS; }

NativeView WorkingFilePrefix() { return L"~kartovo-"; }

std::uint64_t ProcessNumber() { return GetCurrentProcessId(); }

int CreateWorkingFile(const std::filesystem::path& target, OwnedFile& file, std::filesystem::path& name) {
    return TryWorkingNames(target, name, [&file](const std::filesystem::path& candidate) {
        const NativeString path = SystemPath(candidate);
        const auto create = [&path](DWORD access) {
            return CreateFileW(path.c_str(), access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        };
        HANDLE handle = create(GENERIC_WRITE | DELETE | WRITE_DAC);
        // A share that lets users change files but not their rights: the
        // file then keeps the rights it gets from the folder.
        if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
            handle = create(GENERIC_WRITE | DELETE);
        }
        if (handle == INVALID_HANDLE_VALUE) return LastError();
        file = Own(handle);
        // Unmarked, it would outlive a process ended from outside.
        if (MarkForDeletion(*file, true)) return 0;
        const int code = LastError();
        file.reset();
        DeleteFileW(path.c_str());
        return code;
    });
}

// What the system refuses is let go: a share may refuse access rights, and
// the CSV is worth more.
void KeepWhatTheOldFileHad(FileHandle& file, const std::filesystem::path& target) {
    const FileHandle old(CreateFileW(SystemPath(target).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (old.Get() == INVALID_HANDLE_VALUE) return;
    FILE_BASIC_INFO had{};
    if (GetFileInformationByHandleEx(old.Get(), FileBasicInfo, &had, sizeof had)) {
        FILE_BASIC_INFO basic{};  // times left 0 stay as they are
        basic.CreationTime = had.CreationTime;
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        basic.FileAttributes = FILE_ATTRIBUTE_ARCHIVE | (had.FileAttributes & kKept);  // new content wants a backup
        SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic);
    }
    KeepAccessRights(file, old.Get());
}

int PutInPlace(FileHandle& file, const std::filesystem::path&, const std::filesystem::path& target) {
    const NativeString to = SystemPath(target);
    AcquireSRWLockExclusive(&replacing);
    int code = 0;
    if (!MarkForDeletion(file, false)) {
        code = LastError();
    } else if (!RenameTo(file, to)) {
        code = LastError();
        if (code == ERROR_ACCESS_DENIED && IsHeld(to)) code = ERROR_SHARING_VIOLATION;
        // Unmarked, the file must not wait through more attempts: failing
        // now has it removed by its name at once.
        if (!MarkForDeletion(file, true)) code = LastError();
    }
    ReleaseSRWLockExclusive(&replacing);
    return code;
}

void DiscardWorkingFile(OwnedFile file, const std::filesystem::path& name) {
    file.reset();  // marked, it goes now
    DeleteFileW(SystemPath(name).c_str());
}

int OpenInPlace(const std::filesystem::path& target, OwnedFile& file) {
    const HANDLE handle = CreateFileW(SystemPath(target).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = Own(handle);
    return 0;
}

void LeaveNoWorkingFile() noexcept {
    // The working file is marked except inside a replace: let that one end,
    // and start no other before the process is gone.
    AcquireSRWLockExclusive(&replacing);
}

std::string NativeToCp932(std::wstring_view native) {
    std::string out;
    Cp932Encoder encoder;
    encoder.Append(std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size()), out);
    return out;
}

std::string NativeToUtf8(std::wstring_view native) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size()));
}

NativeString AbsolutePath(const std::filesystem::path& path) {
    const std::wstring& given = path.native();
    const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return given;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return given;
    full.resize(length);
    return full;
}

NativeString SystemErrorNative(int code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0,
        nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) LocalFree(buffer);
    return text;
}

}  // namespace kartovo
