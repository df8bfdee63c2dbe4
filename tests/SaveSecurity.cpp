// SPDX-License-Identifier: MIT
// Saving with another local user around: what that user can see of the
// temporary file, names taken beforehand, links planted in a shared folder,
// an owner that cannot be kept, and signals in the middle of a save; through
// the replace-write and through the built programs. A program of its own:
// getrandom is interposed at link time (-Wl,--wrap=getrandom) so a test can
// choose the temporary file's name. Parts that need a second user run only
// as root, which CI is.
#include "FaultSupport.h"
#include "Harness.h"
#include "cli/EntryIo.h"
#include "platform/AfxRes.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" ssize_t __real_getrandom(void* buf, size_t n, unsigned flags);

namespace {
int g_nFixedNames = 0;   // this many names come out as "AAAAAA"
int g_nNamesAsked = 0;
}  // namespace

extern "C" ssize_t __wrap_getrandom(void* buf, size_t n, unsigned flags)
{
    ++g_nNamesAsked;
    if (g_nFixedNames > 0) {
        --g_nFixedNames;
        std::memset(buf, 0, n);
        return static_cast<ssize_t>(n);
    }
    return __real_getrandom(buf, n, flags);
}

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kOther = 65534;  // nobody

void Replace(const fs::path& path, const std::string& bytes, CString* pNote = nullptr)
{
    const CString note =
        AfxReplaceFile(path.string(), [&](CArchive& ar) { ar.Write(bytes.data(), static_cast<UINT>(bytes.size())); });
    if (pNote)
        *pNote = note;
}

mode_t ModeOf(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Waits for the first *.tmp made in a folder, in a process of its own.
class CTempWatcher {
public:
    explicit CTempWatcher(const fs::path& dir)
    {
        m_fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        EXPECT_GE(m_fd, 0);
        EXPECT_GE(::inotify_add_watch(m_fd, dir.c_str(), IN_CREATE), 0);
        m_dir = dir;
    }
    ~CTempWatcher() { ::close(m_fd); }
    // The name of the first temporary file made, or "" after 20 seconds.
    std::string Wait()
    {
        alignas(struct inotify_event) char buffer[4096];
        for (int waited = 0; waited < 20000;) {
            struct pollfd p {m_fd, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) {
                waited += 10;
                continue;
            }
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n;) {
                const auto* e = reinterpret_cast<const struct inotify_event*>(buffer + i);
                const std::string name = e->len ? e->name : "";
                if (name.size() > 4 && name.ends_with(".tmp"))
                    return (m_dir / name).string();
                i += static_cast<ssize_t>(sizeof *e + e->len);
            }
        }
        return {};
    }

private:
    int m_fd = -1;
    fs::path m_dir;
};

std::string OpenResult(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    return "opened";
}

// A second user watches the folder and, the moment the temporary file
// appears, looks at its mode and tries to read and to write it. The save
// waits until that user has tried, so the file is open and half written.
TEST(SaveSecurity, AnotherUserCannotOpenTheTemporaryFile)
{
    const bool bRoot = ::geteuid() == 0;
    for (const mode_t mask : {mode_t{022}, mode_t{0}}) {
        for (const int target : {0600, 0644, -1}) {
            SCOPED_TRACE("umask " + std::to_string(mask) + ", target mode " + std::to_string(target));
            SharedDir dir;
            const fs::path path = dir / "private.lumo";
            if (target >= 0) {
                WriteFile(path, "old");
                fs::permissions(path, fs::perms(target));
            }
            int report[2];
            int ready[2];
            ASSERT_EQ(::pipe(report), 0);
            ASSERT_EQ(::pipe(ready), 0);
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::alarm(20);
                if (bRoot && (::setgid(kOther) != 0 || ::setuid(kOther) != 0))
                    ::_exit(3);
                CTempWatcher watcher(dir.Path());
                (void)!::write(ready[1], "r", 1);
                const std::string temp = watcher.Wait();
                struct stat st {};
                std::string out = ::lstat(temp.c_str(), &st) == 0 ? std::to_string(st.st_mode & 07777) : "gone";
                if (bRoot)
                    out += ", read: " + OpenResult(temp, O_RDONLY) + ", write: " + OpenResult(temp, O_WRONLY);
                (void)!::write(report[1], out.data(), out.size());
                ::_exit(0);
            }
            ::close(report[1]);
            ::close(ready[1]);
            char c;
            ASSERT_EQ(::read(ready[0], &c, 1), 1);
            const mode_t old = ::umask(mask);
            std::string seen;
            AfxReplaceFile(path.string(), [&](CArchive& ar) {
                ar.Write("new bytes", 9);
                ar.Flush();
                char buffer[256];
                for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
                    seen.append(buffer, static_cast<std::size_t>(n));
            });
            ::umask(old);
            int status = 0;
            ::waitpid(pid, &status, 0);
            ::close(report[0]);
            ::close(ready[0]);
            EXPECT_EQ(seen, std::to_string(0600) + (bRoot ? ", read: Permission denied, write: Permission denied" : ""));
            EXPECT_EQ(ReadFile(path), "new bytes");
            EXPECT_EQ(ModeOf(path), target >= 0 ? mode_t(target) : (0666 & ~mask));
        }
    }
}

