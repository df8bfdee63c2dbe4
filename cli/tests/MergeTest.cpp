// SPDX-License-Identifier: MIT
// The three-way merge of entries, case by case, the conflict markers it
// writes and their detector, and lumo merge's statuses and messages.
#include "CliTestUtil.h"

#include "cli/Merge.h"
#include "cli/MergeMarkers.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

using lumo_cli::CMergeConflict;
using lumo_cli::CMergeSettings;
using lumo_cli::EMergeFavor;
using lumo_cli::Entry;
using lumo_cli_test::EntryFileBytes;
using lumo_cli_test::Lumo;
using lumo_cli_test::ReadFile;
using lumo_cli_test::TempDir;
using lumo_cli_test::WriteFile;

// "NAME=data" or "NAME=data|extra".
std::vector<Entry> E(std::initializer_list<const char*> items)
{
    std::vector<Entry> entries;
    for (const std::string item : items) {
        const std::size_t eq = item.find('='), bar = item.find('|');
        entries.push_back({item.substr(0, eq), item.substr(eq + 1, bar == std::string::npos ? bar : bar - eq - 1),
                           bar == std::string::npos ? "" : item.substr(bar + 1)});
    }
    return entries;
}

std::string Shown(const std::vector<Entry>& entries)
{
    std::string text;
    for (const Entry& e : entries)
        text += e.name + "=" + e.data + (e.extra.empty() ? "" : "|" + e.extra) + " ";
    return text;
}

const std::string kConflictAB = "<<<<<<< ours\na1\n||||||| base\na\n=======\na2\n>>>>>>> theirs";

