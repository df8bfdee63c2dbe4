// The built program itself: arguments, streams and exit status as a shell sees them.
#include "CliTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/wait.h>

using namespace lumo_cli_test;

namespace {

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int Shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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

}  // namespace
