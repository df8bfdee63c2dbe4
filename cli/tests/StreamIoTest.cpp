// SPDX-License-Identifier: MIT
// Standard input, pipes and devices where a command names a file: read
// whole and parsed from memory, written straight through, never replaced.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"
#include "cli/MappedInput.h"
#include "cli/StreamIo.h"

#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumo_cli_test;

namespace {

// A pipe whose ends close with the test.
class CPipe {
public:
    CPipe() { EXPECT_EQ(::pipe(m_fds), 0); }
    ~CPipe()
    {
        CloseWriteEnd();
        if (m_fds[0] >= 0)
            ::close(m_fds[0]);
    }
    std::string ReadName() const { return "/dev/fd/" + std::to_string(m_fds[0]); }
    std::string WriteName() const { return "/proc/self/fd/" + std::to_string(m_fds[1]); }
    // Small amounts only: the pipe's buffer must hold them.
    void Send(const std::string& bytes)
    {
        ASSERT_EQ(::write(m_fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        CloseWriteEnd();
    }
    std::string Receive()
    {
        CloseWriteEnd();
        std::string bytes;
        char buffer[4096];
        while (const ssize_t n = ::read(m_fds[0], buffer, sizeof buffer)) {
            if (n < 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }
    void CloseWriteEnd()
    {
        if (m_fds[1] >= 0)
            ::close(m_fds[1]);
        m_fds[1] = -1;
    }

private:
    int m_fds[2] = {-1, -1};
};

TEST(StreamIo, EntriesFromAPipeReadAsFromAFile)
{
    const std::vector<Entry> entries = RandomEntries(3, 40);
    CPipe pipe;
    pipe.Send(EntryFileBytes(entries));
    ASSERT_TRUE(lumo_cli::IsStream(pipe.ReadName()));
    std::vector<Entry> read;
    EXPECT_EQ(lumo_cli::ReadEntryInput(pipe.ReadName(), &read), 40u);
    EXPECT_TRUE(read == entries);
    // Read once: a second read would find it empty and pass for an empty file.
    EXPECT_THROW(lumo_cli::ReadEntryInput(pipe.ReadName(), nullptr), std::invalid_argument);
}

TEST(StreamIo, DamageInAPipeIsReportedWhereItIsInAFile)
{
    TempDir dir;
    const std::string damaged = EntryFileBytes({{"A", "B", ""}}).substr(0, 12);
    WriteFile(dir / "damaged.lumo", damaged);
    std::string fromFile, fromPipe;
    try {
        lumo_cli::ReadEntryInput(dir / "damaged.lumo", nullptr);
    } catch (const CEntryFileException& e) {
        fromFile = lumo_cli::DescribeDamage(e);
    }
    CPipe pipe;
    pipe.Send(damaged);
    try {
        lumo_cli::ReadEntryInput(pipe.ReadName(), nullptr);
    } catch (const CEntryFileException& e) {
        fromPipe = lumo_cli::DescribeDamage(e);
    }
    EXPECT_FALSE(fromFile.empty());
    EXPECT_EQ(fromPipe, fromFile);
}

TEST(StreamIo, AnEndlessStreamIsCutOffWithAMessage)
{
    {
        CPipe pipe;
        pipe.Send(std::string(64, 'x'));
        EXPECT_THROW(lumo_cli::ReadStream(pipe.ReadName(), 63), std::length_error);
    }
    {
        CPipe pipe;
        pipe.Send(std::string(64, 'x'));
        EXPECT_EQ(lumo_cli::ReadStream(pipe.ReadName(), 64), std::string(64, 'x'));
    }
    // /dev/zero never ends: the limit is what stops it.
    EXPECT_THROW(lumo_cli::ReadStream("/dev/zero", 1 << 20), std::length_error);
}

TEST(StreamIo, OutputToAPipeOrFifoIsWrittenStraightThrough)
{
    CPipe pipe;
    ASSERT_TRUE(lumo_cli::IsStream(pipe.WriteName()));
    lumo_cli::WriteEntryOutput(pipe.WriteName(), {{"A", "B", ""}});
    EXPECT_EQ(pipe.Receive(), EntryFileBytes({{"A", "B", ""}}));

    // A named pipe in a folder: nothing is created beside it.
    TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        char buffer[256];
        while (const ssize_t n = ::read(fd, buffer, sizeof buffer)) {
            if (n < 0)
                break;
            received.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
    });
    lumo_cli::WriteOutput(fifo, "name,data,extra\r\n");
    reader.join();
    EXPECT_EQ(received, "name,data,extra\r\n");
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"fifo"});
}

TEST(StreamIo, RegularFilesAreStillReplacedAndFoldersRefused)
{
    TempDir dir;
    EXPECT_FALSE(lumo_cli::IsStream(dir / "new.csv"));
    EXPECT_FALSE(lumo_cli::IsStream(dir.Path().string()));
    WriteFile(dir / "out.csv", "old");
    ::chmod((dir / "out.csv").c_str(), 0640);
    lumo_cli::WriteOutput(dir / "out.csv", "new");
    EXPECT_EQ(ReadFile(dir / "out.csv"), "new");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // replaced, keeping its permissions
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"out.csv"});
    EXPECT_THROW(lumo_cli::ReadTextInput(dir.Path().string()), CFileException);
    EXPECT_THROW(lumo_cli::ReadStream("/dev/fd/999"), CFileException);
}


