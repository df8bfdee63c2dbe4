// SPDX-License-Identifier: MIT
// The one way out, as a shell uses it: every format to every kind of output,
// outputs that are an input, and what from input reaches the terminal.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include "cli/ParallelChunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace lumo_cli_test;

namespace {

const std::string kLumo = Quoted(LUMO_CLI_BINARY);

// The header lines that hold the time of the export.
std::string WithoutDates(const std::string& text)
{
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind("\"POT-Creation-Date", 0) != 0 && line.rfind("\"PO-Revision-Date", 0) != 0)
            out += line + '\n';
    return out;
}

TEST(Outputs, EveryFormatAppendsToEveryKindOfStreamAndReplacesAFile)
{
    TempDir dir;
    const std::string source = dir / "game.lumo";
    const std::string target = dir / "fr.lumo";
    WriteFile(source, EntryFileBytes({{"A", "One", "Two"}, {"B", "Three", ""}}));
    WriteFile(target, EntryFileBytes({{"A", "Un", "Deux"}, {"B", "Trois", ""}}));
    const std::string kBefore = "what was there before\n";
    for (const std::string format : {"json", "csv", "pot", "po", "xliff"}) {
        const bool bTranslation = format == "po" || format == "xliff";
        const std::string input = bTranslation ? Quoted(target) + " --source " + Quoted(source) : Quoted(source);
        const std::string lumo = kLumo + " export " + input + " --format " + format;
        const std::string file = dir / ("out." + format);
        ASSERT_EQ(Shell(lumo + " -o " + Quoted(file)), 0) << format;
        const std::string expected = WithoutDates(ReadFile(file));
        ASSERT_GT(expected.size(), 20u);

        const std::string log = dir / "log";
        const std::string fifo = dir / "fifo";
        const std::string ways[] = {
            lumo + " -o - >> " + Quoted(log),
            lumo + " -o /dev/stdout >> " + Quoted(log),
            lumo + " >> " + Quoted(log),
            lumo + " -o /dev/fd/7 7>> " + Quoted(log),
            "{ cat " + Quoted(log) + "; " + lumo + " -o /dev/stdout; } | cat > " + Quoted(log + ".new") + " && mv " +
                Quoted(log + ".new") + " " + Quoted(log),
            "rm -f " + Quoted(fifo) + " && mkfifo " + Quoted(fifo) + " && { cat " + Quoted(fifo) + " >> " +
                Quoted(log) + " & " + lumo + " -o " + Quoted(fifo) + "; status=$?; wait; exit $status; }",
        };
        for (const std::string& way : ways) {
            WriteFile(log, kBefore);
            ASSERT_EQ(Shell(way), 0) << way;
            const std::string got = ReadFile(log);
            ASSERT_EQ(got.rfind(kBefore, 0), 0u) << way << "\n" << got;
            EXPECT_EQ(WithoutDates(got.substr(kBefore.size())), expected) << way;
        }
    }
}

