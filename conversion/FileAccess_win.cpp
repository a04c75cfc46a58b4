#include "FileAccess.h"

#include <windows.h>

#include <algorithm>

#include "Cp932.h"
#include "Cp932Encoder.h"
#include "Failure.h"
#include "Texts.h"
#include "Unicode.h"

namespace kartovo {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

// ReadFile and WriteFile count in DWORD.
constexpr DWORD kMaxChunk = 1u << 30;

}  // namespace

bool IsExistingFile(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

SourceFile::SourceFile(const std::filesystem::path& path)
    : path_(path),
      handle_(reinterpret_cast<std::intptr_t>(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr))) {
    if (reinterpret_cast<HANDLE>(handle_) == INVALID_HANDLE_VALUE) FailToOpen(path_, static_cast<int>(GetLastError()));
}

SourceFile::~SourceFile() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

std::size_t SourceFile::Read(char* into, std::size_t room) {
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(room, kMaxChunk));
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), into, want, &got, nullptr)) {
        FailToOpen(path_, static_cast<int>(GetLastError()));
    }
    return got;
}

namespace {

bool WriteAll(HANDLE file, const std::vector<std::string>& text) {
    for (const std::string& block : text) {
        std::size_t done = 0;
        while (done < block.size()) {
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(block.size() - done, kMaxChunk));
            DWORD written = 0;
            if (!WriteFile(file, block.data() + done, want, &written, nullptr) || written == 0) return false;
            done += written;
        }
    }
    return true;
}

}  // namespace

void WriteWholeFile(const std::filesystem::path& path, const std::vector<std::string>& text) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Refuse early what the replacing would refuse late: a folder, a
        // read-only file, a file another program holds open. Opening
        // without truncating changes nothing.
        FileHandle probe(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid()) FailToCreate(path, GetLastError());
    }

    // The text goes to a new file beside the destination first, and takes
    // its place only when complete: a full disk or a failing device never
    // leaves a cut-short CSV, nor loses the file the user had.
    std::filesystem::path temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; handle == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = path;
        temporary.replace_filename(WorkingFileName());
        handle = CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) FailToCreate(path, GetLastError());
    }
    if (handle == INVALID_HANDLE_VALUE) FailToCreate(path, ERROR_FILE_EXISTS);
    FileHandle file(handle);
    struct Remove {
        const std::filesystem::path& path;
        bool keep = false;
        ~Remove() {
            if (!keep) DeleteFileW(path.c_str());
        }
    } removeTemporary{temporary};

    const bool written = WriteAll(file.get(), text) && FlushFileBuffers(file.get());
    // Closed before anything else: the file was opened without sharing, so
    // it could not be deleted while open.
    if (!file.Close() || !written) throw Failure(std::string(texts::kWriteError));
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        FailToCreate(path, GetLastError());
    }
    removeTemporary.keep = true;
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
