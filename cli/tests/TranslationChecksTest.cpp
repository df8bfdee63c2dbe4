// SPDX-License-Identifier: MIT
// lumo check --against / --template and import's checks, through the built
// program: a clean translation gives no finding, every check finds its
// seeded fault and leaves its near miss alone, and pofilter agrees where the
// two share a check.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"
#include "cli/Diff.h"
#include "cli/checks/EntryTexts.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>

using namespace lumo_cli_test;

namespace {

const std::string kLumo = Quoted(LUMO_CLI_BINARY);

struct CRun {
    int status;
    std::string out, err;
};

// The built program with separate standard output and error.
CRun RunLumo(const TempDir& dir, const std::string& args)
{
    const int status = Shell(kLumo + " " + args + " >" + Quoted(dir / "out.txt") + " 2>" + Quoted(dir / "err.txt"));
    return {status, ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
}

const std::string kPatterns = R"( --placeholder '\[[A-Z_]+\]' --placeholder '\^[0-9]' --placeholder '\$[a-z]+\$')";

// A text built from prose and codes: the translation turns the prose around
// (ROT13) and keeps every code, so nothing a game reads changes.
struct CPiece {
    std::string text;
    bool bProse;
};

std::string Rot13(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>('a' + (c - 'a' + 13) % 26);
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>('A' + (c - 'A' + 13) % 26);
    }
    return out;
}

std::vector<CPiece> RandomPieces(std::mt19937& rng)
{
    static const char* const kCodes[] = {
        "%s", "%d", "%5.2f", "%-10s", "%ls", "%%", "{0}", "{name}", "{count:N0}", "{{", "}}", "<br/>",
        "\x07", "\x1B", "\n", "\r\n", "42", "3.5", "1,000", "https://example.com/a?b=1", "help@example.org",
        "www.example.net", "[PLAYER]", "^1", "$gold$", "\t", "\xE9t\xE9", "a < b",
    };
    static const char* const kWords[] = {"Start", "game", "Quit", "gold", "You", "have", "won", "the", "shop",
                                         "price", "\xC9p\xE9", "level"};
    static const char* const kEnds[] = {"", ".", "!", "?", ":", "\x85", " "};
    std::vector<CPiece> pieces;
    if (rng() % 5 == 0)
        pieces.push_back({" ", false});  // leading whitespace
    const std::size_t n = 1 + rng() % 6;
    bool bPositional = rng() % 4 == 0;
    for (std::size_t i = 0; i < n; ++i) {
        pieces.push_back({kWords[rng() % std::size(kWords)], true});
        pieces.push_back({rng() % 7 == 0 ? "  " : " ", false});
        const unsigned pick = rng() % 10;
        if (pick < 5) {
            pieces.push_back({kCodes[rng() % std::size(kCodes)], false});
        } else if (pick == 5) {
            pieces.push_back({"<b>", false});
            pieces.push_back({kWords[rng() % std::size(kWords)], true});
            pieces.push_back({"</b>", false});
        } else if (pick == 6 && bPositional) {
            pieces.push_back({"%1$s", false});
            bPositional = false;
        } else if (pick == 7) {
            pieces.push_back({"<color=#ff0>", false});
            pieces.push_back({kWords[rng() % std::size(kWords)], true});
            pieces.push_back({"</color>", false});
        }
        pieces.push_back({" ", false});
    }
    pieces.push_back({kWords[rng() % std::size(kWords)], true});
    pieces.push_back({kEnds[rng() % std::size(kEnds)], false});
    return pieces;
}

std::string Join(const std::vector<CPiece>& pieces, bool bTranslate)
{
    std::string text;
    for (const CPiece& piece : pieces)
        text += piece.bProse && bTranslate ? Rot13(piece.text) : piece.text;
    return text;
}

TEST(TranslationChecks, CleanTranslationGivesNoFinding)
{
    TempDir dir;
    std::mt19937 rng(17);
    std::vector<Entry> source, target;
    for (std::size_t i = 0; i < 3000; ++i) {
        const std::string name = "STR_" + std::to_string(i % 2500);  // some names repeat
        const std::vector<CPiece> data = RandomPieces(rng);
        const std::vector<CPiece> extra = rng() % 3 ? std::vector<CPiece>() : RandomPieces(rng);
        source.push_back({name, Join(data, false), Join(extra, false)});
        target.push_back({name, Join(data, true), Join(extra, true)});
    }
    WriteFile(dir / "game.lumo", EntryFileBytes(source));
    WriteFile(dir / "fr.lumo", EntryFileBytes(target));
    const std::string options = kPatterns + " --max-length 1000 --max-growth 10";
    CRun run = RunLumo(dir, "check --against " + Quoted(dir / "game.lumo") + " " + Quoted(dir / "fr.lumo") + options);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(": 3000 entries checked; 0 errors, 0 warnings; translated: 3000 of 3000 entries (100.0%)"),
              std::string::npos)
        << run.out.substr(0, 2000);
    // The same through PO: what the translator's file carries is checked the same way.
    ASSERT_EQ(Shell(kLumo + " export " + Quoted(dir / "fr.lumo") + " --source " + Quoted(dir / "game.lumo") +
                    " --format po -o " + Quoted(dir / "fr.po") + " 2>/dev/null"),
              0);
    run = RunLumo(dir, "check --template " + Quoted(dir / "game.lumo") + " " + Quoted(dir / "fr.po") + options +
                           " --format json");
    EXPECT_EQ(run.status, 0) << run.out.substr(0, 2000) << run.err;
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["errors"], 0);
    EXPECT_EQ(doc["warnings"], 0);
    EXPECT_EQ(doc["files"][0]["summary"]["texts_translated"], doc["files"][0]["summary"]["texts"]);
}