// Names taken beforehand, by a file or by a link to a bystander's file: the
// save tries another name, and touches neither.
TEST(SaveSecurity, ATakenTemporaryNameIsNeverOpened)
{
    TempDir dir;
    const fs::path path = dir / "t.lumo";
    const fs::path bystander = dir / "bystander";
    const fs::path taken = dir / ".t.lumo.AAAAAA.tmp";
    WriteFile(bystander, "bystander's bytes");
    for (const bool bLink : {false, true}) {
        SCOPED_TRACE(bLink ? "a link" : "a file");
        WriteFile(path, "old");
        fs::remove(taken);
        if (bLink)
            fs::create_symlink(bystander, taken);
        else
            WriteFile(taken, "squatter's bytes");
        g_nFixedNames = 3;
        g_nNamesAsked = 0;
        Replace(path, "new bytes");
        EXPECT_EQ(g_nFixedNames, 0);
        EXPECT_GE(g_nNamesAsked, 4) << "the name was not chosen again";
        EXPECT_EQ(ReadFile(path), "new bytes");
        EXPECT_EQ(ReadFile(bystander), "bystander's bytes");
        EXPECT_EQ(fs::is_symlink(taken), bLink);
        if (!bLink) {
            EXPECT_EQ(ReadFile(taken), "squatter's bytes");
        }
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(dir.Path()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{".t.lumo.AAAAAA.tmp", "bystander", "t.lumo"}));
    }
    // Every name taken: the save is refused, and the target stays.
    g_nFixedNames = 1000;
    EXPECT_THROW(Replace(path, "never"), CFileException);
    g_nFixedNames = 0;
    EXPECT_EQ(ReadFile(path), "new bytes");
}

