// SPDX-License-Identifier: MIT
// The built program itself: arguments, streams and exit status as a shell sees them.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <sys/wait.h>

using namespace lumo_cli_test;

namespace {

const std::string kLumo = Quoted(LUMO_CLI_BINARY);

TEST(Binary, ExportThroughStdoutAndImportBack)
{
    TempDir dir;
    const std::string original = EntryFileBytes(RandomEntries(11, 200));
    WriteFile(dir / "in.lumo", original);
    ASSERT_EQ(Shell(kLumo + " export --format csv " + Quoted(dir / "in.lumo") + " > " + Quoted(dir / "t.csv")), 0);
    ASSERT_EQ(Shell(kLumo + " import " + Quoted(dir / "t.csv") + " -o " + Quoted(dir / "back.lumo")), 0);
    EXPECT_EQ(ReadFile(dir / "back.lumo"), original);
    ASSERT_EQ(Shell(kLumo + " check " + Quoted(dir / "back.lumo") + " > " + Quoted(dir / "check.txt")), 0);
    EXPECT_EQ(ReadFile(dir / "check.txt"), dir / "back.lumo" + ": ok, 200 entries\n");
}

TEST(Binary, ExitStatusAndMessagesReachTheShell)
{
    TempDir dir;
    WriteFile(dir / "bad.lumo", Le32(1));
    EXPECT_EQ(Shell(kLumo + " check " + Quoted(dir / "bad.lumo") + " > " + Quoted(dir / "out.txt")), 1);
    EXPECT_NE(ReadFile(dir / "out.txt").find("damaged: "), std::string::npos);
    EXPECT_EQ(Shell(kLumo + " check " + Quoted(dir / "missing.lumo") + " 2> " + Quoted(dir / "err.txt")), 2);
    EXPECT_EQ(ReadFile(dir / "err.txt"), "lumo: " + (dir / "missing.lumo") + ": the file does not exist\n");
    EXPECT_EQ(Shell(kLumo + " 2> /dev/null"), 2);
    EXPECT_EQ(Shell(kLumo + " --help > /dev/null"), 0);
    // Output that cannot be written is a failure, not silence.
    EXPECT_EQ(Shell(kLumo + " --help > /dev/full 2> /dev/null"), 2);
    EXPECT_EQ(Shell(kLumo + " check " + Quoted(dir / "bad.lumo") + " > /dev/full 2> /dev/null"), 2);
}

// Under a file size limit the import fails with a message instead of being
// killed by SIGXFSZ: the target stays as it was and no temporary file is left.
TEST(Binary, ImportBeyondTheFileSizeLimitFailsCleanly)
{
    // The program's own start-up must ignore the signal, not an inherited setting.
    const auto previous = std::signal(SIGXFSZ, SIG_DFL);
    ASSERT_NE(previous, SIG_ERR);
    TempDir dir;
    std::string json = "[";
    for (int i = 0; i < 200; ++i)
        json += std::string(i ? "," : "") + "{\"name\": \"STR_" + std::to_string(i) + "\", \"data\": \"" +
                std::string(300, 'x') + "\", \"extra\": \"\"}\n";
    WriteFile(dir / "big.json", json + "]\n");
    const std::string old = EntryFileBytes({{"STR_OLD", "Old", ""}});
    WriteFile(dir / "out.lumo", old);
    for (const std::string target : {"out.lumo", "new.lumo"}) {
        const int status = Shell("ulimit -f 8 && exec timeout 60 " + kLumo + " import " + Quoted(dir / "big.json") +
                                 " -o " + Quoted(dir / target) + " 2> " + Quoted(dir.Path() / "err.txt"));
        const std::string err = ReadFile(dir.Path() / "err.txt");
        std::filesystem::remove(dir.Path() / "err.txt");
        EXPECT_EQ(status, 2) << target << ": " << err;
        EXPECT_NE(err.find(": the file grew larger than allowed (file size limit)\n"), std::string::npos) << err;
        EXPECT_EQ(ReadFile(dir / "out.lumo"), old);
        EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"big.json", "out.lumo"})) << target;
    }
    std::signal(SIGXFSZ, previous);
}

}  // namespace
