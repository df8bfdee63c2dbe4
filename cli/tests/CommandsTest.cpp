// SPDX-License-Identifier: MIT
#include "CliTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lumo_cli_test;

namespace {

class Commands : public ::testing::Test {
protected:
    // Writes an entry file made of these bytes and returns its path.
    std::string Lumo(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir / name;
        WriteFile(path, bytes);
        return path;
    }

    TempDir dir;
};

// What `check` says about a file of these bytes, without the file name.
std::string CheckLine(const TempDir& dir, const std::string& bytes)
{
    const std::string path = dir / "f.lumo";
    WriteFile(path, bytes);
    const CRunResult r = lumo_cli_test::Lumo({"check", path});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(path + ": ", 0), 0u) << r.out;
    return r.out.substr(path.size() + 2);
}

TEST_F(Commands, CheckReportsEachDamageWithEntryAndOffset)
{
    const std::string one = Record("A") + Record("B") + Record("");  // 17 bytes
    EXPECT_EQ(CheckLine(dir, Le32(1) + one), "ok, 1 entries\n");
    EXPECT_EQ(CheckLine(dir, Le32(0)), "ok, 0 entries\n");
    EXPECT_EQ(CheckLine(dir, ""), "ok, 0 entries\n");
    EXPECT_EQ(CheckLine(dir, std::string("\x01\x00", 2)), "damaged: it ends inside the entry count (2 of 4 bytes, at byte offset 0)\n");
    EXPECT_EQ(CheckLine(dir, Le32(3) + one + one),
              "damaged: it ends before entry 3 of 3 (at byte offset 38)\n");
    EXPECT_EQ(CheckLine(dir, Le32(2) + one + Record("A") + "\x02\x00"),
              "damaged: entry 2 of 2 ends inside the length of its data text (at byte offset 27)\n");
    EXPECT_EQ(CheckLine(dir, Le32(1) + Record("A") + Record("B") + Le32(100) + "xyz"),
              "damaged: entry 1 of 1 says its extra text has 100 bytes, but only 3 follow (at byte offset 16)\n");
    // Bytes no entry holds are a warning on the line, in the editor's words.
    EXPECT_EQ(CheckLine(dir, Le32(1) + one + "junk"),
              "ok, 1 entries; 4 bytes after the last entry are not part of any entry\n");
    EXPECT_EQ(CheckLine(dir, Le32(0) + "x"), "ok, 0 entries; 1 byte after the last entry is not part of any entry\n");
    EXPECT_EQ(CheckLine(dir, Le32(1) + Record("A") + Le32(3) + std::string("B\0C", 3) + Record("")),
              "ok, 1 entries; the data text of entry 1 hides 1 byte after its first 0x00 byte (byte offset 10)\n");
}

TEST_F(Commands, CheckStrictCountsBytesNoEntryHoldsAsAFault)
{
    const std::string padded = Lumo("padded.lumo", EntryFileBytes({{"a", "b", ""}}) + std::string(3, '\0'));
    const std::string good = Lumo("good.lumo", EntryFileBytes({{"a", "b", ""}}));
    const std::string line = padded + ": ok, 1 entries; 3 bytes after the last entry are not part of any entry\n";

    CRunResult r = lumo_cli_test::Lumo({"check", padded});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, line);
    r = lumo_cli_test::Lumo({"check", "--strict", good, padded});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, good + ": ok, 1 entries\n" + line);
    r = lumo_cli_test::Lumo({"check", good, "--strict"});
    EXPECT_EQ(r.status, 0);
    // After --, it is a file name.
    r = lumo_cli_test::Lumo({"check", "--", "--strict"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--strict"), std::string::npos) << r.err;
}

TEST_F(Commands, CheckStatusIsTheWorstOfAllFiles)
{
    const std::string good = Lumo("good.lumo", EntryFileBytes({{"a", "b", ""}, {"c", "d", "e"}}));
    const std::string bad = Lumo("bad.lumo", Le32(5));
    const std::string missing = dir / "missing.lumo";

    CRunResult r = lumo_cli_test::Lumo({"check", good, good});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, good + ": ok, 2 entries\n" + good + ": ok, 2 entries\n");

    r = lumo_cli_test::Lumo({"check", bad, good});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, bad + ": damaged: it ends before entry 1 of 5 (at byte offset 4)\n" +
                         good + ": ok, 2 entries\n");

    // A file that cannot be read does not stop the others.
    r = lumo_cli_test::Lumo({"check", missing, bad, good});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "lumo: " + missing + ": the file does not exist\n");
    EXPECT_NE(r.out.find(good + ": ok"), std::string::npos);

    r = lumo_cli_test::Lumo({"check", dir.Path().string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("folder"), std::string::npos) << r.err;
}

