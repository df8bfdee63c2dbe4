// SPDX-License-Identifier: MIT
#include "CliTestUtil.h"
#include "cli/Diff.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <random>

using namespace lumo_cli_test;
using lumo_cli::CEntryDiff;
using lumo_cli::DiffEntries;

namespace {

// The length of a longest strictly increasing subsequence, the slow sure way.
std::size_t SlowLongest(const std::vector<std::uint32_t>& v)
{
    std::vector<std::size_t> best(v.size(), 1);
    std::size_t most = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        for (std::size_t k = 0; k < i; ++k)
            if (v[k] < v[i])
                best[i] = std::max(best[i], best[k] + 1);
        most = std::max(most, best[i]);
    }
    return most;
}

TEST(Diff, LongestIncreasingRunIsLongestAndIncreasing)
{
    using lumo_cli::LongestIncreasingRun;
    EXPECT_TRUE(LongestIncreasingRun({}).empty());
    EXPECT_EQ(LongestIncreasingRun({0, 1, 2}), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(LongestIncreasingRun({2, 1, 0}), (std::vector<std::uint32_t>{2}));  // the smallest end wins
    EXPECT_EQ(LongestIncreasingRun({3, 0, 1, 2}), (std::vector<std::uint32_t>{1, 2, 3}));
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint32_t> values(rng() % 40);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<std::uint32_t>(i);
        std::shuffle(values.begin(), values.end(), rng);
        const std::vector<std::uint32_t> run = LongestIncreasingRun(values);
        ASSERT_EQ(run.size(), SlowLongest(values));
        for (std::size_t k = 1; k < run.size(); ++k)
            ASSERT_TRUE(run[k - 1] < run[k] && values[run[k - 1]] < values[run[k]]);
    }
}

TEST(Diff, EntriesArePairedByNameAndOccurrence)
{
    // The second "A" is the second "A", wherever it went; "B" is the one that moved.
    const CEntryDiff d = DiffEntries({{"A", "x", ""}, {"B", "y", ""}, {"A", "z", ""}, {"A", "gone", ""}},
                                     {{"A", "x", ""}, {"A", "z2", ""}, {"B", "y", "e"}, {"C", "", ""}});
    EXPECT_EQ(d.m_oldOfNew, (std::vector<std::uint32_t>{0, 2, 1, CEntryDiff::kNone}));
    EXPECT_EQ(d.m_newOfOld, (std::vector<std::uint32_t>{0, 2, 1, CEntryDiff::kNone}));
    EXPECT_EQ(d.m_bMoved, (std::vector<bool>{false, false, true, false}));
    EXPECT_EQ(d.m_nAdded, 1u);
    EXPECT_EQ(d.m_nRemoved, 1u);
    EXPECT_EQ(d.m_nChanged, 2u);
    EXPECT_EQ(d.m_nMoved, 1u);
    EXPECT_EQ(d.m_nUnchanged, 1u);
    EXPECT_FALSE(d.Same());
    EXPECT_TRUE(DiffEntries({}, {}).Same());
}

TEST(Diff, OnlyTheEntryTakenOutAndPutBackMoves)
{
    std::vector<Entry> before;
    for (int i = 0; i < 1000; ++i)
        before.push_back({"STR_" + std::to_string(i), "t", ""});
    std::vector<Entry> after = before;
    std::rotate(after.begin() + 10, after.begin() + 11, after.begin() + 901);  // entry 11 to 901
    CEntryDiff d = DiffEntries(before, after);
    EXPECT_EQ(d.m_nMoved, 1u);
    EXPECT_TRUE(d.m_bMoved[900]);

    // Entries added and removed around the others move nothing.
    after = before;
    after.erase(after.begin() + 5, after.begin() + 50);
    after.insert(after.begin() + 500, Entry{"NEW", "", ""});
    d = DiffEntries(before, after);
    EXPECT_EQ(d.m_nMoved, 0u);
    EXPECT_EQ(d.m_nRemoved, 45u);
    EXPECT_EQ(d.m_nAdded, 1u);
    EXPECT_EQ(d.m_nUnchanged, 955u);

    // The same entries, all in another order: not the same.
    after = before;
    std::reverse(after.begin(), after.end());
    d = DiffEntries(before, after);
    EXPECT_EQ(d.m_nMoved, 999u);
    EXPECT_FALSE(d.Same());
}

class DiffCommand : public ::testing::Test {
protected:
    std::string File(const std::string& name, const std::vector<Entry>& entries)
    {
        WriteFile(dir / name, EntryFileBytes(entries));
        return dir / name;
    }
    TempDir dir;
};

