#include "FileAccess.h"

#include <atomic>
#include <chrono>
#include <cstdint>

#include "Failure.h"
#include "FileAccessPlatform.h"
#include "Texts.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kartovo {

NativeString WorkingFileName() {
    // The process id and the clock part processes; the counter parts calls.
    static std::atomic<std::uint32_t> calls{0};
#ifdef _WIN32
    const auto process = static_cast<std::uint64_t>(_getpid());
    const NativeString prefix = L"~kartovo-";
#else
    const auto process = static_cast<std::uint64_t>(::getpid());
    const NativeString prefix = ".kartovo-";  // hidden, as work files are
#endif
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t mixed = (process << 32) ^ ticks ^ (std::uint64_t{calls++} * 0x9E3779B97F4A7C15ULL);
    mixed ^= mixed >> 29;
    mixed *= 0xBF58476D1CE4E5B9ULL;
    mixed ^= mixed >> 32;
    NativeString name = prefix;
    for (int shift = 28; shift >= 0; shift -= 4) name.push_back("0123456789abcdef"[(mixed >> shift) & 0xF]);
    for (char c : std::string_view(".tmp")) name.push_back(static_cast<std::filesystem::path::value_type>(c));
    return name;
}

DestinationFile::DestinationFile(const std::filesystem::path& path) : file_(std::make_unique<OutputFile>(path)) {}

DestinationFile::~DestinationFile() = default;

bool DestinationFile::WritesAside() const { return file_->WritesAside(); }

void DestinationFile::Write(std::string_view bytes) {
    if (!file_->Write(bytes)) throw Failure(std::string(texts::kWriteError));
}

void DestinationFile::Finish() {
    if (!file_->FlushAndClose()) throw Failure(std::string(texts::kWriteError));
    file_->Commit();
}

std::string PathForMessage(const std::filesystem::path& path) { return NativeToCp932(AbsolutePath(path)); }

std::string SystemErrorText(int code) { return NativeToCp932(TrimErrorText(SystemErrorNative(code))); }

namespace {

MessageArgument ArgumentOf(NativeView native) { return {NativeToCp932(native), NativeToUtf8(native)}; }

}  // namespace

void FailToOpen(const std::filesystem::path& path, int code) {
    throw Failure(texts::kCannotOpenFormat, ArgumentOf(AbsolutePath(path)),
                  ArgumentOf(TrimErrorText(SystemErrorNative(code))));
}

void FailToCreate(const std::filesystem::path& path, int code) {
    throw Failure(texts::kCannotCreateFormat, ArgumentOf(AbsolutePath(path)),
                  ArgumentOf(TrimErrorText(SystemErrorNative(code))));
}

}  // namespace kartovo