TEST_F(Commands, ExportWritesJsonOrCsvWhereAsked)
{
    const std::string file = Lumo("in.lumo", EntryFileBytes({{"A", "B", ""}}));
    const std::string json = "[\n  {\"name\": \"A\", \"data\": \"B\", \"extra\": \"\"}\n]\n";
    const std::string csv = "name,data,extra\r\nA,B,\r\n";

    EXPECT_EQ(lumo_cli_test::Lumo({"export", file}).out, json);
    EXPECT_EQ(lumo_cli_test::Lumo({"export", "--format", "csv", file}).out, csv);
    EXPECT_EQ(lumo_cli_test::Lumo({"export", file, "--format=json", "-o", "-"}).out, json);

    // To a file: the format follows its name unless --format says otherwise.
    EXPECT_EQ(lumo_cli_test::Lumo({"export", file, "-o", dir / "out.csv"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out.csv"), csv);
    EXPECT_EQ(lumo_cli_test::Lumo({"export", file, "--output=" + (dir / "out.CSV"), "--format", "json"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out.CSV"), json);
    EXPECT_EQ(lumo_cli_test::Lumo({"export", file, "-o" + (dir / "out.txt")}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out.txt"), json);
}

TEST_F(Commands, ExportRefusesADamagedFileAndWritesNothing)
{
    const std::string file = Lumo("in.lumo", EntryFileBytes({{"A", "B", ""}}).substr(0, 20));
    WriteFile(dir / "out.json", "keep me");
    const CRunResult r = lumo_cli_test::Lumo({"export", file, "-o", dir / "out.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumo: " + file +
                         ": damaged: entry 1 of 1 says its extra text has 1 byte, but only 0 follow (at byte offset 16); "
                         "nothing was exported\n");
    EXPECT_EQ(ReadFile(dir / "out.json"), "keep me");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"in.lumo", "out.json"}));
    EXPECT_EQ(lumo_cli_test::Lumo({"export", file}).out, "");
}

TEST_F(Commands, ExportWarnsWhenTheFileHoldsWhatNoExportCanCarry)
{
    // The reader shows a record's text up to its first 0x00; the bytes after it cannot come back.
    const std::string hidden = Lumo("hidden.lumo", Le32(1) + Record("A") + Le32(4) + std::string("B\0C\0", 4) + Record(""));
    CRunResult r = lumo_cli_test::Lumo({"export", hidden});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"data\": \"B\""), std::string::npos);
    EXPECT_NE(r.err.find("warning: " + hidden + ": the data text of entry 1 hides 2 bytes after its first 0x00 byte "
                                               "(byte offset 10)"),
              std::string::npos)
        << r.err;

    const std::string empty = Lumo("empty.lumo", Le32(2) + Le32(0) + Record("") + Record("") + EntryFileBytes({{"", "", ""}}).substr(4));
    r = lumo_cli_test::Lumo({"export", empty});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("the name of entry 1 has length 0 (byte offset 4)"), std::string::npos) << r.err;

    r = lumo_cli_test::Lumo({"export", Lumo("zero.lumo", "")});
    EXPECT_EQ(r.out, "[]\n");
    EXPECT_NE(r.err.find("the file is empty (0 bytes)"), std::string::npos) << r.err;

    // What the writer makes exports without a word.
    EXPECT_EQ(lumo_cli_test::Lumo({"export", Lumo("ok.lumo", EntryFileBytes(RandomEntries(3, 20)))}).err, "");
}

TEST_F(Commands, RoundTripReproducesTheFileByteForByte)
{
    std::string allBytes;
    for (int b = 1; b < 256; ++b)
        allBytes += static_cast<char>(b);
    std::vector<Entry> entries = {
        {"STR_\xC9T\xC9", "caf\xE9 \x80 \x93quoted\x94, \"with\" commas", ""},
        {"", "", ""},
        {"multi", "line one\r\nline two\nthree\rfour", "\"\""},
        {allBytes, allBytes, allBytes},
        {" spaced ", ",", "\n"},
    };
    for (unsigned seed = 1; seed <= 3; ++seed)
        for (const Entry& entry : RandomEntries(seed, 100))
            entries.push_back(entry);
    const std::string original = EntryFileBytes(entries);
    const std::string file = Lumo("in.lumo", original);

    for (const std::string format : {"json", "csv"}) {
        const std::string text = dir / ("out." + format), back = dir / ("back-" + format + ".lumo");
        ASSERT_EQ(lumo_cli_test::Lumo({"export", file, "-o", text}).status, 0);
        const CRunResult r = lumo_cli_test::Lumo({"import", text, "-o", back});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFile(back), original) << format;
    }
    for (const std::string& bytes : {Le32(0), EntryFileBytes({{"A", "B", ""}})}) {
        const std::string small = Lumo("small.lumo", bytes);
        ASSERT_EQ(lumo_cli_test::Lumo({"export", small, "-o", dir / "small.csv"}).status, 0);
        ASSERT_EQ(lumo_cli_test::Lumo({"import", dir / "small.csv", "-o", dir / "small2.lumo"}).status, 0);
        EXPECT_EQ(ReadFile(dir / "small2.lumo"), bytes);
    }
}

TEST_F(Commands, ImportRefusalWritesNothing)
{
    const std::string target = Lumo("target.lumo", "the old contents");
    WriteFile(dir / "bad.csv", "name,data,extra\r\nok,fine,\r\nbad,\xE2\x82\xAC \xE2\x84\xA2 \xE2\x86\x92,\r\n");
    CRunResult r = lumo_cli_test::Lumo({"import", dir / "bad.csv", "-o", target});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumo: " + (dir / "bad.csv") +
                         ": line 3: the data of entry 2: the character U+2192 (\xE2\x86\x92) has no Windows-1252 "
                         "byte\nlumo: nothing was written to " + target + "\n");
    EXPECT_EQ(ReadFile(target), "the old contents");

    WriteFile(dir / "bad.json", "[{\"name\": \"a\", \"data\": \"b\"}]");
    r = lumo_cli_test::Lumo({"import", dir / "bad.json", "-o", dir / "new.lumo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 1, column 27 (byte 26): entry 1 has no \"extra\""), std::string::npos) << r.err;
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"bad.csv", "bad.json", "target.lumo"}));
}

