// Whole runs under hostile file-system conditions. Whatever goes wrong, the
// user must learn why from one message, must not be told a count, and must
// find the source as it was and an existing destination either untouched or
// replaced by the complete CSV, with nothing half-written left beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Converter.h"
#include "Failure.h"
#include "FileAccess.h"
#include "ScriptedHost.h"
#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace kartovo {
namespace {

using test::ScriptedHost;

const std::string kSource = "BEGIN:VCARD\r\nN:山田;太郎;;;\r\nEND:VCARD\r\n";
const std::string kOldCsv = "\"old\"\r\n";
const std::string kOverwrite = "ファイルを上書きしますか";

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
    std::filesystem::file_type destinationKind;  // a device must stay one
    std::set<std::string> sourceFolder, destinationFolder;
};

struct Outcome {
    std::string failure;  // UTF-8; empty when the run ended normally
    std::vector<std::string> shown;
};

// A file system of its own, so small that a full disk can be had on demand.
// It takes root: on Linux the test mounts it; under Wine run by root it goes
// through Wine's door to the host system. Windows itself cannot make one.
class SmallDisk {
public:
    explicit SmallDisk(const std::filesystem::path& path) {
        std::filesystem::create_directory(path);
#ifdef _WIN32
        using UnixName = char*(CDECL*)(const wchar_t*);
        spawn_ = reinterpret_cast<Spawn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
        const auto unixName = reinterpret_cast<UnixName>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (spawn_ == nullptr || unixName == nullptr) return;
        char* name = unixName(path.c_str());
        if (name == nullptr) return;
        unixPath_ = name;
        HeapFree(GetProcessHeap(), 0, name);
        mounted_ = HostCommand({"mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", unixPath_.c_str()}) == 0;
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
#ifdef _WIN32
    using Spawn = long (*)(char* const[], int);
    // Runs a host command and waits: its exit status, or -1.
    long HostCommand(std::initializer_list<const char*> command) const {
        std::vector<char*> argv;
        for (const char* word : command) argv.push_back(const_cast<char*>(word));
        argv.push_back(nullptr);
        return spawn_(argv.data(), 1);
    }
    Spawn spawn_ = nullptr;
#endif
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
#ifdef _WIN32
    std::function<HANDLE()> hold;   // another program's handle on a file
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
#ifdef _WIN32
        hold = nullptr;
#else
        inChild = nullptr;
#endif
    }

    void WriteOldCsv() { test::WriteFile(host.destination, kOldCsv); }

    // Root writes into read-only files and folders: on Linux its run drops to
    // "nobody"; Wine run by root cannot be stopped, and the row is skipped.
    void MakeReadOnly(const std::filesystem::path& path) {
        using std::filesystem::perms;
        std::filesystem::permissions(path, perms::owner_write | perms::group_write | perms::others_write,
                                     std::filesystem::perm_options::remove);
        readOnly.push_back(path);
#ifdef _WIN32
        const HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            unmade = "read-only files are writable here (Wine run by root)";
        }
#else
        if (geteuid() == 0) {
            inChild = [] { return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0; };
        }
#endif
    }

    // Windows cannot remove a read-only file with the rest of the folder.
    void MakeWritableAgain() {
        for (const auto& path : readOnly) {
            std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        }
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
        return {RegularFileBytes(host.source), RegularFileBytes(host.destination),
                std::filesystem::symlink_status(host.destination, ignored).type(), Entries(host.source.parent_path()),
                Entries(DestinationFolder())};
    }

    void ExpectUnchanged(const Snapshot& before) const {
        const Snapshot after = Take();
        EXPECT_TRUE(after.source == before.source)
            << "the source was modified: " << Describe(before.source) << " became " << Describe(after.source);
        EXPECT_TRUE(after.destination == before.destination) << "the destination was modified: "
                                                             << Describe(before.destination) << " became "
                                                             << Describe(after.destination);
        EXPECT_EQ(after.destinationKind, before.destinationKind) << "the destination was replaced";
        EXPECT_EQ(after.sourceFolder, before.sourceFolder) << "files appeared or vanished beside the source";
        EXPECT_EQ(after.destinationFolder, before.destinationFolder)
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
#ifdef _WIN32
        if (hold) {
            const HANDLE held = hold();
            EXPECT_NE(held, INVALID_HANDLE_VALUE) << "the file could not be held";
            const Outcome outcome = RunHere();
            CloseHandle(held);
            return outcome;
        }
#else
        if (inChild) return RunInChild();
#endif
        return RunHere();
    }

#ifndef _WIN32
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

enum class Fails { ToOpen, ToCreate, ToWrite };