// Links at the name saved to: followed to the file they lead to, even when
// it does not exist yet; refused when they loop, or when another user could
// have planted them in a shared folder.
TEST(SaveSecurity, LinksLeadToTheFileTheyNameOrAreRefused)
{
    const bool bRoot = ::geteuid() == 0;
    struct Case {
        const char* what;
        bool bNeedsRoot;
        void (*setUp)(const fs::path& dir);
        const char* written;  // the file that gets the new bytes; null: refused
        const char* refusal;
    };
    const Case kCases[] = {
        {"a chain of links", false,
         [](const fs::path& d) {
             WriteFile(d / "real.lumo", "old");
             fs::permissions(d / "real.lumo", fs::perms(0640));
             fs::create_symlink("real.lumo", d / "b");
             fs::create_symlink(d / "b", d / "out.lumo");
         },
         "real.lumo", nullptr},
        {"a dangling link", false, [](const fs::path& d) { fs::create_symlink("new.lumo", d / "out.lumo"); },
         "new.lumo", nullptr},
        {"a link into a missing folder", false,
         [](const fs::path& d) { fs::create_symlink("gone/new.lumo", d / "out.lumo"); }, nullptr,
         "the file does not exist"},
        {"a loop", false,
         [](const fs::path& d) {
             fs::create_symlink("b", d / "out.lumo");
             fs::create_symlink("out.lumo", d / "b");
         },
         nullptr, "it is a symbolic link that leads round in a loop (too many levels of symbolic links)"},
        {"another user's link in a sticky shared folder", true,
         [](const fs::path& d) {
             fs::permissions(d, fs::perms(01777));
             WriteFile(d / "victim", "old");
             fs::create_symlink(d / "victim", d / "out.lumo");
             ASSERT_EQ(::lchown((d / "out.lumo").c_str(), kOther, kOther), 0);
         },
         nullptr,
         "it is a symbolic link owned by another user in a folder that everyone may write to; it is not "
         "followed, so that no one else can choose which file is written"},
        {"another user's dangling link in a sticky shared folder", true,
         [](const fs::path& d) {
             fs::permissions(d, fs::perms(01777));
             fs::create_symlink(d / "victim", d / "out.lumo");
             ASSERT_EQ(::lchown((d / "out.lumo").c_str(), kOther, kOther), 0);
         },
         nullptr, "it is a symbolic link owned by another user"},
        {"our own link in a sticky shared folder", false,
         [](const fs::path& d) {
             fs::permissions(d, fs::perms(01777));
             fs::create_symlink("mine.lumo", d / "out.lumo");
         },
         "mine.lumo", nullptr},
        {"the folder owner's link in its sticky shared folder", true,
         [](const fs::path& d) {
             fs::permissions(d, fs::perms(01777));
             ASSERT_EQ(::chown(d.c_str(), kOther, kOther), 0);
             fs::create_symlink("theirs.lumo", d / "out.lumo");
             ASSERT_EQ(::lchown((d / "out.lumo").c_str(), kOther, kOther), 0);
         },
         "theirs.lumo", nullptr},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        if (c.bNeedsRoot && !bRoot)
            continue;
        SharedDir dir;
        c.setUp(dir.Path());
        const std::vector<std::string> before = dir.Names();
        std::string refusal;
        try {
            Replace(dir / "out.lumo", "new bytes");
        } catch (const CFileException& e) {
            refusal = e.GetErrorMessage();
            EXPECT_EQ(e.m_strFileName, dir / "out.lumo");
        }
        if (c.written) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(ReadFile(dir / c.written), "new bytes");
            EXPECT_TRUE(fs::is_symlink(dir / "out.lumo"));
            if (std::string(c.written) == "real.lumo") {
                EXPECT_EQ(ModeOf(dir / "real.lumo"), 0640u);
            }
        } else {
            EXPECT_TRUE(refusal.starts_with(c.refusal)) << refusal;
            EXPECT_EQ(dir.Names(), before);
            if (fs::exists(dir / "victim")) {
                EXPECT_EQ(ReadFile(dir / "victim"), "old");
            }
        }
    }
}

// A second user may replace root's file in a folder it can write to, but
// cannot give the new file to root: the save says so. Root saving that
// user's file gives it back to them.
TEST(SaveSecurity, AnOwnerThatCannotBeKeptIsToldOfAndOneThatCanIsKept)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as a second user";
    SharedDir dir;
    fs::permissions(dir.Path(), fs::perms(0777));
    const fs::path path = dir / "shared.lumo";
    WriteFile(path, EntryFileBytes({{"STR_A", "Alpha", ""}}));
    fs::permissions(path, fs::perms(0666));
    const std::string expected =
        "it now belongs to user nobody and group nogroup (it belonged to user root and group root): a save writes "
        "a new file, and only the administrator may give a file to another user";
    EXPECT_EQ(RunInChild(
                  [&] {
                      CString note;
                      Replace(path, EntryFileBytes({{"STR_B", "Beta", ""}}), &note);
                      return note;
                  },
                  true),
              expected);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kOther);
    EXPECT_EQ(st.st_mode & 07777, 0666u);

    // The editor says it after the save.
    ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
    EXPECT_EQ(RunInChild(
                  [&] {
                      App app({path.string()});
                      if (!app.Start())
                          return std::string("did not start");
                      app.doc().SetModifiedFlag(true);
                      app.Command(ID_FILE_SAVE);
                      return Describe(app);
                  },
                  true),
              Describe("shared.lumo - lumoEdit", false, {"\"" + path.string() + "\" was saved, but " + expected + "."},
                       {{"STR_B", "Beta", ""}}));

    // Root gives the user's file back to them, silently.
    CString note = "unset";
    Replace(path, "root's bytes", &note);
    EXPECT_EQ(note, "");
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kOther);
    EXPECT_EQ(st.st_gid, kOther);
}