TEST_F(Commands, ImportFailingToWriteKeepsTheTarget)
{
    WriteFile(dir / "in.json", "[{\"name\": \"a\", \"data\": \"b\", \"extra\": \"\"}]");
    const std::string target = Lumo("target.lumo", "old");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read);
    CRunResult r = lumo_cli_test::Lumo({"import", dir / "in.json", "-o", target});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("read-only"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(target), "old");

    r = lumo_cli_test::Lumo({"import", dir / "in.json", "-o", dir / "no/such/folder.lumo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("lumo: " + (dir / "no/such/folder.lumo") + ": the folder " + (dir / "no/such") +
                              " does not exist\n", 0), 0u) << r.err;
    r = lumo_cli_test::Lumo({"import", dir / "missing.json", "-o", dir / "x.lumo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "lumo: " + (dir / "missing.json") + ": the file does not exist\n");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"in.json", "target.lumo"}));
}

TEST_F(Commands, ImportTakesTheFormatFromTheNameOrTheOption)
{
    WriteFile(dir / "entries.txt", "name,data,extra\nA,B,\n");
    CRunResult r = lumo_cli_test::Lumo({"import", dir / "entries.txt", "-o", dir / "a.lumo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("add --format json or --format csv"), std::string::npos) << r.err;
    r = lumo_cli_test::Lumo({"import", "--format", "csv", dir / "entries.txt", "-o", dir / "a.lumo"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "a.lumo"), EntryFileBytes({{"A", "B", ""}}));
    // --format wins over the name; CSV read as JSON is malformed.
    WriteFile(dir / "entries.JSON", "name,data,extra\n");
    r = lumo_cli_test::Lumo({"import", dir / "entries.JSON", "-o", dir / "b.lumo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("malformed JSON"), std::string::npos) << r.err;
    r = lumo_cli_test::Lumo({"import", dir / "entries.JSON", "--format=csv", "-o", dir / "b.lumo"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "b.lumo"), Le32(0));
}

TEST_F(Commands, AnOutputIsNeverTheInputItself)
{
    const std::string original = EntryFileBytes({{"A", "B", ""}});
    const std::string file = Lumo("a.lumo", original);
    CRunResult r = lumo_cli_test::Lumo({"export", file, "-o", dir.Path().string() + "/./a.lumo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(ReadFile(file), original);
    WriteFile(dir / "a.csv", "name,data,extra\n");
    r = lumo_cli_test::Lumo({"import", dir / "a.csv", "-o", dir / "a.csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(ReadFile(dir / "a.csv"), "name,data,extra\n");
}

TEST(Usage, MistakesAreExplainedWithStatus2)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{}, "lumo: a command is missing"},
        {{"frobnicate"}, "lumo: unknown command 'frobnicate'"},
        {{"--verbose"}, "lumo: unknown option '--verbose'"},
        {{"check"}, "lumo check: name at least one entry file"},
        {{"check", "-o", "x"}, "lumo check: unknown option '-o'"},
        {{"export"}, "lumo export: name the entry file to export"},
        {{"export", "a.lumo", "b.lumo"}, "lumo export: export takes exactly one entry file"},
        {{"export", "a.lumo", "--format", "xml"}, "lumo export: unknown format 'xml' (use json, csv, pot, po or xliff)"},
        {{"export", "a.lumo", "--format"}, "lumo export: --format needs a value"},
        {{"export", "a.lumo", "-o", "x", "-o", "y"}, "lumo export: -o is given more than once"},
        {{"export", "a.lumo", "--output="}, "lumo export: --output needs a non-empty value"},
        {{"import", "a.json"}, "lumo import: name the entry file to write with -o OUT.lumo"},
        {{"import", "a.json", "-o", "-"}, "lumo import: the entry file is binary"},
        {{"help", "nothing"}, "lumo: there is no command 'nothing'"},
    };
    for (const Case& c : cases) {
        const CRunResult r = Lumo(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("--help' for more information"), std::string::npos) << r.err;
    }
}

TEST(Usage, HelpForTheProgramAndEachCommand)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"help"}}) {
        const CRunResult r = Lumo(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: lumo COMMAND", 0), 0u) << r.out;
    }
    for (const std::string command : {"check", "export", "import"}) {
        // Help wins over anything else on the line.
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {command, "--help"}, {command, "x", "--bogus", "-h"}, {"help", command}}) {
            const CRunResult r = Lumo(args);
            EXPECT_EQ(r.status, 0) << command;
            EXPECT_EQ(r.out.rfind("Usage: lumo " + command + " ", 0), 0u) << r.out;
            EXPECT_EQ(r.err, "");
        }
    }
    // After "--", -h is a file name.
    EXPECT_EQ(Lumo({"check", "--", "-h"}).status, 2);
    EXPECT_EQ(Lumo({"--version"}).out.rfind("lumo ", 0), 0u);
}

}  // namespace
