// Whole runs under hostile file-system conditions. Whatever goes wrong, the
// user must learn why from one message, must not be told a count, and must
// find the source as it was and an existing destination either untouched or
// replaced by the complete CSV, with nothing half-written left beside it,
// even when the run is stopped from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Converter.h"
#include "Failure.h"
#include "FileAccess.h"
#include "FileAccessPlatform.h"
#include "ScriptedHost.h"
#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#endif

namespace kartovo {
namespace {

using test::ScriptedHost;

const std::string kSource = "BEGIN:VCARD\r\nN:山田;太郎;;;\r\nEND:VCARD\r\n";
const std::string kOldCsv = "\"old\"\r\n";
const std::string kNewCsv = test::Sjis(
    "\"フリガナ\",\"氏名\",\"敬称\",\"郵便番号\",\"住所1\",\"住所2\",\"連名1\",\"連名2\",\"連名3\",\"連名4\"\r\n"
    "\"　\",\"山田　太郎\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
const std::string kOverwrite = "ファイルを上書きしますか";
const std::string kConverted = "1件の連絡先を変換しました\n住所のない連絡先：1件";

// Every path here is absolute already, so a message shows it as it stands.
// Taken apart from the program's own path handling, so that a message naming
// another file, or the right one garbled, shows.
std::string Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::set<std::string> Entries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        names.insert(Text(entry.path().filename()));
    }
    return names;
}

std::optional<std::string> RegularFileBytes(const std::filesystem::path& path) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) return std::nullopt;
    return test::ReadFile(path);
}

// A file's bytes in a line: a whole CSV would drown the failure report.
std::string Describe(const std::optional<std::string>& bytes) {
    if (!bytes) return "no file";
    const std::size_t shown = std::min<std::size_t>(bytes->size(), 24);
    return std::to_string(bytes->size()) + " bytes [" + test::Hex(bytes->substr(0, shown)) +
           (shown < bytes->size() ? " ...]" : "]");
}

// What a run may touch, taken before and after it.
struct Snapshot {
    std::optional<std::string> source, destination;
    std::optional<std::string> linked;           // what a link as the destination points to
    std::filesystem::file_type destinationKind;  // a device or link must stay one
    std::optional<unsigned> destinationMode;     // the host system's permissions, a link followed
    std::set<std::string> sourceFolder, destinationFolder;
};

struct Outcome {
    std::string failure;  // UTF-8; empty when the run ended normally
    std::vector<std::string> shown;
    int stoppedBy = 0;  // the signal, or the exit code TerminateProcess gave
};

#ifdef _WIN32
using UnixSpawn = long (*)(char* const[], int);
using UnixName = char*(CDECL*)(const wchar_t*);

// Runs a command of the host system under Wine run by root, and waits: its
// exit status, or -1 where there is no such door.
long HostCommand(std::initializer_list<const char*> command) {
    const auto spawn = reinterpret_cast<UnixSpawn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
    if (spawn == nullptr) return -1;
    std::vector<char*> argv;
    for (const char* word : command) argv.push_back(const_cast<char*>(word));
    argv.push_back(nullptr);
    return spawn(argv.data(), 1);
}

// The host system's name for a path under Wine, or "".
std::string UnixPath(const std::filesystem::path& path) {
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
    if (name == nullptr) return {};
    std::string text = name;
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

// The host system's permissions of a file under Wine, which Windows has no
// word for, read through `scratch`; nothing where they cannot be had.
std::optional<unsigned> FileMode(const std::filesystem::path& path, const std::filesystem::path& scratch) {
    const std::string file = UnixPath(path);
    const std::string out = UnixPath(scratch);
    if (file.empty() || out.empty() ||
        HostCommand({"sh", "-c", "stat -L -c %a \"$0\" > \"$1\"", file.c_str(), out.c_str()}) != 0) {
        return std::nullopt;
    }
    const std::string octal = test::ReadFile(scratch);
    std::filesystem::remove(scratch);
    return static_cast<unsigned>(std::stoul(octal, nullptr, 8));
}

// Wine gives a file's group the owner's rights, and its owner execute with
// read, whenever a program sets the file's rights: what a Windows program
// can keep is its owner's read and write and all that others may do.
constexpr unsigned kKeptModeBits = 0607;
#else
// A file system that cannot make unnamed files (FAT, many network ones),
// had by refusing O_TMPFILE to this process and what it runs.
bool RefuseUnnamedFiles() {
#if defined(__x86_64__)
    constexpr std::uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
    constexpr std::uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
    return false;
#endif
    constexpr std::uint32_t kUnnamed = O_TMPFILE & ~O_DIRECTORY;
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),  // the flags' low half
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kUnnamed, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

std::optional<unsigned> FileMode(const std::filesystem::path& path, const std::filesystem::path&) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return info.st_mode & 07777;
}