// A signal in the middle of a save removes the temporary file and ends the
// program as the signal would; a signal ignored from the start stays ignored.
TEST(SaveSecurity, ASignalDuringASaveLeavesNoTemporaryFile)
{
    for (const int nSignal : {SIGINT, SIGTERM, SIGHUP, 0}) {
        SCOPED_TRACE(nSignal ? strsignal(nSignal) : "SIGHUP, ignored");
        TempDir dir;
        const fs::path path = dir / "t.lumo";
        WriteFile(path, "old");
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (nSignal == 0)
                ::signal(SIGHUP, SIG_IGN);
            AfxRemoveTempFileOnSignals();
            AfxReplaceFile(path.string(), [&](CArchive& ar) {
                ar.Write("new", 3);
                ar.Flush();
                ::raise(nSignal ? nSignal : SIGHUP);
            });
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(dir.Path()))
            names.push_back(item.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"t.lumo"});
        if (nSignal) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == nSignal) << status;
            EXPECT_EQ(ReadFile(path), "old");
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_EQ(ReadFile(path), "new");
        }
    }
}

// The built programs, ended by a signal the moment their temporary file
// appears: the file keeps its bytes and nothing is left beside it.
TEST(SaveSecurity, TheProgramsRemoveTheirTemporaryFileWhenKilled)
{
    TempDir dir;
    // Large enough that the save is still writing when the signal comes.
    const std::string big(8 << 20, 'x');
    const std::string source = EntryFileBytes({{"A", big, ""}, {"B", big, ""}, {"C", big, big}});
    WriteFile(dir / "big.lumo", source);
    WriteFile(dir / "out.json", "old");
    struct Run {
        const char* what;
        std::vector<std::string> argv;
        const char* output;
        int nSignal;
    };
    std::vector<Run> runs{{"lumo export", {LUMO_CLI_BINARY, "export", "big.lumo", "-o", "out.json"}, "out.json", SIGTERM}};
#ifdef LUMO_EDITOR_BINARY
    runs.push_back({"lumoEdit save",
                    {LUMO_EDITOR_BINARY, "-platform", "offscreen", "--run-command", "save", "--run-command", "exit",
                     "big.lumo"},
                    "big.lumo",
                    SIGINT});
#endif
    for (const Run& run : runs) {
        SCOPED_TRACE(run.what);
        const std::string before = ReadFile(dir / run.output);
        CTempWatcher watcher(dir.Path());
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::chdir(dir.Path().c_str()) != 0)
                ::_exit(127);
            std::vector<char*> argv;
            for (const std::string& a : run.argv)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        const std::string temp = watcher.Wait();
        EXPECT_FALSE(temp.empty());
        ::kill(pid, run.nSignal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == run.nSignal) << "status " << status;
        EXPECT_FALSE(fs::exists(temp)) << temp;
        EXPECT_EQ(ReadFile(dir / run.output), before);
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(dir.Path()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"big.lumo", "out.json"}));
    }
}

// A count that claims far more entries than the bytes can hold reserves no
// more than they could: the file is refused as damaged, not with a lack of memory.
TEST(SaveSecurity, ADamagedCountReservesOnlyWhatTheBytesCanHold)
{
    std::string bytes = Le32(0xFFFFFFFFu);
    while (bytes.size() < 1500)
        bytes += Record("entry");
    CArchive ar{std::string_view(bytes)};
    std::vector<lumo_cli::Entry> entries;
    EXPECT_THROW(lumo_cli::ReadEntries(ar, &entries), CEntryFileException);
    EXPECT_LE(entries.capacity(), (bytes.size() - 4) / 12);
}

}  // namespace