TEST(StreamIoBinary, DashReadsStandardInputForEveryCommand)
{
    TempDir dir;
    const std::string lumo = Quoted(LUMO_CLI_BINARY);
    const std::string original = EntryFileBytes(RandomEntries(5, 60));
    WriteFile(dir / "in.lumo", original);
    const std::string in = Quoted(dir / "in.lumo");

    EXPECT_EQ(Shell(lumo + " check - < " + in + " > " + Quoted(dir / "check.txt")), 0);
    EXPECT_EQ(ReadFile(dir / "check.txt"), "-: ok, 60 entries\n");
    EXPECT_EQ(Shell(lumo + " check - - < " + in + " > " + Quoted(dir / "check.txt") + " 2> " + Quoted(dir / "err.txt")),
              2);
    EXPECT_EQ(ReadFile(dir / "err.txt"), "lumo: -: standard input was read already; it can be named only once\n");
    EXPECT_EQ(Shell("cat " + in + " | " + lumo + " export - --format csv > " + Quoted(dir / "t.csv")), 0);
    EXPECT_EQ(Shell("cat " + Quoted(dir / "t.csv") + " | " + lumo + " import --format csv - -o " +
                    Quoted(dir / "back.lumo")),
              0);
    EXPECT_TRUE(ReadFile(dir / "back.lumo") == original);

    // The format of standard input cannot come from a name.
    EXPECT_EQ(Shell(lumo + " import - -o " + Quoted(dir / "x.lumo") + " < " + Quoted(dir / "t.csv") + " 2> " +
                    Quoted(dir / "err.txt")),
              2);
    EXPECT_NE(ReadFile(dir / "err.txt").find("--format"), std::string::npos);
    // A damaged entry file on standard input is refused like a damaged file.
    WriteFile(dir / "bad.lumo", original.substr(0, original.size() - 3));
    EXPECT_EQ(Shell(lumo + " export - < " + Quoted(dir / "bad.lumo") + " > /dev/null 2> " + Quoted(dir / "err.txt")),
              1);
    EXPECT_EQ(ReadFile(dir / "err.txt").rfind("lumo: -: damaged: ", 0), 0u) << ReadFile(dir / "err.txt");
}

