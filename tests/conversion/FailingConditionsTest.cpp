// Whole runs under hostile file-system conditions. Whatever goes wrong, the
// user must learn why from one message, must not be told a count, and must
// find the source as it was and an existing destination either untouched or
// replaced by the complete CSV, with nothing half-written left beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
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
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kartovo {
namespace {

using test::ScriptedHost;

const std::string kSource = "BEGIN:VCARD\r\nN:山田;太郎;;;\r\nEND:VCARD\r\n";
const std::string kOldCsv = "\"old\"\r\n";
const std::string kOverwrite = "ファイルを上書きしますか";
const std::string kHeader = "\"フリガナ\",\"氏名\",\"敬称\",\"郵便番号\",\"住所1\",\"住所2\",\"連名1\",\"連名2\",\"連名3\",\"連名4\"\r\n";
const std::string kYamadaRow = "\"　\",\"山田　太郎\",\"様\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";

std::set<std::string> Entries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace(name.begin(), name.end());
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
    std::set<std::string> sourceFolder, destinationFolder;
};

struct Outcome {
    std::string failure;  // UTF-8; empty when the run ended normally
    std::vector<std::string> shown;
};

class FailingConditionsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ScriptedHost host;
    Converter converter{host};

    // Points the host at a fresh folder of its own, one per table row.
    std::filesystem::path Fresh(std::string_view name) {
        const std::filesystem::path folder = dir / name;
        std::filesystem::create_directory(folder);
        host = ScriptedHost{};
        host.source = folder / "contacts.vcf";
        host.destination = folder / "contacts.csv";
        return folder;
    }

    std::string AbsoluteText(const std::filesystem::path& path) const { return Cp932ToUtf8(PathForMessage(path)); }

    // A missing destination folder is looked at through the nearest one that
    // exists: nothing may appear there either.
    std::filesystem::path DestinationFolder() const {
        std::filesystem::path folder = host.destination.parent_path();
        while (!std::filesystem::exists(folder)) folder = folder.parent_path();
        return folder;
    }

    Snapshot Take() const {
        return {RegularFileBytes(host.source), RegularFileBytes(host.destination), Entries(host.source.parent_path()),
                Entries(DestinationFolder())};
    }

    void ExpectUnchanged(const Snapshot& before) const {
        const Snapshot after = Take();
        EXPECT_TRUE(after.source == before.source)
            << "the source was modified: " << Describe(before.source) << " became " << Describe(after.source);
        EXPECT_TRUE(after.destination == before.destination) << "the destination was modified: "
                                                             << Describe(before.destination) << " became "
                                                             << Describe(after.destination);
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

    Outcome Run() {
        Outcome outcome;
        try {
            converter.mainprocess();
        } catch (const Failure& failure) {
            outcome.failure = Cp932ToUtf8(failure.Message());
        }
        for (const auto& s : host.shown) outcome.shown.push_back(s.text);
        return outcome;
    }

#ifndef _WIN32
    // Root writes into read-only files and folders, so where permissions are
    // the point a root test runs the conversion in a child that has become
    // "nobody", and hears back over a pipe.
    Outcome RunWithoutRoot() {
        if (geteuid() != 0) return Run();
        int channel[2];
        if (pipe(channel) != 0) {
            ADD_FAILURE() << "pipe failed";
            return {};
        }
        const pid_t child = fork();
        if (child < 0) {
            ADD_FAILURE() << "fork failed";
            return {};
        }
        if (child == 0) {
            close(channel[0]);
            std::string report = "could not become nobody";
            if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0) {
                try {
                    const Outcome outcome = Run();
                    report = outcome.failure;
                    for (const std::string& text : outcome.shown) report += '\0' + text;
                } catch (const std::exception& error) {
                    report = std::string("unexpected exception: ") + error.what();
                }
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
        Outcome outcome;
        std::size_t start = 0;
        std::size_t end = report.find('\0');
        outcome.failure = report.substr(0, end);
        while (end != std::string::npos) {
            start = end + 1;
            end = report.find('\0', start);
            outcome.shown.push_back(report.substr(start, end == std::string::npos ? end : end - start));
        }
        return outcome;
    }
#endif
};

std::string CannotOpenStart(const std::string& path) { return "ファイル " + path + " は開けません。 "; }
std::string CannotCreateStart(const std::string& path) { return "ファイル \"" + path + "\" を作成できません。"; }

#ifdef _WIN32
// Another program holds the file: a spreadsheet with the CSV still open, or
// an editor writing the source.
class HeldFile {
public:
    HeldFile(const std::filesystem::path& path, DWORD access, DWORD share)
        : handle_(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Wine run by root writes read-only files; the condition cannot be made.
bool ReadOnlyIsWritable(const std::filesystem::path& path) {
    const HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return true;
}
#endif

// The system's reason is part of the message; on Linux it is known exactly,
// and a reason lost while cleaning up after the failure would show here.
void ExpectMessage(const std::string& failure, const std::string& start, [[maybe_unused]] int code,
                   const std::string& end) {
#ifdef _WIN32
    EXPECT_EQ(failure.rfind(start, 0), 0u) << failure;
    EXPECT_GT(failure.size(), start.size() + end.size()) << "no reason given: " << failure;
    EXPECT_EQ(failure.substr(failure.size() - end.size()), end) << failure;
#else
    EXPECT_EQ(failure, start + Cp932ToUtf8(SystemErrorText(code)) + end);
#endif
}



// ---------------------------------------------------------------------------
// The source cannot be read.

enum class SourceIs { DeletedAfterChoosing, DeletedWhileAsked, Folder, HeldForWriting };

struct SourceCase {
    const char* name;
    SourceIs condition;
    bool existingDestination;
    int code;  // errno on Linux
};

TEST_F(FailingConditionsTest, UnreadableSourceLeavesEverythingAsItWas) {
    const SourceCase cases[] = {
        {"deleted", SourceIs::DeletedAfterChoosing, false, ENOENT},
        {"deleted, destination existing", SourceIs::DeletedAfterChoosing, true, ENOENT},
        {"deleted while asked", SourceIs::DeletedWhileAsked, true, ENOENT},
        {"folder", SourceIs::Folder, false, EISDIR},
        {"folder, destination existing", SourceIs::Folder, true, EISDIR},
#ifdef _WIN32
        {"held for writing", SourceIs::HeldForWriting, true, 0},
#endif
    };
    for (const SourceCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh(c.name);
        test::WriteFile(host.source, kSource);
        if (c.existingDestination) {
            test::WriteFile(host.destination, kOldCsv);
            host.answers = {kResultYes};
        }
        switch (c.condition) {
            case SourceIs::DeletedAfterChoosing:
                std::filesystem::remove(host.source);
                break;
            case SourceIs::DeletedWhileAsked:
                host.whileAsking = [this] { std::filesystem::remove(host.source); };
                break;
            case SourceIs::Folder:
                std::filesystem::remove(host.source);
                std::filesystem::create_directory(host.source);
                break;
            case SourceIs::HeldForWriting:
                break;
        }
#ifdef _WIN32
        std::optional<HeldFile> writer;
        if (c.condition == SourceIs::HeldForWriting) {
            writer.emplace(host.source, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
            ASSERT_TRUE(writer->held());
        }
#endif
        Snapshot before;
        Picture(before);
        const Outcome outcome = Run();
        ExpectMessage(outcome.failure, CannotOpenStart(AbsoluteText(host.source)), c.code, " ");
        EXPECT_EQ(outcome.shown, c.existingDestination ? std::vector<std::string>{kOverwrite}
                                                       : std::vector<std::string>{});
        ExpectUnchanged(before);
    }
}

// ---------------------------------------------------------------------------
// The destination cannot be made. The message names the destination the user
// chose, never a working file beside it.

enum class DestinationIs { InMissingFolder, Folder, ReadOnly, InReadOnlyFolder, HeldUnshared, HeldSharedForReading };

struct DestinationCase {
    const char* name;
    DestinationIs condition;
    int code;  // errno on Linux
};

TEST_F(FailingConditionsTest, UncreatableDestinationLeavesEverythingAsItWas) {
    const DestinationCase cases[] = {
        {"in a missing folder", DestinationIs::InMissingFolder, ENOENT},
        {"a folder", DestinationIs::Folder, EISDIR},
        {"read-only", DestinationIs::ReadOnly, EACCES},
#ifdef _WIN32
        {"held open, unshared", DestinationIs::HeldUnshared, 0},
        {"held open, shared for reading", DestinationIs::HeldSharedForReading, 0},
#else
        // A Windows folder's read-only flag does not stop new files.
        {"in a read-only folder", DestinationIs::InReadOnlyFolder, EACCES},
#endif
    };
    for (const DestinationCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path folder = Fresh(c.name);
        test::WriteFile(host.source, kSource);
        bool existing = false;
        switch (c.condition) {
            case DestinationIs::InMissingFolder:
                host.destination = folder / "missing" / "contacts.csv";
                break;
            case DestinationIs::Folder:
                std::filesystem::create_directory(host.destination);
                break;
            case DestinationIs::InReadOnlyFolder:
                host.destination = folder / "locked" / "contacts.csv";
                std::filesystem::create_directory(host.destination.parent_path());
                std::filesystem::permissions(host.destination.parent_path(),
                                             std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                                 std::filesystem::perms::group_read |
                                                 std::filesystem::perms::group_exec |
                                                 std::filesystem::perms::others_read |
                                                 std::filesystem::perms::others_exec);
                break;
            case DestinationIs::ReadOnly:
            case DestinationIs::HeldUnshared:
            case DestinationIs::HeldSharedForReading:
                existing = true;
                test::WriteFile(host.destination, kOldCsv);
                host.answers = {kResultYes};
                break;
        }
#ifdef _WIN32
        std::optional<HeldFile> reader;
        if (c.condition == DestinationIs::HeldUnshared || c.condition == DestinationIs::HeldSharedForReading) {
            reader.emplace(host.destination, GENERIC_READ,
                           c.condition == DestinationIs::HeldUnshared ? 0 : FILE_SHARE_READ);
            ASSERT_TRUE(reader->held());
        }
        if (c.condition == DestinationIs::ReadOnly) {
            SetFileAttributesW(host.destination.c_str(), FILE_ATTRIBUTE_READONLY);
            if (ReadOnlyIsWritable(host.destination)) {
                SetFileAttributesW(host.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
                std::cout << "skipped \"" << c.name << "\": read-only files are writable here (Wine run by root)\n";
                continue;
            }
        }
#else
        if (c.condition == DestinationIs::ReadOnly) {
            // Only the file's own mode may stand in the way, not its folder's.
            std::filesystem::permissions(host.destination, std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::group_read |
                                                               std::filesystem::perms::others_read);
            std::filesystem::permissions(folder, std::filesystem::perms::all);
        }
#endif
        Snapshot before;
        Picture(before);
#ifdef _WIN32
        const Outcome outcome = Run();
        SetFileAttributesW(host.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
        const bool permissions =
            c.condition == DestinationIs::ReadOnly || c.condition == DestinationIs::InReadOnlyFolder;
        const Outcome outcome = permissions ? RunWithoutRoot() : Run();
#endif
        ExpectMessage(outcome.failure, CannotCreateStart(AbsoluteText(host.destination)), c.code, "");
        EXPECT_EQ(outcome.shown, existing ? std::vector<std::string>{kOverwrite} : std::vector<std::string>{});
        ExpectUnchanged(before);
    }
}

// ---------------------------------------------------------------------------
// Nothing may be lost when the CSV cannot be written out whole.

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

enum class FullIs { SmallDisk, Device };

struct WriteCase {
    const char* name;
    FullIs where;
    bool existingDestination;
};

TEST_F(FailingConditionsTest, WriteFailureLeavesNoPartialFile) {
    const WriteCase cases[] = {
        {"disk fills, destination existing", FullIs::SmallDisk, true},
        {"disk fills, no destination", FullIs::SmallDisk, false},
#ifndef _WIN32
        // What /dev/full is, made here: a run must not replace the real one.
        {"always-full device", FullIs::Device, true},
#endif
    };
    // Some 1.2 MB of CSV, many times what the small disk holds.
    std::string contacts;
    for (int i = 0; i < 20000; ++i) contacts += "BEGIN:VCARD\r\nN:山田;太郎" + std::to_string(i) + ";;;\r\nEND:VCARD\r\n";

    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path folder = Fresh(c.name);
        test::WriteFile(host.source, contacts);
        std::optional<SmallDisk> disk;
        if (c.where == FullIs::SmallDisk) {
            disk.emplace(folder / "disk");
            if (!disk->mounted()) GTEST_SKIP() << "a small disk cannot be mounted here (it takes root)";
            host.destination = folder / "disk" / "contacts.csv";
            if (c.existingDestination) test::WriteFile(host.destination, kOldCsv);
        } else {
#ifndef _WIN32
            host.destination = folder / "full";
            if (mknod(host.destination.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
                GTEST_SKIP() << "device nodes cannot be made here (it takes root)";
            }
#endif
        }
        if (c.existingDestination) host.answers = {kResultYes};

        Snapshot before;
        Picture(before);
        const Outcome outcome = Run();
        EXPECT_EQ(outcome.failure, "ストリームへの書き込みエラー");
        EXPECT_EQ(outcome.shown,
                  c.existingDestination ? std::vector<std::string>{kOverwrite} : std::vector<std::string>{});
        ExpectUnchanged(before);
#ifndef _WIN32
        if (c.where == FullIs::Device) {
            struct stat info {};
            EXPECT_TRUE(lstat(host.destination.c_str(), &info) == 0 && S_ISCHR(info.st_mode))
                << "the device was replaced by a file";
        }
#endif
    }
}

// ---------------------------------------------------------------------------
// The destination is the source itself.

TEST_F(FailingConditionsTest, DestinationIsTheSource) {
    struct Case {
        const char* name;
        int answer;
        bool replaced;
    };
    for (const Case c : {Case{"yes", kResultYes, true}, Case{"no", kResultNo, false}}) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path folder = Fresh(c.name);
        host.destination = host.source;
        test::WriteFile(host.source, kSource);
        host.answers = {c.answer};
        const std::set<std::string> entries = Entries(folder);
        const Outcome outcome = Run();
        EXPECT_EQ(outcome.failure, "");
        if (c.replaced) {
            EXPECT_EQ(Cp932ToUtf8(test::ReadFile(host.source)), kHeader + kYamadaRow);
            EXPECT_EQ(outcome.shown, (std::vector<std::string>{kOverwrite, "1件の連絡先を変換しました"}));
        } else {
            EXPECT_EQ(test::ReadFile(host.source), kSource);
            EXPECT_EQ(outcome.shown, (std::vector<std::string>{kOverwrite, "処理を中止しました"}));
        }
        EXPECT_EQ(Entries(folder), entries) << "a working file was left behind";
    }
}

}  // namespace
}  // namespace kartovo