TEST(Outputs, AnOutputDescriptorThatIsAnInputIsRefusedAndWritesNothing)
{
    TempDir dir;
    const std::string entries = EntryFileBytes({{"A", "One", ""}});
    const std::string lumoFile = dir / "a.lumo";
    const std::string json = dir / "a.json";
    const std::string templ = dir / "t.lumo";
    const std::string po = dir / "fr.po";
    WriteFile(templ, entries);
    ASSERT_EQ(Shell(kLumo + " export " + Quoted(templ) + " --format pot -o " + Quoted(po)), 0);
    const std::string poBytes = ReadFile(po);
    struct CCase {
        std::string line, file, message;
    } cases[] = {
        {"export " + Quoted(lumoFile) + " >> " + Quoted(lumoFile), lumoFile,
         "lumo export: standard output is the entry file '" + lumoFile + "' itself"},
        {"export " + Quoted(lumoFile) + " -o - 1<> " + Quoted(lumoFile), lumoFile, "standard output is the entry file"},
        {"export " + Quoted(lumoFile) + " --format pot -o /dev/stdout >> " + Quoted(lumoFile), lumoFile,
         "the output '/dev/stdout' is the source file"},
        {"import " + Quoted(json) + " -o /dev/fd/5 5<> " + Quoted(json), json, "the output '/dev/fd/5' is the input"},
        {"import " + Quoted(po) + " --template " + Quoted(templ) + " -o /dev/fd/5 5<> " + Quoted(templ), templ,
         "is the template"},
        {"diff " + Quoted(lumoFile) + " " + Quoted(templ) + " >> " + Quoted(templ), templ, "is the new entry file"},
        {"check " + Quoted(lumoFile) + " >> " + Quoted(lumoFile), lumoFile, "is the entry file"},
        // The target of a translation is an input too, not only its source.
        {"export " + Quoted(lumoFile) + " --source " + Quoted(templ) + " --format po -o " + Quoted(lumoFile), lumoFile,
         "the output '" + lumoFile + "' is the entry file itself"},
    };
    for (const CCase& c : cases) {
        WriteFile(lumoFile, entries);
        WriteFile(templ, entries);
        WriteFile(json, "[{\"name\": \"A\", \"data\": \"B\", \"extra\": \"\"}]\n");
        const std::string before = ReadFile(c.file);
        EXPECT_EQ(Shell(kLumo + " " + c.line + " 2> " + Quoted(dir / "err")), 2) << c.line;
        EXPECT_EQ(ReadFile(c.file), before) << c.line;
        EXPECT_NE(ReadFile(dir / "err").find(c.message), std::string::npos) << ReadFile(dir / "err");
    }
    EXPECT_EQ(ReadFile(po), poBytes);
}