constexpr unsigned kKeptModeBits = 07777;

bool WriteAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(descriptor, bytes.data(), bytes.size());
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}
#endif

// A file system of its own, so small that a full disk can be had on demand.
// It takes root: on Linux the test mounts it; under Wine run by root it goes
// through Wine's door to the host system. Windows itself cannot make one.
class SmallDisk {
public:
    explicit SmallDisk(const std::filesystem::path& path) {
        std::filesystem::create_directory(path);
#ifdef _WIN32
        unixPath_ = UnixPath(path);
        mounted_ = !unixPath_.empty() &&
                   HostCommand({"mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", unixPath_.c_str()}) == 0;
#else
        unixPath_ = path.native();
        mounted_ = mount("tmpfs", unixPath_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") == 0;
#endif
    }
    ~SmallDisk() {
        if (!mounted_) return;
#ifdef _WIN32
        HostCommand({"umount", "-l", unixPath_.c_str()});
#else
        umount2(unixPath_.c_str(), MNT_DETACH);
#endif
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string unixPath_;
    bool mounted_ = false;
};

class FailingConditionsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ScriptedHost host;
    Converter converter{host};
    // What one row made; each row starts afresh.
    std::filesystem::path folder;
    std::string unmade;  // why the condition cannot be made here
    std::vector<std::filesystem::path> readOnly;
    std::optional<SmallDisk> disk;
    std::filesystem::path linkedTo;  // where a link as the destination points
    int stopWith = 0;                // the converter itself runs, and is stopped part-way
#ifdef _WIN32
    std::function<HANDLE()> hold;   // another program's handle on a file
    std::chrono::milliseconds holdFor{0};  // let go while the run goes on; 0: once it ended
#else
    std::function<bool()> inChild;  // prepares a child process to run in
#endif

    // Gives the host a folder of its own, where anyone may write: a run
    // without root must be stopped by the row's condition alone.
    void Fresh(std::string_view name) {
        folder = dir / name;
        std::filesystem::create_directory(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::all);
        host = ScriptedHost{};
        host.source = folder / test::U8Path("連絡先.vcf");
        host.destination = folder / test::U8Path("連絡先.csv");
        unmade.clear();
        readOnly.clear();
        disk.reset();
        linkedTo.clear();
        stopWith = 0;
#ifdef _WIN32
        hold = nullptr;
        holdFor = {};
#else
        inChild = nullptr;
#endif
    }

    void WriteOldCsv() { test::WriteFile(host.destination, kOldCsv); }

    // Root writes into read-only files and folders: on Linux its run drops to
    // "nobody"; Wine run by root writes a file marked read-only (attrib +R)
    // too, and the converter must refuse it itself.
    void MakeReadOnly(const std::filesystem::path& path) {
        using std::filesystem::perms;
        std::filesystem::permissions(path, perms::owner_write | perms::group_write | perms::others_write,
                                     std::filesystem::perm_options::remove);
        readOnly.push_back(path);
#ifndef _WIN32
        if (geteuid() == 0) {
            inChild = [] { return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0; };
        }
#endif
    }

    // An old CSV that its owner alone may read and write (0600).
    void WritePrivateCsv() {
        WriteOldCsv();
#ifdef _WIN32
        // Windows has no word for it: under Wine the host system sets it.
        const std::string path = UnixPath(host.destination);
        if (path.empty() || HostCommand({"chmod", "600", path.c_str()}) != 0) unmade = "no host permissions here";
#else
        std::filesystem::permissions(host.destination,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
    }

    // Windows cannot remove a read-only file with the rest of the folder,
    // and Wine loops forever on a link of the host's there.
    void CleanUp() {
        for (const auto& path : readOnly) {
            std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        }
        if (!linkedTo.empty()) std::filesystem::remove(host.destination);
    }

    // The destination a link to a file beside it, which holds the old CSV.
    void LinkDestination() {
        linkedTo = folder / test::U8Path("本体.csv");
        test::WriteFile(linkedTo, kOldCsv);
#ifdef _WIN32
        // Wine makes no links itself, but follows the host's.
        const std::string link = UnixPath(host.destination);
        if (link.empty() || HostCommand({"ln", "-s", "本体.csv", link.c_str()}) != 0) unmade = "no links here";
#else
        std::filesystem::create_symlink(linkedTo.filename(), host.destination);
#endif
    }

    // The converter program stopped in the middle of a run: its source comes
    // through a pipe, and once part of the CSV is written, the feed stops and
    // so does the converter.
    void StopMidway(int how) {
        WriteOldCsv();
        stopWith = how;
#ifndef _WIN32
        const int probe = open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
        if (probe < 0) unmade = "this file system makes no unnamed files";
        close(probe);
#endif
    }

    void MountSmallDisk() {
        disk.emplace(folder / "disk");
        if (!disk->mounted()) unmade = "a small disk cannot be mounted here (it takes root)";
        host.destination = folder / "disk" / host.destination.filename();
    }

#ifdef _WIN32
    // Another program holds the file: a spreadsheet with the CSV still open,
    // or an editor writing the source. Only while the run lasts, so that the
    // snapshots can read the file.
    void Hold(const std::filesystem::path& path, DWORD access, DWORD share) {
        hold = [=] { return CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr); };
    }
#else
    // What /dev/full is, made here so that a faulty run cannot replace the
    // real one. Without root, which making it takes, no run could.
    void MakeFullDevice() {
        host.destination = folder / "full";
        if (mknod(host.destination.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) return;
        if (geteuid() != 0 && std::filesystem::is_character_file("/dev/full")) {
            host.destination = "/dev/full";
        } else {
            unmade = "device nodes cannot be made here";
        }
    }
#endif

    // A missing destination folder is looked at through the nearest one that
    // exists: nothing may appear there either.
    std::filesystem::path DestinationFolder() const {
        std::filesystem::path parent = host.destination.parent_path();
        while (!std::filesystem::exists(parent)) parent = parent.parent_path();
        return parent;
    }

    Snapshot Take() const {
        std::error_code ignored;
        return {RegularFileBytes(host.source),
                RegularFileBytes(host.destination),
                linkedTo.empty() ? std::nullopt : RegularFileBytes(linkedTo),
                std::filesystem::symlink_status(host.destination, ignored).type(),
                FileMode(host.destination, dir / "mode.txt"),
                Entries(host.source.parent_path()),
                Entries(DestinationFolder())};
    }

    void ExpectFound(const Snapshot& expected) const {
        const Snapshot after = Take();
        EXPECT_TRUE(after.source == expected.source)
            << "the source holds " << Describe(after.source) << ", not " << Describe(expected.source);
        EXPECT_TRUE(after.destination == expected.destination)
            << "the destination holds " << Describe(after.destination) << ", not " << Describe(expected.destination);
        EXPECT_TRUE(after.linked == expected.linked)
            << "the linked file holds " << Describe(after.linked) << ", not " << Describe(expected.linked);
        EXPECT_EQ(after.destinationKind, expected.destinationKind) << "the destination was replaced";
        // Replaced or not, the destination keeps who may read and write it.
        const auto kept = [](std::optional<unsigned> mode) {
            return mode ? std::optional(*mode & kKeptModeBits) : mode;
        };
        EXPECT_TRUE(kept(after.destinationMode) == kept(expected.destinationMode))
            << std::oct << "the destination's permissions are " << after.destinationMode.value_or(0) << ", not "
            << expected.destinationMode.value_or(0);
        EXPECT_EQ(after.sourceFolder, expected.sourceFolder) << "files appeared or vanished beside the source";
        EXPECT_EQ(after.destinationFolder, expected.destinationFolder)
            << "files appeared or vanished beside the destination";
    }

    // Fills `before` now, and again once the user has answered: others may
    // change things while a question is open, and only what the run itself
    // does counts.
    void Picture(Snapshot& before) {
        before = Take();
        if (host.whileAsking) {
            host.whileAsking = [this, &before, change = host.whileAsking] {
                change();
                before = Take();
            };
        }
    }

    Outcome RunHere() {
        Outcome outcome;
        try {
            converter.mainprocess();
        } catch (const Failure& failure) {
            outcome.failure = Cp932ToUtf8(failure.Message());
        }
        for (const auto& s : host.shown) outcome.shown.push_back(s.text);
        return outcome;
    }

    Outcome Run() {
        if (stopWith != 0) return RunStopped();
#ifdef _WIN32
        if (hold) {
            const HANDLE held = hold();
            EXPECT_NE(held, INVALID_HANDLE_VALUE) << "the file could not be held";
            std::jthread letGo;
            if (holdFor.count() != 0) {
                letGo = std::jthread([held, wait = holdFor] {
                    std::this_thread::sleep_for(wait);
                    CloseHandle(held);
                });
            }
            const Outcome outcome = RunHere();
            if (!letGo.joinable()) CloseHandle(held);
            return outcome;
        }
#else
        if (inChild) return RunInChild();
#endif
        return RunHere();
    }

    // Some 60 bytes of CSV a contact.
    static std::string Contacts(int count) {
        std::string contacts;
        for (int i = 0; i < count; ++i) {
            contacts += "BEGIN:VCARD\r\nN:山田;太郎" + std::to_string(i) + ";;;\r\nEND:VCARD\r\n";
        }
        return contacts;
    }
    // Some 3.6 MB of CSV: its first blocks are written before the converter
    // has read the last of this, whatever the pipe holds.
    static std::string Feed() { return Contacts(60000); }

#ifdef _WIN32
    Outcome RunStopped() {
        const std::wstring source = L"\\\\.\\pipe\\kartovo-feed-" + std::to_wstring(GetCurrentProcessId());
        const HANDLE pipe = CreateNamedPipeW(source.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED,
                                             PIPE_TYPE_BYTE, 1, 1 << 16, 1 << 16, 0, nullptr);
        std::wstring command = L"kartovo-convert --yes " + source + L" \"" + host.destination.native() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (pipe == INVALID_HANDLE_VALUE ||
            !CreateProcessW(std::filesystem::path(KARTOVO_CONVERTER).c_str(), command.data(), nullptr, nullptr, FALSE,
                            0, nullptr, nullptr, &startup, &process)) {
            ADD_FAILURE() << "the converter could not be started: " << GetLastError();
            return {};
        }
        OVERLAPPED pending{};
        pending.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        // Whether a call on the pipe went through; false if the converter ended first.
        const auto through = [&](BOOL done) {
            if (done || GetLastError() == ERROR_PIPE_CONNECTED) return true;
            if (GetLastError() != ERROR_IO_PENDING) return false;
            const HANDLE either[] = {pending.hEvent, process.hProcess};
            DWORD moved = 0;
            if (WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0) {
                return GetOverlappedResult(pipe, &pending, &moved, FALSE) != 0;
            }
            CancelIoEx(pipe, &pending);
            GetOverlappedResult(pipe, &pending, &moved, TRUE);
            return false;
        };
        const std::string feed = Feed();
        bool fed = through(ConnectNamedPipe(pipe, &pending));
        for (std::size_t done = 0; fed && done < feed.size(); done += 1 << 16) {
            const auto piece = static_cast<DWORD>(std::min<std::size_t>(feed.size() - done, 1 << 16));
            fed = through(WriteFile(pipe, feed.data() + done, piece, nullptr, &pending));
        }
        EXPECT_TRUE(fed) << "the converter ended before it was stopped";
        TerminateProcess(process.hProcess, static_cast<UINT>(stopWith));
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        for (const HANDLE handle : {pipe, pending.hEvent, process.hProcess, process.hThread}) CloseHandle(handle);
        return {{}, {}, static_cast<int>(code)};
    }
#else
    Outcome RunStopped() {
        int feed[2];
        pid_t child = -1;
        if (pipe(feed) != 0 || (child = fork()) < 0) {
            ADD_FAILURE() << "no child process";
            return {};
        }
        if (child == 0) {
            close(feed[1]);
            // A suite started as a background job ignores SIGINT, and the
            // converter rightly keeps a signal ignored; the run is to be
            // stopped as one started at a terminal.
            for (const int stop : {SIGINT, SIGTERM, SIGHUP}) signal(stop, SIG_DFL);
            if (inChild && !inChild()) _exit(125);
            const std::string source = "/dev/fd/" + std::to_string(feed[0]);
            execl(KARTOVO_CONVERTER, "kartovo-convert", "--yes", source.c_str(), host.destination.c_str(), nullptr);
            _exit(127);
        }
        close(feed[0]);
        const auto previous = signal(SIGPIPE, SIG_IGN);  // a converter that ends early must not end the test
        EXPECT_TRUE(WriteAll(feed[1], Feed())) << "the converter ended before it was stopped";
        signal(SIGPIPE, previous);
        kill(child, stopWith);
        close(feed[1]);
        int status = 0;
        waitpid(child, &status, 0);
        return {{}, {}, WIFSIGNALED(status) ? WTERMSIG(status) : -status};
    }

    // Runs in a child that inChild has prepared, and hears back over a pipe:
    // what the child gives up (root, a limit) must not outlive the row.
    Outcome RunInChild() {
        int channel[2];
        pid_t child = -1;
        if (pipe(channel) != 0 || (child = fork()) < 0) {
            ADD_FAILURE() << "no child process";
            return {};
        }
        if (child == 0) {
            close(channel[0]);
            std::string report = "the child could not be prepared";
            if (inChild()) {
                const Outcome outcome = RunHere();
                report = outcome.failure;
                for (const std::string& text : outcome.shown) report += '\0' + text;
            }
            for (std::size_t done = 0; done < report.size();) {
                const ssize_t n = write(channel[1], report.data() + done, report.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            _exit(0);  // no destructors: the folder belongs to the parent
        }
        close(channel[1]);
        std::string report;
        char buffer[4096];
        for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child died";
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (std::size_t end; (end = report.find('\0', start)) != std::string::npos; start = end + 1) {
            parts.push_back(report.substr(start, end - start));
        }
        parts.push_back(report.substr(start));
        return {parts[0], std::vector<std::string>(parts.begin() + 1, parts.end())};
    }
#endif
};

enum class Ends { Converted, CannotOpen, CannotCreate, WriteError, Stopped };

// The operating system's reason follows the path. On Linux it is known
// exactly, and a reason lost while cleaning up after the failure shows.
void ExpectMessage(const std::string& failure, Ends ends, [[maybe_unused]] int code, const ScriptedHost& host) {
    if (ends == Ends::WriteError) {
        EXPECT_EQ(failure, "ストリームへの書き込みエラー");
        return;
    }
    // The message names the file the user chose, never a working file.
    const std::string start = ends == Ends::CannotOpen
                                  ? "ファイル " + Text(host.source) + " は開けません。 "
                                  : "ファイル \"" + Text(host.destination) + "\" を作成できません。";
    const std::string end = ends == Ends::CannotOpen ? " " : "";
#ifdef _WIN32
    EXPECT_EQ(failure.rfind(start, 0), 0u) << failure;
    EXPECT_GT(failure.size(), start.size() + end.size()) << "no reason given: " << failure;
    EXPECT_EQ(failure.substr(failure.size() - end.size()), end) << failure;
#else
    EXPECT_EQ(failure, start + NativeToUtf8(TrimErrorText(SystemErrorNative(code))) + end);
#endif
}

struct Condition {
    const char* name;
    Ends ends;
    int code;  // errno on Linux; for a stopped run, the signal or exit code
    std::function<void()> make;
};

TEST_F(FailingConditionsTest, LeaveEverythingAsItWas) {
    const auto removeSource = [this] { std::filesystem::remove(host.source); };
    const auto sourceFolder = [this] {
        std::filesystem::remove(host.source);
        std::filesystem::create_directory(host.source);
    };
    const Condition conditions[] = {
        {"source missing", Ends::CannotOpen, ENOENT, removeSource},
        {"source missing, destination existing", Ends::CannotOpen, ENOENT, [&] { removeSource(); WriteOldCsv(); }},
        {"source deleted while asked", Ends::CannotOpen, ENOENT, [&] { WriteOldCsv(); host.whileAsking = removeSource; }},
        {"source a folder", Ends::CannotOpen, EISDIR, sourceFolder},
        {"source a folder, destination existing", Ends::CannotOpen, EISDIR, [&] { sourceFolder(); WriteOldCsv(); }},
#ifdef _WIN32
        {"source held for writing", Ends::CannotOpen, 0,
         [&] { WriteOldCsv(); Hold(host.source, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE); }},
#endif
        {"destination in a missing folder", Ends::CannotCreate, ENOENT,
         [&] { host.destination = folder / "missing" / host.destination.filename(); }},
        {"destination a folder", Ends::CannotCreate, EISDIR, [&] { std::filesystem::create_directory(host.destination); }},
        {"destination read-only", Ends::CannotCreate, EACCES, [&] { WriteOldCsv(); MakeReadOnly(host.destination); }},
#ifdef _WIN32
        {"destination held throughout", Ends::CannotCreate, 0,
         [&] { WriteOldCsv(); Hold(host.destination, GENERIC_READ, 0); }},
        // A virus scanner or the search indexer looking at the old CSV.
        {"destination held for half a second", Ends::Converted, 0,
         [&] { WriteOldCsv(); Hold(host.destination, GENERIC_READ, 0); holdFor = std::chrono::milliseconds(500); }},
        {"destination the NUL device", Ends::Converted, 0, [&] { host.destination = folder / "NUL"; }},
        {"stopped from the task list", Ends::Stopped, 77, [&] { StopMidway(77); }},
#else
        // A Windows folder's read-only flag does not stop new files.
        {"destination in a read-only folder", Ends::CannotCreate, EACCES,
         [&] {
             host.destination = folder / "locked" / host.destination.filename();
             std::filesystem::create_directory(host.destination.parent_path());
             std::filesystem::permissions(host.destination.parent_path(), std::filesystem::perms::all);
             MakeReadOnly(host.destination.parent_path());
         }},
        // Writable, in a folder where no file can be made: written over, at the end.
        {"destination existing in a read-only folder", Ends::Converted, 0,
         [&] {
             host.destination = folder / "locked" / host.destination.filename();
             std::filesystem::create_directory(host.destination.parent_path());
             std::filesystem::permissions(host.destination.parent_path(), std::filesystem::perms::all);
             WriteOldCsv();
             std::filesystem::permissions(host.destination, std::filesystem::perms::all);
             MakeReadOnly(host.destination.parent_path());
         }},
        {"stopped by SIGINT", Ends::Stopped, SIGINT, [&] { StopMidway(SIGINT); }},
        {"stopped by SIGTERM", Ends::Stopped, SIGTERM, [&] { StopMidway(SIGTERM); }},
        {"stopped by SIGKILL", Ends::Stopped, SIGKILL, [&] { StopMidway(SIGKILL); }},
        {"stopped by SIGINT, no unnamed files", Ends::Stopped, SIGINT,
         [&] { StopMidway(SIGINT); inChild = RefuseUnnamedFiles; }},
        {"stopped by SIGHUP, no unnamed files", Ends::Stopped, SIGHUP,
         [&] { StopMidway(SIGHUP); inChild = RefuseUnnamedFiles; }},
#endif
        {"destination a link", Ends::Converted, 0, [&] { LinkDestination(); }},
        {"destination private", Ends::Converted, 0, [&] { WritePrivateCsv(); }},
        {"disk fills", Ends::WriteError, 0, [&] { MountSmallDisk(); }},
        {"disk fills, destination existing", Ends::WriteError, 0, [&] { MountSmallDisk(); WriteOldCsv(); }},
#ifndef _WIN32
        {"always-full device", Ends::WriteError, 0, [&] { MakeFullDevice(); }},
        // A quota running out part-way, as the full disk does, without root.
        {"file size limit, destination existing", Ends::WriteError, 0,
         [&] {
             WriteOldCsv();
             inChild = [] {
                 const rlimit limit{64 * 1024, 64 * 1024};
                 return signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
             };
         }},
#endif
    };
    // Some 1.2 MB of CSV, many times what the small disk holds.
    const std::string manyContacts = Contacts(20000);

    for (const Condition& c : conditions) {
        SCOPED_TRACE(c.name);
        Fresh(c.name);
        test::WriteFile(host.source, c.ends == Ends::WriteError ? manyContacts : kSource);
        c.make();
        if (unmade.empty()) {
            Snapshot before;
            Picture(before);
            const bool asks = IsExistingFile(host.destination);
            if (asks) host.answers = {kResultYes};
            const Outcome outcome = Run();
            std::vector<std::string> shown = asks ? std::vector<std::string>{kOverwrite} : std::vector<std::string>{};
            Snapshot expected = before;
            if (c.ends == Ends::Stopped) {
                EXPECT_EQ(outcome.stoppedBy, c.code) << "not stopped midway";
                shown.clear();  // the converter's own console is not looked at
            } else if (c.ends == Ends::Converted) {
                EXPECT_EQ(outcome.failure, "");
                shown.push_back(kConverted);
                // An existing file is replaced, through a link if it is one;
                // a device stays what it was.
                for (auto* bytes : {&expected.destination, &expected.linked}) {
                    if (*bytes) *bytes = kNewCsv;
                }
            } else {
                ExpectMessage(outcome.failure, c.ends, c.code, host);
            }
            EXPECT_EQ(outcome.shown, shown);
            ExpectFound(expected);
        } else {
            std::cout << "skipped \"" << c.name << "\": " << unmade << '\n';
        }
        CleanUp();
    }
}

}  // namespace
}  // namespace kartovo