struct CCase {
    const char* source;
    const char* translation;
    std::set<std::string> expected;  // the checks that must report it; empty for a near miss
};

// One row per entry ROW_n; the checks run with the three patterns above,
// --max-length 60 and --max-growth 400.
const std::vector<CCase> kCases = {
    {"Costs %d gold.", "Co\xFBte %s or.", {"printf"}},
    {"100%% sure", "100% s\xFBr", {}},  // %% and a lone %: no placeholder either side
    {"%s has %d", "%2$d pour %1$s", {}},
    {"%s and %d", "%d et %s", {"printf"}},
    {"Name: %ls", "Nom", {"printf"}},
    {"Width %-10s.", "Largeur %10s.", {"printf"}},
    {"Hello {name}.", "Salut {nom}.", {"variables"}},
    {"{{literal}} {0}", "{{litt\xE9ral}} {0}", {}},
    {"{count:N0} items", "{count:N0} objets", {}},
    {"{0} of {1}", "{0} de {0}", {"variables"}},
    {"<b>Bold</b>", "<b>Gras</b>", {}},
    {"<b>Bold</b>", "<b>Gras", {"xmltags"}},
    {"a < b and c", "x < y et z", {}},
    {"<b><i>x</i></b>", "<b><i>y</b></i>", {"xmltags"}},
    {"<color=#ff0>Red</color>", "<color=#f00>Rouge</color>", {"xmltags"}},
    {"Line<br/>two", "Ligne<br/>deux", {}},
    {"Hi [PLAYER]", "Salut [JOUEUR]", {"placeholder"}},
    {"Hi [player]", "Salut [joueur]", {}},
    {"Press ^1 now", "Appuyez maintenant", {"placeholder"}},
    {"\x07" "Ding", "Dong", {"controls"}},
    {"Tab\there", "Tab\tici", {}},
    {"One\nTwo", "Un Deux", {"newlines"}},
    {"One\\nTwo", "Un\\nDeux", {}},  // an escaped newline is two characters, no line break
    {"One\r\nTwo", "Un\nDeux", {}},
    {"Short", "Courtcourtcourtcourtcourtcourtcourtcourtcourtcourtcourtcourts", {"length", "long"}},
    {"Short", "Courte", {}},
    {"Text", "", {"untranslated"}},
    {"Start", "Start", {"unchanged"}},
    {"%s", "%s", {}},
    {"<br/>", "<br/>", {}},
    {" Lead", "T\xEAte", {"startwhitespace"}},
    {"Trail ", "Queue", {"endwhitespace"}},
    {"A  B", "C D", {"doublespacing"}},
    {"Done.", "Fini", {"endpunc"}},
    {"Done\x85", "Fini...", {}},
    {"Really?", "Vraiment ?", {}},
    {"3 lives", "vies", {"numbers"}},
    {"3 lives", "3 vies", {}},
    {"1,000 gold", "1,000 or", {}},
    {"See https://example.com.", "Voir https://example.fr.", {"urls"}},
    {"Mail a@b.org", "Courriel a@b.org", {}},
};