TEST_F(DiffCommand, ListsEachChangeInMergedOrderWithEscapedTexts)
{
    const std::string a = File("a.lumo", {{"KEEP", "same", ""},
                                          {"GONE", "old\ttext", "x"},
                                          {"MOVER", "m", ""},
                                          {"TEXT", "caf\xE9 \x80", "\x81"},
                                          {"LAST", "", ""}});
    const std::string b = File("b.lumo", {{"KEEP", "same", ""},
                                          {"TEXT", "say \"hi\"\\\n", "\x81"},
                                          {"LAST", "", "new extra"},
                                          {"MOVER", "m", ""},
                                          {"has space", "\x01", ""},
                                          {"", "", ""}});
    const CRunResult r = Lumo({"diff", a, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "- GONE (entry 2): \"old\\ttext\", extra text \"x\"\n"
                     "~ TEXT (entry 2): data text \"caf\xC3\xA9 \xE2\x82\xAC\" -> \"say \\\"hi\\\"\\\\\\n\"\n"
                     "~ LAST (entry 3): extra text \"\" -> \"new extra\"\n"
                     "> MOVER: moved from entry 3 to 4\n"
                     "+ \"has space\" (entry 5): \"\\u0001\"\n"
                     "+ \"\" (entry 6): \"\"\n"
                     "2 added, 1 removed, 2 changed, 1 moved, 1 unchanged (5 entries before, 6 after)\n");
}

TEST_F(DiffCommand, JsonHoldsTheSameChangesForScripts)
{
    const std::string a = File("a.lumo", {{"A", "1", ""}, {"B", "2", ""}, {"C", "\x93q\x94", ""}, {"D", "", ""}});
    const std::string b = File("b.lumo", {{"B", "2", ""}, {"A", "1", "\x81"}, {"C", "\x93q\x94", ""}, {"E", "5", ""}});
    const CRunResult r = Lumo({"diff", "--format=json", a, b});
    EXPECT_EQ(r.status, 1);
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["old"]["file"], a);
    EXPECT_EQ(doc["new"]["entries"], 4);
    EXPECT_EQ(doc["same"], false);
    EXPECT_EQ(doc["summary"], nlohmann::json::parse(
                                  R"({"added": 1, "removed": 1, "changed": 1, "moved": 1, "unchanged": 2})"));
    EXPECT_EQ(doc["changes"], nlohmann::json::parse(R"([
        {"change": "changed", "name": "A", "old_entry": 1, "new_entry": 2, "moved": true,
         "extra": {"old": "", "new": "\u0081"}},
        {"change": "added", "name": "E", "new_entry": 4, "data": "5", "extra": ""},
        {"change": "removed", "name": "D", "old_entry": 4, "data": "", "extra": ""}])"));

    const CRunResult same = Lumo({"diff", a, a, "--format", "json"});
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(nlohmann::json::parse(same.out)["changes"], nlohmann::json::array());
}

TEST_F(DiffCommand, ExitStatusSaysSameDifferentOrError)
{
    const std::string a = File("a.lumo", {{"A", "1", ""}, {"B", "2", ""}});
    const std::string copy = File("copy.lumo", {{"A", "1", ""}, {"B", "2", ""}});
    const std::string swapped = File("swapped.lumo", {{"B", "2", ""}, {"A", "1", ""}});

    CRunResult r = Lumo({"diff", a, copy});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0 added, 0 removed, 0 changed, 0 moved, 2 unchanged (2 entries before, 2 after)\n");
    EXPECT_EQ(Lumo({"diff", a, swapped}).status, 1);

    WriteFile(dir / "bad.lumo", EntryFileBytes({{"A", "1", ""}}).substr(0, 12));
    r = Lumo({"diff", a, dir / "bad.lumo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find((dir / "bad.lumo") + ": damaged: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was compared"), std::string::npos) << r.err;

    r = Lumo({"diff", dir / "missing.lumo", a});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "lumo: " + (dir / "missing.lumo") + ": the file does not exist\n");

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"diff", a}, {"diff", a, a, a}, {"diff", a, a, "--format", "csv"}, {"diff", a, a, "--format"},
             {"diff", a, a, "--format=json", "--format=text"}, {"diff", a, a, "-o", "x"}, {"diff", "-", "-"}}) {
        r = Lumo(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("Try 'lumo diff --help'"), std::string::npos) << r.err;
    }
    r = Lumo({"diff", "--format", "nonsense", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: lumo diff OLD.lumo NEW.lumo"), std::string::npos);
}

TEST_F(DiffCommand, WarnsAboutTextsItCannotSee)
{
    // Bytes after a text's terminating 0x00 are not part of the text compared.
    WriteFile(dir / "hidden.lumo", Le32(1) + Record("A") + Le32(4) + std::string("B\0C\0", 4) + Record(""));
    const std::string plain = File("plain.lumo", {{"A", "B", ""}});
    CRunResult r = Lumo({"diff", plain, dir / "hidden.lumo"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("lumo: warning: " + (dir / "hidden.lumo") + ": the data text of entry 1"), std::string::npos)
        << r.err;

    // Bytes after the last entry are no entry's; the entries before them are compared.
    WriteFile(dir / "trailing.lumo", EntryFileBytes({{"A", "C", ""}}) + "junk");
    r = Lumo({"diff", dir / "trailing.lumo", plain});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("~ A (entry 1): data text \"C\" -> \"B\"\n0 added", 0), 0u) << r.out;
    EXPECT_NE(r.err.find("lumo: warning: " + (dir / "trailing.lumo") + ": 4 bytes after the last entry"),
              std::string::npos)
        << r.err;
}

}  // namespace