// Exports are made a few thousand messages at a time on every core. On a
// file of many such stretches, with messages that recur across them and
// texts long enough for PO to break, the program writes what one thread
// writes, and what more threads than stretches in flight write. A text that
// a format cannot carry in a late stretch stops the export before its first
// byte, with the same message however many threads there are; an output
// that fails as it is written is reported.
TEST(Outputs, ExportsInStretchesWriteWhatOneThreadWritesAndRefuseBeforeTheFirstByte)
{
    TempDir dir;
    const std::size_t nEntries = 3 * lumo_cli::kChunkItems + 1234;
    std::vector<Entry> source = RandomEntries(20, nEntries);
    for (std::size_t i = 0; i < source.size(); ++i) {
        Entry& entry = source[i];
        for (std::string* text : {&entry.name, &entry.data, &entry.extra})
            std::replace(text->begin(), text->end(), '\x04', '4');  // PO cannot carry it
        for (char& c : entry.name)
            if (static_cast<unsigned char>(c) < 0x20)
                c = '_';  // nor can an XML attribute
        if (i % 7 == 0)
            entry.data += " a text long enough to be broken into lines where the rules allow, entry " +
                          std::to_string(i) + std::string(i % 90, 'w') + " and on\nto its next line";
        if (i % 5 == 0 && i >= 5000)
            entry = source[i - 5000 + i % 3];  // the same message again, stretches apart
    }
    std::vector<Entry> target = source;
    for (Entry& entry : target)
        std::reverse(entry.data.begin(), entry.data.end());
    std::vector<Entry> bad = source;
    const std::size_t nLate = nEntries - 500;
    bad[nLate] = {"\x01late", "late data " + std::to_string(nLate), "late \x04 extra"};
    WriteFile(dir / "source.lumo", EntryFileBytes(source));
    WriteFile(dir / "target.lumo", EntryFileBytes(target));
    WriteFile(dir / "bad.lumo", EntryFileBytes(bad));
    const std::string entryNumber = "entry " + std::to_string(nLate + 1) + " ";

    struct CCase {
        std::string format;
        std::string refusal;  // what a text of bad.lumo is refused for, if it is
    };
    const CCase cases[] = {
        {"json", ""},
        {"csv", ""},
        {"pot", "the extra text of " + entryNumber + "holds the control character U+0004"},
        {"po", "the extra text of " + entryNumber + "holds the control character U+0004"},
        {"xliff", "the name of " + entryNumber + "holds the control character U+0001"},
    };
    for (const CCase& c : cases) {
        const bool bTranslation = c.format == "po" || c.format == "xliff";
        const auto args = [&](const std::string& file, const std::string& output) {
            std::vector<std::string> line = {"export", bTranslation ? dir / "target.lumo" : file};
            if (bTranslation)
                line.insert(line.end(), {"--source", file});
            line.insert(line.end(), {"--format", c.format, "-o", output});
            return line;
        };
        const auto shellLine = [&](const std::string& file, const std::string& output) {
            std::string line = kLumo;
            for (const std::string& arg : args(file, output))
                line += " " + Quoted(arg);
            return line;
        };

        const std::string out = dir / ("out." + c.format);
        ASSERT_EQ(Shell(shellLine(dir / "source.lumo", out)), 0) << c.format;
        const std::string written = WithoutDates(ReadFile(out));
        ASSERT_GT(written.size(), nEntries * 20) << c.format;
        for (const std::size_t nThreads : {1, 5}) {
            const lumo_cli::CChunkThreads threads(nThreads);
            const CRunResult r = Lumo(args(dir / "source.lumo", "-"));
            ASSERT_EQ(r.status, 0) << c.format << ", " << nThreads << " threads: " << r.err;
            EXPECT_TRUE(WithoutDates(r.out) == written) << c.format << ", " << nThreads << " threads";
        }
        std::filesystem::remove(out);

        const std::string err = dir / "err";
        EXPECT_EQ(Shell(shellLine(dir / "source.lumo", "/dev/full") + " 2> " + Quoted(err)), 2) << c.format;
        EXPECT_NE(ReadFile(err).find("/dev/full"), std::string::npos) << c.format << ": " << ReadFile(err);
        if (c.refusal.empty())
            continue;
        const std::string stdoutFile = dir / "stdout";
        for (const std::string& output : {out, std::string("-")}) {
            EXPECT_EQ(Shell(shellLine(dir / "bad.lumo", output) + " > " + Quoted(stdoutFile) + " 2> " + Quoted(err)), 1)
                << c.format << " to " << output;
            EXPECT_EQ(ReadFile(stdoutFile), "") << c.format << " to " << output;
            EXPECT_FALSE(std::filesystem::exists(out)) << c.format << " to " << output;
            const std::string message = ReadFile(err);
            EXPECT_NE(message.find(c.refusal), std::string::npos) << c.format << ": " << message;
            EXPECT_NE(message.find("nothing was exported"), std::string::npos) << c.format << ": " << message;
            const lumo_cli::CChunkThreads oneThread(1);
            EXPECT_EQ(Lumo(args(dir / "bad.lumo", output)).err, message) << c.format << " to " << output;
        }
        EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"bad.lumo", "err", "source.lumo", "stdout", "target.lumo"}))
            << c.format;
        std::filesystem::remove(stdoutFile);
    }
}

TEST(Outputs, ControlCharactersFromInputAreQuotedInMessages)
{
    TempDir dir;
    // A name that would forge a second line of check's report, and one that
    // would drive the terminal.
    const std::string forged = dir / "x.lumo: ok, 5 entries\ny.lumo";
    WriteFile(forged, Le32(1));
    CRunResult r = Lumo({"check", forged});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_NE(r.out.find("\\n"), std::string::npos) << r.out;
    r = Lumo({"check", dir / "\x1b]0;owned\x07.lumo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\\u001B]0;owned\\u0007.lumo"), std::string::npos) << r.err;

    WriteFile(dir / "h.csv", "name,da\x1b[2Jta,extra\r\n");
    r = Lumo({"import", dir / "h.csv", "-o", dir / "out.lumo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\\u001B[2J"), std::string::npos) << r.err;
    r = Lumo({"frob\x1b[2J"});
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
}

}  // namespace
