#include "FileAccess.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>

#include "Failure.h"
#include "FileAccessPlatform.h"
#include "Texts.h"

namespace kartovo {
namespace {

// Network shares refuse requests of 64 MB and more; a few MiB cost no speed.
constexpr std::size_t kMaxRequest = std::size_t{8} << 20;

// How long another program's hold on the destination is waited out.
constexpr auto kPatience = std::chrono::seconds(2);
constexpr auto kPause = std::chrono::milliseconds(50);

MessageArgument ArgumentOf(NativeView native) { return {NativeToCp932(native), NativeToUtf8(native)}; }

// Fails with a file message, "ファイル %s は開けません。 %s " or
// "ファイル "%s" を作成できません。%s": the path as the user gave it, made
// absolute, and the system's reason, each keeping its own characters.
[[noreturn]] void FailOn(std::string_view format, const std::filesystem::path& path, int code) {
    throw Failure(format, ArgumentOf(AbsolutePath(path)), ArgumentOf(TrimErrorText(SystemErrorNative(code))));
}

// `attempt` again while another program holds the file, for a while.
template <typename Attempt>
int RetryWhileBusy(Attempt&& attempt) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        const int code = attempt();
        if (code == 0 || !IsBusy(code) || std::chrono::steady_clock::now() >= deadline) return code;
        std::this_thread::sleep_for(kPause);
    }
}

// Writes all the bytes; false when the system refuses.
bool WriteAll(FileHandle& file, std::string_view bytes) {
    while (!bytes.empty()) {
        std::size_t written = 0;
        if (WriteSome(file, bytes.data(), std::min(bytes.size(), kMaxRequest), written) != 0 || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

SourceFile::SourceFile(std::filesystem::path path) : path_(std::move(path)) {
    if (const int code = OpenToRead(path_, file_)) FailOn(texts::kCannotOpenFormat, path_, code);
}

std::size_t SourceFile::Read(char* into, std::size_t room) {
    std::size_t got = 0;
    if (const int code = ReadSome(*file_, into, std::min(room, kMaxRequest), got)) {
        FailOn(texts::kCannotOpenFormat, path_, code);
    }
    return got;
}

DestinationFile::DestinationFile(std::filesystem::path path) : destination_(std::move(path)) {
    ExistingFile existing = OpenExisting(destination_);
    target_ = std::move(existing.target);
    if (existing.kind == ExistingFile::Kind::Device) {
        file_ = std::move(existing.device);
        way_ = Way::Direct;
        return;
    }
    // A hold by another program is waited out when the file is replaced.
    if (existing.code != 0 && !IsBusy(existing.code)) FailOn(texts::kCannotCreateFormat, destination_, existing.code);
    const int code = CreateWorkingFile(target_, file_, working_);
    if (code == 0) return;
    // A folder where the user may change files but not make them: the old
    // way, writing the file itself, is all that is left.
    if (existing.kind != ExistingFile::Kind::File) FailOn(texts::kCannotCreateFormat, destination_, code);
    way_ = Way::InPlace;
}

DestinationFile::~DestinationFile() {
    if (way_ == Way::Aside && !committed_ && file_) DiscardWorkingFile(std::move(file_), working_);
}

void DestinationFile::Write(std::string_view bytes) {
    if (!WriteAll(*file_, bytes)) throw Failure(std::string(texts::kWriteError));
    if (way_ == Way::Aside) StartWriteback(*file_, written_, bytes.size());
    written_ += bytes.size();
}

void DestinationFile::Finish(const std::vector<std::string>& rest) {
    if (way_ == Way::InPlace) {
        // Emptied only now that the whole CSV is made.
        const int code = RetryWhileBusy([this] { return OpenInPlace(target_, file_); });
        if (code != 0) FailOn(texts::kCannotCreateFormat, destination_, code);
    }
    for (const std::string& block : rest) Write(block);
    // A device need not support flushing.
    if (way_ != Way::Direct && !Flush(*file_)) throw Failure(std::string(texts::kWriteError));
    if (way_ == Way::Aside) {
        KeepWhatTheOldFileHad(*file_, target_);  // once: waiting out a hold changes nothing of it
        const int code = RetryWhileBusy([this] { return PutInPlace(*file_, working_, target_); });
        if (code != 0) FailOn(texts::kCannotCreateFormat, destination_, code);
        committed_ = true;
        // Flushed already, the file is whole in its place whatever closing says.
        Close(std::move(file_));
        return;
    }
    if (!Close(std::move(file_))) throw Failure(std::string(texts::kWriteError));
}

NativeString WorkingFileName() {
    // The process number and the clock part processes; the counter parts calls.
    static std::atomic<std::uint32_t> calls{0};
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t mixed = (ProcessNumber() << 32) ^ ticks ^ (std::uint64_t{calls++} * 0x9E3779B97F4A7C15ULL);
    mixed ^= mixed >> 29;
    mixed *= 0xBF58476D1CE4E5B9ULL;
    mixed ^= mixed >> 32;
    NativeString name(WorkingFilePrefix());
    for (int shift = 28; shift >= 0; shift -= 4) name.push_back("0123456789abcdef"[(mixed >> shift) & 0xF]);
    for (char c : std::string_view(".tmp")) name.push_back(static_cast<std::filesystem::path::value_type>(c));
    return name;
}


}  // namespace kartovo