TEST(StreamIoBinary, DeviceNamesAreWrittenThroughNotReplaced)
{
    TempDir dir;
    const std::string lumo = Quoted(LUMO_CLI_BINARY);
    const std::string original = EntryFileBytes(RandomEntries(8, 30));
    WriteFile(dir / "in.lumo", original);
    const std::string in = Quoted(dir / "in.lumo");

    // Appending through /dev/stdout keeps what the file held: the shell's
    // descriptor is written, the file is not replaced.
    WriteFile(dir / "log.txt", "before\n");
    EXPECT_EQ(Shell(lumo + " export " + in + " --format csv -o /dev/stdout >> " + Quoted(dir / "log.txt")), 0);
    const std::string log = ReadFile(dir / "log.txt");
    EXPECT_EQ(log.rfind("before\nname,data,extra\r\n", 0), 0u);
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"in.lumo", "log.txt"}));

    // An entry file through a pipe and back, byte for byte.
    EXPECT_EQ(Shell(lumo + " export " + in + " | " + lumo + " import --format json /dev/stdin -o /dev/stdout | " +
                    lumo + " check /dev/stdin > " + Quoted(dir / "check.txt")),
              0);
    EXPECT_EQ(ReadFile(dir / "check.txt"), "/dev/stdin: ok, 30 entries\n");
    EXPECT_EQ(Shell(lumo + " export " + in + " | " + lumo + " import --format json - -o /dev/stdout > " +
                    Quoted(dir / "back.lumo")),
              0);
    EXPECT_TRUE(ReadFile(dir / "back.lumo") == original);

    // A translation through a pipe into an entry file on standard output:
    // the import's summary must not end up inside the entry file.
    const std::string menu = EntryFileBytes({{"STR_START", "Start", ""}, {"STR_QUIT", "Quit", "On the title"}});
    WriteFile(dir / "menu.lumo", menu);
    const std::string templ = Quoted(dir / "menu.lumo");
    EXPECT_EQ(Shell(lumo + " export " + templ + " --format pot | " + lumo + " import --format po - --template " + templ +
                    " -o /dev/stdout > " + Quoted(dir / "translated.lumo") + " 2> " + Quoted(dir / "err.txt")),
              0);
    EXPECT_TRUE(ReadFile(dir / "translated.lumo") == menu) << ReadFile(dir / "err.txt");
    EXPECT_NE(ReadFile(dir / "err.txt").find(" untranslated messages\n"), std::string::npos);
}

// A translator's file is read mapped. Another program cutting it short
// meanwhile must not end lumo with SIGBUS: the rest reads as 0 bytes and the
// read is refused as a file changed while read; other bus errors stay fatal.
TEST(MappedInput, AFileCutShortWhileReadIsRefusedNotFatal)
{
    TempDir dir;
    const std::string path = dir / "fr.xlf";
    WriteFile(path, std::string(1 << 20, 'a'));
    {
        lumo_cli::CMappedInput whole(path);
        EXPECT_EQ(whole.Bytes().size(), 1u << 20);
        EXPECT_EQ(whole.Bytes().data()[1 << 20], '\0');  // the 0 bytes after it
        whole.Release(1 << 19);
        EXPECT_EQ(whole.Bytes()[1000], 'a');  // given back, read again from the file
        EXPECT_NO_THROW(whole.ThrowIfCut());
    }
    lumo_cli::CMappedInput input(path);
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    const volatile char* bytes = input.Bytes().data();
    EXPECT_EQ(bytes[50], 'a');
    EXPECT_EQ(bytes[600000], '\0');
    EXPECT_EQ(bytes[(1 << 20) - 1], '\0');
    try {
        input.ThrowIfCut();
        ADD_FAILURE() << "the cut was not noticed";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::changedWhileRead);
    }
    // A mapping that is not lumo's input faults as it would without lumo.
    EXPECT_EXIT(
        {
            WriteFile(dir / "other", std::string(1 << 16, 'b'));
            const int fd = ::open((dir / "other").c_str(), O_RDONLY);
            auto* p = static_cast<const volatile char*>(::mmap(nullptr, 1 << 16, PROT_READ, MAP_PRIVATE, fd, 0));
            (void)::truncate((dir / "other").c_str(), 0);
            std::_Exit(p[1 << 15]);
        },
        // SIGBUS itself, or the abort of a sanitizer that reports it first.
        [](int status) { return WIFSIGNALED(status) && (WTERMSIG(status) == SIGBUS || WTERMSIG(status) == SIGABRT); },
        "");
}

}  // namespace
