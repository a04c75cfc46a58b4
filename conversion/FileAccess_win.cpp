#include "FileAccess.h"

#include <windows.h>

#include <algorithm>

#include "Cp932.h"
#include "Cp932Encoder.h"
#include "Failure.h"
#include "FileAccessPlatform.h"
#include "Texts.h"
#include "Unicode.h"

namespace kartovo {
namespace {

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

bool IsNameTaken(int code) { return code == ERROR_FILE_EXISTS; }

namespace {

HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& destination) : destination_(destination), target_(destination) {
    CreateWorkingFile([this](const std::filesystem::path& path) {
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        handle_ = reinterpret_cast<std::intptr_t>(file);
        return file == INVALID_HANDLE_VALUE ? static_cast<int>(GetLastError()) : 0;
    });
}

OutputFile::~OutputFile() {
    // Closed first: opened without sharing, it could not be deleted while open.
    if (open_) CloseHandle(HandleOf(handle_));
    if (!committed_ && !working_.empty()) DeleteFileW(working_.c_str());
}

bool OutputFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kMaxChunk));
        DWORD written = 0;
        if (!WriteFile(HandleOf(handle_), bytes.data(), want, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

bool OutputFile::FlushAndClose() {
    const bool flushed = FlushFileBuffers(HandleOf(handle_)) != 0;
    open_ = false;
    return CloseHandle(HandleOf(handle_)) != 0 && flushed;
}

void OutputFile::Commit() {
    if (GetFileAttributesW(target_.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Opening without truncating changes nothing.
        const HANDLE probe = CreateFileW(target_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE) FailToCreate(destination_, static_cast<int>(GetLastError()));
        CloseHandle(probe);
    }
    if (!MoveFileExW(working_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        FailToCreate(destination_, static_cast<int>(GetLastError()));
    }
    committed_ = true;
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