TEST(Merge, EachCaseGivesItsEntriesAndConflicts)
{
    using EKind = CMergeConflict::EKind;
    struct Case {
        const char* what;
        std::vector<Entry> base, ours, theirs, expected;
        std::vector<EKind> conflicts;
        std::size_t nOrderNotes = 0;
    };
    const std::vector<Case> cases = {
        {"disjoint changes", E({"A=a", "B=b"}), E({"A=a1", "B=b"}), E({"A=a", "B=b1"}), E({"A=a1", "B=b1"}), {}},
        {"data on one side, extra on the other", E({"A=a|x"}), E({"A=a1|x"}), E({"A=a|x1"}), E({"A=a1|x1"}), {}},
        {"the same change on both", E({"A=a", "B=b"}), E({"A=z", "B=b"}), E({"A=z", "B=b"}), E({"A=z", "B=b"}), {}},
        {"different changes", E({"A=a"}), E({"A=a1"}), E({"A=a2"}), {{"A", kConflictAB, ""}}, {EKind::text}},
        {"removed, unchanged on the other side", E({"A=a", "B=b", "C=c"}), E({"A=a", "C=c"}),
         E({"A=a1", "B=b", "C=c"}), E({"A=a1", "C=c"}), {}},
        {"removed on both", E({"A=a", "B=b"}), E({"A=a"}), E({"A=a"}), E({"A=a"}), {}},
        {"removed by ours, changed by theirs", E({"A=a", "B=b"}), E({"A=a"}), E({"A=a", "B=b2"}),
         E({"A=a", "B=b2"}), {EKind::removedByOurs}},
        {"removed by theirs, changed by ours", E({"A=a", "B=b"}), E({"A=a", "B=b|new"}), E({"A=a"}),
         E({"A=a", "B=b|new"}), {EKind::removedByTheirs}},
        {"moved and removed", E({"A=a", "B=b"}), E({"B=b", "A=a"}), E({"B=b"}), E({"B=b"}), {}},
        {"added on both, the same", E({"A=a"}), E({"A=a", "N=n"}), E({"A=a", "N=n"}), E({"A=a", "N=n"}), {}},
        {"added on both, different", E({"A=a"}), E({"N=n1|x"}), E({"N=n2|x"}),
         {{"N", "<<<<<<< ours\nn1\n=======\nn2\n>>>>>>> theirs", "x"}}, {EKind::addedBoth}},
        {"added at one place: ours first", E({"A=a", "C=c"}), E({"A=a", "X=x", "X2=x", "C=c"}),
         E({"A=a", "Y=y", "C=c"}), E({"A=a", "X=x", "X2=x", "Y=y", "C=c"}), {}},
        {"added on both in a row, theirs between", E({"P=p"}), E({"P=p", "A=a", "B=b", "C=c"}),
         E({"P=p", "A=a", "T=t", "B=b", "U=u", "C=c"}), E({"P=p", "A=a", "T=t", "B=b", "U=u", "C=c"}), {}},
        {"theirs replaced what ours changed", E({"P=p", "D=d", "Q=q"}), E({"P=p", "D=d2", "Q=q"}),
         E({"P=p", "T=t", "Q=q"}), E({"P=p", "D=d2", "T=t", "Q=q"}), {EKind::removedByTheirs}},
        {"added at the start and the end", E({"A=a"}), E({"S=s", "A=a"}), E({"A=a", "Z=z"}),
         E({"S=s", "A=a", "Z=z"}), {}},
        {"moved by theirs, changed by ours", E({"A=a", "B=b", "C=c"}), E({"A=a", "B=b1", "C=c"}),
         E({"C=c", "A=a", "B=b"}), E({"C=c", "A=a", "B=b1"}), {}},
        {"moved by ours, added by theirs after it", E({"A=a", "B=b", "C=c", "D=d"}),
         E({"A=a", "C=c", "D=d", "B=b"}), E({"A=a", "B=b", "N=n", "C=c", "D=d"}),
         E({"A=a", "C=c", "D=d", "B=b", "N=n"}), {}},
        {"moved by both to different places: ours kept", E({"A=a", "B=b", "C=c", "D=d"}),
         E({"B=b", "C=c", "D=d", "A=a"}), E({"B=b", "A=a", "C=c", "D=d"}), E({"B=b", "C=c", "D=d", "A=a"}), {}, 1},
        {"moved by both to one place", E({"A=a", "B=b", "C=c"}), E({"B=b", "C=c", "A=a"}),
         E({"B=b", "C=c", "A=a"}), E({"B=b", "C=c", "A=a"}), {}},
        {"repeated names pair by occurrence", E({"X=1", "X=2", "Y=y"}), E({"X=1", "X=2b", "Y=y"}),
         E({"X=1b", "X=2", "Y=y", "X=3"}), E({"X=1b", "X=2b", "Y=y", "X=3"}), {}},
        {"empty files", {}, E({"A=a"}), {}, E({"A=a"}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const lumo_cli::CMergeResult result = lumo_cli::MergeEntries(c.base, c.ours, c.theirs);
        EXPECT_EQ(result.entries, c.expected) << Shown(result.entries);
        std::vector<EKind> kinds;
        for (const CMergeConflict& conflict : result.conflicts)
            kinds.push_back(conflict.kind);
        EXPECT_EQ(kinds, c.conflicts);
        EXPECT_EQ(result.orderNotes.size(), c.nOrderNotes);

        // Either side alone merges cleanly to itself; a side against itself is itself.
        for (const auto* side : {&c.ours, &c.theirs}) {
            const auto oursOnly = lumo_cli::MergeEntries(c.base, *side, c.base);
            const auto theirsOnly = lumo_cli::MergeEntries(c.base, c.base, *side);
            const auto both = lumo_cli::MergeEntries(c.base, *side, *side);
            EXPECT_EQ(oursOnly.entries, *side);
            EXPECT_EQ(theirsOnly.entries, *side);
            EXPECT_EQ(both.entries, *side);
            EXPECT_TRUE(oursOnly.conflicts.empty() && theirsOnly.conflicts.empty() && both.conflicts.empty());
        }
        // Favouring a side resolves everything, and a conflict then takes that side.
        for (const EMergeFavor favor : {EMergeFavor::ours, EMergeFavor::theirs}) {
            CMergeSettings settings;
            settings.favor = favor;
            const auto favoured = lumo_cli::MergeEntries(c.base, c.ours, c.theirs, settings);
            EXPECT_TRUE(favoured.conflicts.empty());
            EXPECT_EQ(favoured.nResolved, c.conflicts.size());
            for (const Entry& e : favoured.entries)
                EXPECT_FALSE(lumo_cli::HoldsConflictMarkers(e.data)) << e.data;
        }
    }
}

// The merge's own pairing against lumo diff's, on files of few names that
// repeat, move, come and go.
TEST(Merge, PairsAsLumoDiffDoes)
{
    std::mt19937 rng(18);
    auto random = [&](std::size_t n) {
        std::vector<Entry> entries;
        for (std::size_t i = 0; i < n; ++i)
            entries.push_back({std::string(1 + rng() % 2, static_cast<char>('A' + rng() % 6)), "", ""});
        return entries;
    };
    for (int round = 0; round < 500; ++round) {
        const std::vector<Entry> base = random(rng() % 30), side = random(rng() % 30);
        const lumo_cli::CEntryDiff expected = lumo_cli::DiffEntries(base, side);
        const lumo_cli::CEntryDiff paired = lumo_cli::CBasePairing(base).Pair(side);
        ASSERT_EQ(paired.m_newOfOld, expected.m_newOfOld) << Shown(base) << "/ " << Shown(side);
        ASSERT_EQ(paired.m_oldOfNew, expected.m_oldOfNew);
        ASSERT_EQ(paired.m_bMoved, expected.m_bMoved);
        ASSERT_EQ(paired.m_nAdded, expected.m_nAdded);
        ASSERT_EQ(paired.m_nRemoved, expected.m_nRemoved);
    }
}

TEST(Merge, FavourTakesThatSidesTextRemovalAndOrder)
{
    CMergeSettings settings;
    settings.favor = EMergeFavor::theirs;
    // Theirs removed B which ours changed; both moved A; both changed C.
    const auto base = E({"A=a", "B=b", "C=c", "D=d"});
    const auto ours = E({"B=b1", "C=c1", "D=d", "A=a"});
    const auto theirs = E({"C=c2", "A=a", "D=d"});
    EXPECT_EQ(lumo_cli::MergeEntries(base, ours, theirs, settings).entries, E({"C=c2", "A=a", "D=d"}));
    settings.favor = EMergeFavor::ours;
    EXPECT_EQ(lumo_cli::MergeEntries(base, ours, theirs, settings).entries, E({"B=b1", "C=c1", "D=d", "A=a"}));
}

TEST(MergeMarkers, WrittenWithSizeAndLabelAndFoundOnlyWhenWhole)
{
    EXPECT_EQ(lumo_cli::ConflictText("o\r\n", "", "t", true, 9, "fr/game.lumo\n"),
              "<<<<<<<<< ours:fr/game.lumo?\no\r\n\n||||||||| base:fr/game.lumo?\n\n=========\nt\n"
              ">>>>>>>>> theirs:fr/game.lumo?");
    const struct {
        std::string text;
        bool bHolds;
    } texts[] = {
        {kConflictAB, true},
        {lumo_cli::ConflictText("", "", "", false, 12, ""), true},
        {"before\r\n<<<<<<< HEAD\r\nx\r\n=======\r\ny\r\n>>>>>>> feature\r\nafter", true},
        {"<<<<<<< a\n<<<<<<< b\nx\n=======\ny\n>>>>>>> b", true},
        {"Title\n=======\nText", false},
        {"<<<<<<< ours\nx\n========\ny\n>>>>>>> theirs", false},   // the separator is one longer
        {"<<<<<<<< ours\nx\n=======\ny\n>>>>>>> theirs", false},   // the opening is one longer
        {"<<<<<< ours\nx\n======\ny\n>>>>>> theirs", false},       // six: under git's size
        {"<<<<<<< ours\nx\n=======\ny", false},                     // never closed
        {">>>>>>> theirs\n=======\n<<<<<<< ours", false},           // out of order
        {"a <<<<<<< ours\n=======\n>>>>>>> theirs", false},         // not at a line's start
        {"<<<<<<<ours\n=======\n>>>>>>> theirs", false},            // no blank after the run
        {"", false},
    };
    for (const auto& t : texts)
        EXPECT_EQ(lumo_cli::HoldsConflictMarkers(t.text), t.bHolds) << t.text;
}

TEST(MergeCommand, StatusesMessagesAndAnUntouchedOutputOnError)
{
    TempDir dir;
    WriteFile(dir / "base.lumo", EntryFileBytes(E({"STR A=a", "B=b", "C=c"})));
    WriteFile(dir / "ours.lumo", EntryFileBytes(E({"STR A=a\n1", "B=b"})));
    WriteFile(dir / "theirs.lumo", EntryFileBytes(E({"STR A=a\"2", "B=b", "C=c2"})));
    WriteFile(dir / "damaged.lumo", EntryFileBytes(E({"A=a"})).substr(0, 10));
    const std::string out = dir / "out.lumo";

    auto r = Lumo({"merge", dir / "base.lumo", dir / "ours.lumo", dir / "theirs.lumo", "-o", out, "--name", "g.lumo"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err,
              "lumo merge: g.lumo: conflict in \"STR A\" (entry 1): data text: ours \"a\\n1\", base \"a\", theirs "
              "\"a\\\"2\"\n"
              "lumo merge: g.lumo: conflict in C (entry 3): removed by ours, changed by theirs and kept: data text "
              "\"c\" -> \"c2\"\n"
              "lumo merge: g.lumo: 2 conflicts left in the texts between conflict markers\n");
    EXPECT_EQ(ReadFile(out), EntryFileBytes({{"STR A",
                                              "<<<<<<< ours:g.lumo\na\n1\n||||||| base:g.lumo\na\n=======\na\"2\n"
                                              ">>>>>>> theirs:g.lumo",
                                              ""},
                                             {"B", "b", ""},
                                             {"C", "c2", ""}}));

    // An unresolved merge cannot slip through a release check.
    r = Lumo({"check", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(": ok, 3 entries; warning: the data text of entry 1 (\"STR A\") holds merge conflict markers\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Lumo({"check", "--strict", out}).status, 1);

    r = Lumo({"merge", dir / "base.lumo", dir / "ours.lumo", dir / "theirs.lumo", "-o", out, "--favor=ours"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), EntryFileBytes(E({"STR A=a\n1", "B=b"})));

    // A damaged input: status 2 and the output as it was.
    for (const char* side : {"base", "ours", "theirs"}) {
        std::vector<std::string> args = {"merge", dir / "base.lumo", dir / "ours.lumo", dir / "theirs.lumo",
                                         "-o", out};
        args[std::string(side) == "base" ? 1 : std::string(side) == "ours" ? 2 : 3] = dir / "damaged.lumo";
        r = Lumo(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("damaged.lumo: damaged: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("out.lumo was left as it was"), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(out), EntryFileBytes(E({"STR A=a\n1", "B=b"})));
    }

    const std::vector<std::vector<std::string>> usage = {
        {"merge", "a", "b", "-o", out},
        {"merge", "a", "b", "c"},
        {"merge", "a", "b", "c", "-o", out, "--favor", "both"},
        {"merge", "a", "b", "c", "-o", out, "--marker-size", "0"},
        {"merge", "a", "b", "c", "-o", out, "--marker-size", "7x"},
        {"merge", "a", "b", "c", "-o", out, "-o", out},
        {"merge", "a", "b", "c", "-o", out, "--strict"},
        {"merge", "-", "-", "c", "-o", out},
        {"textconv"},
        {"git-setup", "file"},
    };
    for (const auto& args : usage) {
        r = Lumo(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("Try 'lumo " + args[0] + " --help'"), std::string::npos) << r.err;
    }
    for (const char* command : {"merge", "textconv", "git-setup"}) {
        r = Lumo({command, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind(std::string("Usage: lumo ") + command, 0), 0u) << r.out;
        EXPECT_NE(Lumo({"--help"}).out.find(std::string("  ") + command + " "), std::string::npos);
    }
}

TEST(TextConv, OneLinePerEntryAndWhatIsWrongAtTheEnd)
{
    TempDir dir;
    const std::string bytes = EntryFileBytes({{"STR_OK", "Caf\xe9\n\"ok\"", ""}, {"two words", "", "x\ty"}});
    WriteFile(dir / "good.lumo", bytes);
    WriteFile(dir / "padded.lumo", bytes + "abc");
    WriteFile(dir / "damaged.lumo", bytes.substr(0, bytes.size() - 3));
    const std::string lines = "STR_OK: \"Caf\xc3\xa9\\n\\\"ok\\\"\"\n\"two words\": \"\", extra text \"x\\ty\"\n";
    auto r = Lumo({"textconv", dir / "good.lumo"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, lines);
    r = Lumo({"textconv", dir / "padded.lumo"});
    EXPECT_EQ(r.out, lines + "# lumo: 3 bytes after the last entry are not part of any entry\n");
    r = Lumo({"textconv", dir / "damaged.lumo"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "STR_OK: \"Caf\xc3\xa9\\n\\\"ok\\\"\"\n");
    EXPECT_NE(r.out.find("\n# lumo: damaged: entry 2 of 2"), std::string::npos) << r.out;
    r = Lumo({"textconv", dir / "missing.lumo"});
    EXPECT_EQ(r.status, 2);
}

}  // namespace