TEST(TranslationChecks, EachCheckFindsItsFaultAndNotItsNearMiss)
{
    TempDir dir;
    std::vector<Entry> source, target;
    for (std::size_t i = 0; i < kCases.size(); ++i) {
        source.push_back({"ROW_" + std::to_string(i), kCases[i].source, ""});
        target.push_back({"ROW_" + std::to_string(i), kCases[i].translation, ""});
    }
    // Entries: one missing, one extra, two swapped; a text the source lacks.
    source.push_back({"GONE", "Gone", ""});
    source.push_back({"FIRST", "First", ""});
    source.push_back({"SECOND", "Second", ""});
    source.push_back({"NO_EXTRA", "Plain", ""});
    target.push_back({"SECOND", "Deuxi\xE8me", ""});
    target.push_back({"FIRST", "Premier", ""});
    target.push_back({"NEW", "Nouveau", ""});
    target.push_back({"NO_EXTRA", "Simple", "en plus"});
    WriteFile(dir / "game.lumo", EntryFileBytes(source));
    WriteFile(dir / "fr.lumo", EntryFileBytes(target));
    const CRun run = RunLumo(dir, "check --format json --max-length 60 --max-growth 400" + kPatterns + " --against " +
                                      Quoted(dir / "game.lumo") + " " + Quoted(dir / "fr.lumo"));
    EXPECT_EQ(run.status, 1) << run.err;
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    std::map<std::string, std::set<std::string>> found;
    for (const auto& finding : doc["files"][0]["findings"])
        found[finding["name"].get<std::string>()].insert(finding["check"].get<std::string>());
    for (std::size_t i = 0; i < kCases.size(); ++i)
        EXPECT_EQ(found["ROW_" + std::to_string(i)], kCases[i].expected)
            << "row " << i << ": " << kCases[i].source << " -> " << kCases[i].translation;
    EXPECT_EQ(found["GONE"], std::set<std::string>{"missing"});
    EXPECT_EQ(found["NEW"], std::set<std::string>{"extra"});
    EXPECT_EQ(found["FIRST"].count("order") + found["SECOND"].count("order"), 1u);
    EXPECT_EQ(found["NO_EXTRA"], std::set<std::string>{"extra"});

    // The lines people read: file, entry, name, text, check, what differs.
    const CRun text = RunLumo(dir, "check --against " + Quoted(dir / "game.lumo") + " " + Quoted(dir / "fr.lumo"));
    EXPECT_NE(text.out.find("fr.lumo: entry 1 ROW_0 (data): printf: the source has %d, the translation has %s\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("ROW_6 (data): variables: the source has {name}, the translation has {nom}\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("ROW_19 (data): controls: \"\\u0007\" is missing\n"), std::string::npos);
    EXPECT_NE(text.out.find("entry " + std::to_string(kCases.size() + 1) + " GONE: missing:"), std::string::npos);
}

// pofilter (Translate Toolkit) on the same pair as PO, for the checks both
// have. Where the two differ, the row says why; the README says so too.
struct CPeerCase {
    const char* source;
    const char* translation;
    std::set<std::string> lumo, pofilter;
    const char* why;  // empty when both report the same
};

const std::vector<CPeerCase> kPeerCases = {
    {"Costs %d gold.", "Co\xFBte %s or.", {"printf"}, {"printf"}, ""},
    {"%s and %d", "%d et %s", {"printf"}, {"printf"}, ""},
    {"Hello <b>you</b>", "Salut <b>toi", {"xmltags"}, {"xmltags"}, ""},
    {"One\nTwo", "Un Deux", {"newlines"}, {"newlines"}, ""},
    {" Lead", "T\xEAte", {"startwhitespace"}, {"startwhitespace"}, ""},
    {"Trail ", "Queue", {"endwhitespace"}, {"endwhitespace"}, ""},
    {"A  B", "C D", {"doublespacing"}, {"doublespacing"}, ""},
    {"Start", "Start", {"unchanged"}, {"unchanged"}, ""},
    {"3 lives", "vies", {"numbers"}, {"numbers"}, ""},
    {"See https://example.com now", "Voir https://example.fr maintenant", {"urls"}, {"urls"}, ""},
    {"Done.", "Fini", {"endpunc"}, {"endpunc"}, ""},
    {"Hello {name}", "Salut {nom}", {"variables"}, {}, "pofilter's variables knows no brace syntax unless told which"},
    {"Really?", "Vraiment ?", {}, {"endpunc"},
     "pofilter compares the last character, so the French space before ? counts; lumo asks only whether both end in a mark"},
    {"Go!", "Allez.", {}, {"endpunc"}, "pofilter also flags one mark for another; lumo only a mark against none"},
    {"{{x}} and 3 {1}", "{{y}} et 3 {0}", {"variables"}, {"numbers"},
     "lumo's numbers leaves digits inside codes to the code's own check"},
    {"%s has %d", "%2$d pour %1$s", {}, {}, ""},
    {"50% off %d", "50 % de moins", {"printf"}, {"printf"}, ""},
};

TEST(TranslationChecks, AgreesWithPofilterWhereTheyShareAChecks)
{
    REQUIRE_TOOL("pofilter");
    TempDir dir;
    std::vector<Entry> source, target;
    for (std::size_t i = 0; i < kPeerCases.size(); ++i) {
        source.push_back({"PEER_" + std::to_string(i), kPeerCases[i].source, ""});
        target.push_back({"PEER_" + std::to_string(i), kPeerCases[i].translation, ""});
    }
    WriteFile(dir / "game.lumo", EntryFileBytes(source));
    WriteFile(dir / "fr.lumo", EntryFileBytes(target));
    ASSERT_EQ(Shell(kLumo + " export " + Quoted(dir / "fr.lumo") + " --source " + Quoted(dir / "game.lumo") +
                    " --format po -o " + Quoted(dir / "fr.po")),
              0);
    const char* const kShared[] = {"printf", "variables", "xmltags", "newlines", "startwhitespace", "endwhitespace",
                                   "doublespacing", "untranslated", "unchanged", "numbers", "urls", "endpunc"};
    std::string tests;
    std::string list;
    for (const char* check : kShared) {
        tests += std::string(" -t ") + check;
        list += (list.empty() ? "" : ",") + std::string(check);
    }
    const CToolResult peer = RunTool("pofilter --progress=none" + tests + " " + Quoted(dir / "fr.po"));
    ASSERT_EQ(peer.status, 0) << peer.output;
    // pofilter writes each failing message with "# (pofilter) CHECK: ..." comments above it.
    std::map<std::string, std::set<std::string>> byPofilter;
    std::set<std::string> pending;
    std::size_t pos = 0;
    while (pos < peer.output.size()) {
        std::size_t end = peer.output.find('\n', pos);
        if (end == std::string::npos)
            end = peer.output.size();
        const std::string line = peer.output.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("# (pofilter) ", 0) == 0)
            pending.insert(line.substr(13, line.find(':') - 13));
        else if (line.rfind("msgctxt \"", 0) == 0) {
            byPofilter[line.substr(9, line.size() - 10)] = pending;
            pending.clear();
        }
    }
    const CRun run = RunLumo(dir, "check --format json --checks " + list + " --template " + Quoted(dir / "game.lumo") +
                                      " " + Quoted(dir / "fr.po"));
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    std::map<std::string, std::set<std::string>> byLumo;
    for (const auto& finding : doc["files"][0]["findings"])
        byLumo[finding["name"].get<std::string>()].insert(finding["check"].get<std::string>());
    for (std::size_t i = 0; i < kPeerCases.size(); ++i) {
        const CPeerCase& c = kPeerCases[i];
        const std::string name = "PEER_" + std::to_string(i);
        SCOPED_TRACE(name + ": " + c.source + " -> " + c.translation);
        EXPECT_EQ(byLumo[name], c.lumo);
        EXPECT_EQ(byPofilter[name], c.pofilter);
        EXPECT_EQ(c.lumo == c.pofilter, std::string(c.why).empty()) << "a difference needs its reason, and only one";
    }
}