// The operating system's reason follows the path. On Linux it is known
// exactly, and a reason lost while cleaning up after the failure shows.
void ExpectMessage(const std::string& failure, Fails fails, [[maybe_unused]] int code, const ScriptedHost& host) {
    if (fails == Fails::ToWrite) {
        EXPECT_EQ(failure, "ストリームへの書き込みエラー");
        return;
    }
    // The message names the file the user chose, never a working file.
    const std::string start = fails == Fails::ToOpen
                                  ? "ファイル " + Text(host.source) + " は開けません。 "
                                  : "ファイル \"" + Text(host.destination) + "\" を作成できません。";
    const std::string end = fails == Fails::ToOpen ? " " : "";
#ifdef _WIN32
    EXPECT_EQ(failure.rfind(start, 0), 0u) << failure;
    EXPECT_GT(failure.size(), start.size() + end.size()) << "no reason given: " << failure;
    EXPECT_EQ(failure.substr(failure.size() - end.size()), end) << failure;
#else
    EXPECT_EQ(failure, start + Cp932ToUtf8(SystemErrorText(code)) + end);
#endif
}

struct Condition {
    const char* name;
    Fails fails;
    int code;  // errno on Linux
    std::function<void()> make;
};

TEST_F(FailingConditionsTest, LeaveEverythingAsItWas) {
    const auto removeSource = [this] { std::filesystem::remove(host.source); };
    const auto sourceFolder = [this] {
        std::filesystem::remove(host.source);
        std::filesystem::create_directory(host.source);
    };
    const Condition conditions[] = {
        {"source missing", Fails::ToOpen, ENOENT, removeSource},
        {"source missing, destination existing", Fails::ToOpen, ENOENT, [&] { removeSource(); WriteOldCsv(); }},
        {"source deleted while asked", Fails::ToOpen, ENOENT, [&] { WriteOldCsv(); host.whileAsking = removeSource; }},
        {"source a folder", Fails::ToOpen, EISDIR, sourceFolder},
        {"source a folder, destination existing", Fails::ToOpen, EISDIR, [&] { sourceFolder(); WriteOldCsv(); }},
#ifdef _WIN32
        {"source held for writing", Fails::ToOpen, 0,
         [&] { WriteOldCsv(); Hold(host.source, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE); }},
#endif
        {"destination in a missing folder", Fails::ToCreate, ENOENT,
         [&] { host.destination = folder / "missing" / host.destination.filename(); }},
        {"destination a folder", Fails::ToCreate, EISDIR, [&] { std::filesystem::create_directory(host.destination); }},
        {"destination read-only", Fails::ToCreate, EACCES, [&] { WriteOldCsv(); MakeReadOnly(host.destination); }},
#ifdef _WIN32
        {"destination held, unshared", Fails::ToCreate, 0,
         [&] { WriteOldCsv(); Hold(host.destination, GENERIC_READ, 0); }},
        {"destination held, shared for reading", Fails::ToCreate, 0,
         [&] { WriteOldCsv(); Hold(host.destination, GENERIC_READ, FILE_SHARE_READ); }},
#else
        // A Windows folder's read-only flag does not stop new files.
        {"destination in a read-only folder", Fails::ToCreate, EACCES,
         [&] {
             host.destination = folder / "locked" / host.destination.filename();
             std::filesystem::create_directory(host.destination.parent_path());
             std::filesystem::permissions(host.destination.parent_path(), std::filesystem::perms::all);
             MakeReadOnly(host.destination.parent_path());
         }},
#endif
        {"disk fills", Fails::ToWrite, 0, [&] { MountSmallDisk(); }},
        {"disk fills, destination existing", Fails::ToWrite, 0, [&] { MountSmallDisk(); WriteOldCsv(); }},
#ifndef _WIN32
        {"always-full device", Fails::ToWrite, 0, [&] { MakeFullDevice(); }},
        // A quota running out part-way, as the full disk does, without root.
        {"file size limit, destination existing", Fails::ToWrite, 0,
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
    std::string manyContacts;
    for (int i = 0; i < 20000; ++i) {
        manyContacts += "BEGIN:VCARD\r\nN:山田;太郎" + std::to_string(i) + ";;;\r\nEND:VCARD\r\n";
    }

    for (const Condition& c : conditions) {
        SCOPED_TRACE(c.name);
        Fresh(c.name);
        test::WriteFile(host.source, c.fails == Fails::ToWrite ? manyContacts : kSource);
        c.make();
        if (unmade.empty()) {
            Snapshot before;
            Picture(before);
            const bool asks = before.destinationKind != std::filesystem::file_type::not_found &&
                              before.destinationKind != std::filesystem::file_type::directory;
            if (asks) host.answers = {kResultYes};
            const Outcome outcome = Run();
            ExpectMessage(outcome.failure, c.fails, c.code, host);
            EXPECT_EQ(outcome.shown, asks ? std::vector<std::string>{kOverwrite} : std::vector<std::string>{});
            ExpectUnchanged(before);
        } else {
            std::cout << "skipped \"" << c.name << "\": " << unmade << '\n';
        }
        MakeWritableAgain();
    }
}

}  // namespace
}  // namespace kartovo
