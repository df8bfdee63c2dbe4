// SPDX-License-Identifier: MIT
// Every export format, written to a file, to standard output and to
// /dev/stdout appended to a file: the same bytes each way, and what the
// appended file held before stays.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include <gtest/gtest.h>

using namespace lumo_cli_test;

namespace {

// The header's dates may change between two runs.
std::string WithoutDates(const std::string& text)
{
    std::string result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        const std::string_view line(text.data() + start, end - start);
        if (line.find("Creation-Date") == std::string_view::npos && line.find("Revision-Date") == std::string_view::npos)
            result += line;
        start = end;
    }
    return result;
}

TEST(ExportOutput, EveryFormatTheSameToAFileAPipeAndAnAppendedDescriptor)
{
    TempDir dir;
    WriteFile(dir / "in.lumo", EntryFileBytes({{"A", "Start", ""}, {"B", std::string(200, 'x') + " y", "z"}}));
    const std::string lumo = Quoted(LUMO_CLI_BINARY);
    for (const std::string format : {"json", "csv", "pot", "po", "xliff"}) {
        const std::string args = " export " + Quoted(dir / "in.lumo") + " --format " + format;
        ASSERT_EQ(Shell(lumo + args + " -o " + Quoted(dir / "file.out")), 0) << format;
        ASSERT_EQ(Shell(lumo + args + " | cat > " + Quoted(dir / "pipe.out")), 0) << format;
        WriteFile(dir / "log.out", "kept\n");
        ASSERT_EQ(Shell(lumo + args + " -o /dev/stdout >> " + Quoted(dir / "log.out")), 0) << format;
        const std::string expected = WithoutDates(ReadFile(dir / "file.out"));
        EXPECT_EQ(WithoutDates(ReadFile(dir / "pipe.out")), expected) << format;
        EXPECT_EQ(WithoutDates(ReadFile(dir / "log.out")), "kept\n" + expected) << format;
    }
}

}  // namespace