// The checks pair entries in views of the file's bytes; lumo diff's pairing
// (by name and occurrence, moved outside the longest run) is the oracle.
TEST(TranslationChecks, PairsAsDiffPairs)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        auto randomEntries = [&] {
            std::vector<Entry> entries(rng() % 30);
            for (Entry& entry : entries)
                entry = {"N" + std::to_string(rng() % 8), std::to_string(rng() % 3), ""};
            return entries;
        };
        const std::vector<Entry> a = randomEntries(), b = randomEntries();
        lumo_cli::CEntryTextFile ta, tb;
        ta.Refer(a);
        tb.Refer(b);
        const lumo_cli::CPairing pairing = lumo_cli::PairEntries(ta.Entries(), tb.Entries());
        const lumo_cli::CEntryDiff diff = lumo_cli::DiffEntries(a, b);
        ASSERT_EQ(pairing.sourceOfTarget, diff.m_oldOfNew);
        ASSERT_EQ(pairing.targetOfSource, diff.m_newOfOld);
        ASSERT_EQ(pairing.moved, diff.m_bMoved);
    }
}

TEST(TranslationChecks, OptionsAndExitStatuses)
{
    TempDir dir;
    WriteFile(dir / "game.lumo", EntryFileBytes({{"A", "Costs %d gold.", ""}, {"B", "Done.", ""}}));
    WriteFile(dir / "fr.lumo", EntryFileBytes({{"A", "Co\xFBte %s or.", ""}, {"B", "Fini", ""}}));
    WriteFile(dir / "warn.lumo", EntryFileBytes({{"A", "Co\xFBte %d or.", ""}, {"B", "Fini", ""}}));
    WriteFile(dir / "damaged.lumo", EntryFileBytes({{"A", "x", ""}}).substr(0, 9));
    const std::string game = Quoted(dir / "game.lumo");
    struct CLine {
        std::string args;
        int status;
        std::string out, err;  // expected within standard output / error
    };
    const std::vector<CLine> lines = {
        {"check --against " + game + " " + Quoted(dir / "fr.lumo"), 1, "printf:", ""},
        {"check --against " + game + " " + Quoted(dir / "warn.lumo"), 0, "0 errors, 1 warning (endpunc 1)", ""},
        {"check --strict --against " + game + " " + Quoted(dir / "warn.lumo"), 1, "1 error (endpunc 1)", ""},
        {"check --skip printf --against " + game + " " + Quoted(dir / "fr.lumo"), 0, "0 errors", ""},
        {"check --checks endpunc --strict --against=" + game + " " + Quoted(dir / "fr.lumo"), 1, "1 error (endpunc 1), 0 warnings", ""},
        {"check --checks nosuch --against " + game + " " + Quoted(dir / "fr.lumo"), 2, "",
         "there is no check 'nosuch' (the checks: missing, extra, printf"},
        {"check --against " + game, 2, "", "name at least one translated entry file"},
        {"check --against " + game + " --template " + game + " x.po", 2, "", "name the source once"},
        {"check --against " + game + " --placeholder '[' " + Quoted(dir / "fr.lumo"), 2, "", "is not a regular expression"},
        {"check --against " + game + " --max-length x " + Quoted(dir / "fr.lumo"), 2, "", "needs a number of bytes"},
        {"check --against " + game + " --format xml " + Quoted(dir / "fr.lumo"), 2, "", "unknown format 'xml'"},
        {"check --template " + game + " " + Quoted(dir / "fr.lumo"), 2, "", "ends in .po, .pot, .xlf or .xliff"},
        {"check --against " + game + " " + Quoted(dir / "damaged.lumo"), 1, "damaged.lumo: damaged: ", ""},
        {"check --against " + game + " " + Quoted(dir / "absent.lumo"), 2, "", "absent.lumo"},
        {"check --against " + Quoted(dir / "damaged.lumo") + " " + Quoted(dir / "fr.lumo"), 1, "nothing was checked", ""},
        {"check " + game, 0, "game.lumo: ok, 2 entries", ""},
        {"check --help", 0, "--against SOURCE.lumo", ""},
    };
    for (const CLine& line : lines) {
        SCOPED_TRACE(line.args);
        const CRun run = RunLumo(dir, line.args);
        EXPECT_EQ(run.status, line.status) << run.out << run.err;
        EXPECT_NE(run.out.find(line.out), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(line.err), std::string::npos) << run.err;
    }
}

TEST(TranslationChecks, ImportWarnsAndStrictRefuses)
{
    TempDir dir;
    WriteFile(dir / "game.lumo", EntryFileBytes({{"A", "Costs %d gold.", ""}, {"B", "Done.", ""}}));
    WriteFile(dir / "fr.lumo", EntryFileBytes({{"A", "Co\xFBte %s or.", ""}, {"B", "Fini", ""}}));
    ASSERT_EQ(Shell(kLumo + " export " + Quoted(dir / "fr.lumo") + " --source " + Quoted(dir / "game.lumo") +
                    " --format po -o " + Quoted(dir / "fr.po")),
              0);
    // check --template names the line where the message starts.
    const std::string po = ReadFile(dir / "fr.po");
    const std::size_t at = po.find("msgctxt \"A\"");
    ASSERT_NE(at, std::string::npos);
    const std::size_t nLine = 1 + static_cast<std::size_t>(std::count(po.begin(), po.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
    const CRun check = RunLumo(dir, "check --template " + Quoted(dir / "game.lumo") + " " + Quoted(dir / "fr.po"));
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("fr.po: line " + std::to_string(nLine) + ": A (data): printf: the source has %d"),
              std::string::npos)
        << check.out;
    const std::string import = "import " + Quoted(dir / "fr.po") + " --template " + Quoted(dir / "game.lumo") + " -o ";
    CRun run = RunLumo(dir, import + Quoted(dir / "out.lumo"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("lumo: warning: " + (dir / "fr.po") +
                           ": entry 1 A (data): printf: the source has %d, the translation has %s\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("endpunc:"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "out.lumo"), ReadFile(dir / "fr.lumo"));
    // An error refuses with --strict; a warning alone does not. The result
    // is written while the checks run: a refusal must leave the old file as
    // it was, with no temporary file beside it, and nothing on a stream.
    WriteFile(dir / "strict.lumo", "old bytes");
    const auto listing = [&] {
        std::vector<std::string> names;
        for (const auto& file : std::filesystem::directory_iterator(dir.Path()))
            names.push_back(file.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> before = listing();
    run = RunLumo(dir, import + Quoted(dir / "strict.lumo") + " --strict");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("nothing was written to"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir / "strict.lumo"), "old bytes");
    EXPECT_EQ(listing(), before);
    run = RunLumo(dir, import + "/dev/stdout --strict");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    run = RunLumo(dir, import + Quoted(dir / "skip.lumo") + " --strict --skip printf");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "skip.lumo"));
    run = RunLumo(dir, "import " + Quoted(dir / "x.json") + " -o " + Quoted(dir / "y.lumo") + " --strict");
    EXPECT_EQ(run.status, 2);
}

// A file of many entries is compared in stretches on every core, and by
// import while it is still being read: the findings must still come in
// entry order, each once, and import must show the first few of each check
// and count the rest exactly, also when a text has two findings of one check
// and when gettext's rules make the PO file be read twice.
TEST(TranslationChecks, LargeFilesReportInOrder)
{
    TempDir dir;
    constexpr std::size_t kEntries = 10000;
    std::vector<Entry> source, target;
    std::vector<std::size_t> printfAt, endpuncAt, placeholderAt;  // entry numbers, from 1; placeholder twice each
    for (std::size_t i = 0; i < kEntries; ++i) {
        const std::string n = std::to_string(i);
        const bool bCodes = i % 11 == 0;  // two codes of two patterns, both left out
        source.push_back({"E" + n, "Item " + n + " costs %d." + (bCodes ? " [A] $b$" : ""), ""});
        std::string translated = "Objet " + n + " co\xFBte " + (i % 7 == 0 ? "%s" : "%d") + (i % 13 == 0 ? "" : ".");
        target.push_back({"E" + n, translated, ""});
        if (i % 7 == 0)
            printfAt.push_back(i + 1);
        if ((i % 13 == 0) != bCodes)  // the source ends with a code, the translation with '.'
            endpuncAt.push_back(i + 1);
        if (bCodes)
            placeholderAt.insert(placeholderAt.end(), 2, i + 1);
    }
    const std::string patterns = R"( --placeholder '\[[A-Z]\]' --placeholder '\$[a-z]\$')";
    WriteFile(dir / "game.lumo", EntryFileBytes(source));
    WriteFile(dir / "fr.lumo", EntryFileBytes(target));
    ASSERT_EQ(Shell(kLumo + " export " + Quoted(dir / "fr.lumo") + " --source " + Quoted(dir / "game.lumo") +
                    " --format po -o " + Quoted(dir / "fr.po")),
              0);
    for (const std::string mode : {"--against", "--template"}) {
        SCOPED_TRACE(mode);
        const CRun run = RunLumo(dir, "check --format json " + mode + " " + Quoted(dir / "game.lumo") + " " +
                                          Quoted(dir / (mode == "--against" ? "fr.lumo" : "fr.po")) + patterns);
        EXPECT_EQ(run.status, 1) << run.err;
        const nlohmann::json doc = nlohmann::json::parse(run.out);
        std::map<std::string, std::vector<std::size_t>> entries;
        for (const auto& finding : doc["files"][0]["findings"])
            entries[finding["check"]].push_back(finding["entry"]);
        EXPECT_EQ(entries["printf"], printfAt);
        EXPECT_EQ(entries["endpunc"], endpuncAt);
        EXPECT_EQ(entries["placeholder"], placeholderAt);
        EXPECT_EQ(entries.size(), 3u);
        EXPECT_EQ(doc["errors"], printfAt.size() + placeholderAt.size());
        EXPECT_EQ(doc["warnings"], endpuncAt.size());
    }
    // A comment line that ends in a backslash joins the next line to it:
    // gettext's rule, for which the PO file is read a second time.
    const std::string po = ReadFile(dir / "fr.po");
    const std::size_t middle = po.find("msgctxt \"E5000\"");
    ASSERT_NE(middle, std::string::npos);
    WriteFile(dir / "joined.po", po.substr(0, middle) + "# a note\\\n# more\n" + po.substr(middle));
    for (const std::string file : {"fr.po", "joined.po"}) {
        SCOPED_TRACE(file);
        const std::string import =
            "import " + Quoted(dir / file) + " --template " + Quoted(dir / "game.lumo") + patterns + " -o ";
        CRun run = RunLumo(dir, import + Quoted(dir / "out.lumo"));
        EXPECT_EQ(run.status, 0) << run.err;
        std::map<std::string, std::vector<std::size_t>> shown;
        std::istringstream lines(run.err);
        for (std::string line; std::getline(lines, line);)
            for (const std::string check : {"printf", "placeholder", "endpunc"})
                if (line.find(": " + check + ": ") != std::string::npos)
                    shown[check].push_back(std::stoul(line.substr(line.find(": entry ") + 8)));
        EXPECT_EQ(shown["printf"], std::vector<std::size_t>(printfAt.begin(), printfAt.begin() + 10));
        EXPECT_EQ(shown["placeholder"], std::vector<std::size_t>(placeholderAt.begin(), placeholderAt.begin() + 10));
        EXPECT_EQ(shown["endpunc"], std::vector<std::size_t>(endpuncAt.begin(), endpuncAt.begin() + 10));
        for (const auto& [check, count] : {std::pair<std::string, std::size_t>{"printf", printfAt.size()},
                                           {"placeholder", placeholderAt.size()},
                                           {"endpunc", endpuncAt.size()}})
            EXPECT_NE(run.err.find(std::to_string(count - 10) + " more " + check + " findings not shown"),
                      std::string::npos)
                << run.err;
        EXPECT_TRUE(ReadFile(dir / "out.lumo") == ReadFile(dir / "fr.lumo"));
        run = RunLumo(dir, import + Quoted(dir / "strict.lumo") + " --strict");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(std::to_string(printfAt.size() + placeholderAt.size()) +
                               " findings are at error level"),
                  std::string::npos)
            << run.err;
    }
}

}  // namespace

