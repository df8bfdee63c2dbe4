// SPDX-License-Identifier: MIT
// PO and POT through the lumo commands, checked against gettext's own tools.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace lumo_cli_test;

namespace {

// Names repeat with equal and different texts, texts repeat under other
// names, control characters, line breaks and every kind of high byte.
const std::vector<Entry> kSource = {
    {"STR_START", "Start game", ""},
    {"STR_QUIT", "Quit", "Shown\ton the title\r\nscreen only"},
    {"STR_START", "Start game", "x\x01y\x1f" "z\x7f"},
    {"STR_OTHER", "Start game", ""},
    {"", "caf\xe9 \x80\x81\x8d\x8f\x90\x9d\xa0\xff", "Quit"},
    {"STR_EMPTY", "", ""},
    {"STR_START", "start again", "\n"},
};
constexpr int kSourceMessages = 9;

// What gettext's tr filler below makes of the entries: ASCII letters upper case.
std::vector<Entry> Upper(std::vector<Entry> entries)
{
    for (Entry& entry : entries)
        for (std::string* text : {&entry.data, &entry.extra})
            std::transform(text->begin(), text->end(), text->begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return entries;
}

class Po : public ::testing::Test {
protected:
    std::string Source(const std::string& name, const std::vector<Entry>& entries)
    {
        const std::string path = dir / name;
        WriteFile(path, EntryFileBytes(entries));
        return path;
    }

    // A translation of a template made by gettext's tools alone: msgen fills
    // every msgstr with its msgid, msgfilter turns letters to upper case.
    void Translate(const std::string& pot, const std::string& po)
    {
        const CToolResult en = RunTool("msgen " + Quoted(pot) + " -o " + Quoted(dir / "en.po"));
        ASSERT_EQ(en.status, 0) << en.output;
        const CToolResult fr = RunTool("msgfilter --keep-header -i " + Quoted(dir / "en.po") + " -o " + Quoted(po) +
                                       " tr a-z A-Z");
        ASSERT_EQ(fr.status, 0) << fr.output;
    }

    // Imports a PO written by hand into a template and returns the result.
    CRunResult ImportText(const std::string& poText, const std::vector<Entry>& templ)
    {
        WriteFile(dir / "in.po", poText);
        return Lumo({"import", dir / "in.po", "--template", Source("t.lumo", templ), "-o", dir / "out.lumo"});
    }

    TempDir dir;
};

const std::string kHeader = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

}  // namespace

TEST_F(Po, TemplateTranslatedByGettextToolsComesBackAsExpectedBytes)
{
    REQUIRE_TOOL("msgen");
    REQUIRE_TOOL("msgfilter");
    REQUIRE_TOOL("msgfmt");
    const std::string source = Source("game.lumo", kSource);
    CRunResult r = Lumo({"export", source, "--format", "pot", "-o", dir / "game.pot"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string pot = ReadFile(dir / "game.pot");
    EXPECT_NE(pot.find("#: game.lumo:1 game.lumo:3\nmsgctxt \"STR_START\"\nmsgid \"Start game\"\nmsgstr \"\""),
              std::string::npos)
        << pot;
    EXPECT_NE(pot.find("#. the extra text of the entry\n#: game.lumo:2\nmsgctxt \"STR_QUIT\""), std::string::npos);
    EXPECT_NE(pot.find("Content-Type: text/plain; charset=UTF-8"), std::string::npos);
    EXPECT_NE(pot.find("POT-Creation-Date: 2"), std::string::npos);
    CToolResult check = RunTool("msgfmt --check -o /dev/null " + Quoted(dir / "game.pot"));
    EXPECT_EQ(check.status, 0) << check.output;

    Translate(dir / "game.pot", dir / "fr.po");
    check = RunTool("msgfmt --check --statistics -o /dev/null " + Quoted(dir / "fr.po"));
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find(std::to_string(kSourceMessages) + " translated messages"), std::string::npos)
        << check.output;

    r = Lumo({"import", dir / "fr.po", "--template", source, "-o", dir / "fr.lumo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(kSourceMessages) + " translated, 0 fuzzy, 0 untranslated messages\n");
    EXPECT_EQ(ReadFile(dir / "fr.lumo"), EntryFileBytes(Upper(kSource)));

    // What msgcat and msgattrib rewrite is read back to the same result.
    for (const std::string tool : {"msgcat --no-wrap", "msgattrib --sort-output", "msgcat --width=20"}) {
        check = RunTool(tool + " " + Quoted(dir / "fr.po") + " -o " + Quoted(dir / "tool.po"));
        ASSERT_EQ(check.status, 0) << tool << ": " << check.output;
        r = Lumo({"import", dir / "tool.po", "--template", source, "-o", dir / "tool.lumo"});
        ASSERT_EQ(r.status, 0) << tool << ": " << r.err;
        EXPECT_EQ(ReadFile(dir / "tool.lumo"), EntryFileBytes(Upper(kSource))) << tool;
    }
}

TEST_F(Po, ExportFromATranslatedFilePairsWithTheSourceAndPassesMsgfmt)
{
    REQUIRE_TOOL("msgfmt");
    const std::string source = Source("game.lumo", kSource);
    std::vector<Entry> target = Upper(kSource);
    target.push_back({"STR_NEW", "Nouveau", ""});  // not in the source
    const std::string targetPath = Source("fr.lumo", target);
    CRunResult r = Lumo({"export", targetPath, "--source", source, "--language", "fr", "-o", dir / "fr.po"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "lumo: warning: " + targetPath +
                         ": target entry 8 (\"STR_NEW\") has a name the source does not have; it is left out\n");
    const std::string po = ReadFile(dir / "fr.po");
    EXPECT_NE(po.find("\"Language: fr\\n\""), std::string::npos) << po;
    EXPECT_NE(po.find("msgctxt \"STR_START\"\nmsgid \"Start game\"\nmsgstr \"START GAME\""), std::string::npos) << po;
    const CToolResult check = RunTool("msgfmt --check -o /dev/null " + Quoted(dir / "fr.po"));
    EXPECT_EQ(check.status, 0) << check.output;

    // And back: the target as it was, without the entry the source lacks.
    r = Lumo({"import", dir / "fr.po", "--template", source, "-o", dir / "back.lumo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "back.lumo"), EntryFileBytes(Upper(kSource)));

    // To standard output, the same bytes but for the header's dates.
    r = Lumo({"export", targetPath, "--source", source, "--format", "po", "--language", "fr"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.find("\n\n")), po.substr(po.find("\n\n")));
}

TEST_F(Po, MsgmergeAfterAGameUpdateKeepsTheTranslationsOfUnchangedTexts)
{
    REQUIRE_TOOL("msgen");
    REQUIRE_TOOL("msgfilter");
    REQUIRE_TOOL("msgmerge");
    const std::vector<Entry> v1 = {
        {"A", "Hello", ""}, {"B", "Bye", "Tip"}, {"C", "Menu", ""}, {"D", "Old text", ""}, {"E", "Removed", ""}};
    ASSERT_EQ(Lumo({"export", Source("v1.lumo", v1), "--format", "pot", "-o", dir / "v1.pot"}).status, 0);
    Translate(dir / "v1.pot", dir / "fr.po");

    // The update: an extra text and a data text change, entries are added,
    // moved and removed, and a known text turns up under a new name.
    const std::vector<Entry> v2 = {{"A", "Hello", ""},      {"B", "Bye", "Tip changed"}, {"F", "New", ""},
                                   {"C", "Menu", ""},       {"D", "New text", ""},       {"G", "Hello", ""}};
    const std::string v2Path = Source("v2.lumo", v2);
    ASSERT_EQ(Lumo({"export", v2Path, "--format", "pot", "-o", dir / "v2.pot"}).status, 0);
    const CToolResult merge =
        RunTool("msgmerge --quiet " + Quoted(dir / "fr.po") + " " + Quoted(dir / "v2.pot") + " -o " + Quoted(dir / "fr2.po"));
    ASSERT_EQ(merge.status, 0) << merge.output;

    const CRunResult r = Lumo({"import", dir / "fr2.po", "--template", v2Path, "-o", dir / "fr2.lumo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("3 translated, ", 0), 0u) << r.out;
    // Whatever msgmerge guessed for the changed texts is fuzzy and not used.
    EXPECT_EQ(ReadFile(dir / "fr2.lumo"), EntryFileBytes({{"A", "HELLO", ""},
                                                          {"B", "BYE", "Tip changed"},
                                                          {"F", "New", ""},
                                                          {"C", "MENU", ""},
                                                          {"D", "New text", ""},
                                                          {"G", "Hello", ""}}));
}

TEST_F(Po, FuzzyObsoleteEmptyAndUnknownMessagesAreNotUsed)
{
    const std::string po = kHeader +
                           "#, fuzzy\nmsgctxt \"A\"\nmsgid \"One\"\nmsgstr \"Un\"\n\n"
                           "msgctxt \"A\"\nmsgid \"Two\"\nmsgstr \"Deux\"\n\n"
                           "msgctxt \"B\"\nmsgid \"Three\"\nmsgstr \"\"\n\n"
                           "msgctxt \"Z\"\nmsgid \"Elsewhere\"\nmsgstr \"Ailleurs\"\n\n"
                           "#~ msgctxt \"B\"\n#~ msgid \"Four\"\n#~ msgstr \"Quatre\"\n";
    const std::vector<Entry> templ = {{"A", "One", "Two"}, {"B", "Three", "Four"}, {"C", "", ""}};
    CRunResult r = ImportText(po, templ);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 translated, 1 fuzzy, 2 untranslated messages\n");
    EXPECT_NE(r.err.find("1 message matches no text of the template"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "out.lumo"), EntryFileBytes({{"A", "One", "Deux"}, {"B", "Three", "Four"}, {"C", "", ""}}));

    WriteFile(dir / "in.po", po);
    r = Lumo({"import", dir / "in.po", "--template", dir / "t.lumo", "--untranslated", "empty", "-o", dir / "e.lumo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "e.lumo"), EntryFileBytes({{"A", "", "Deux"}, {"B", "", ""}, {"C", "", ""}}));
}

TEST_F(Po, UnusableFilesAreRefusedWithTheLineAndNothingIsWritten)
{
    const std::vector<Entry> templ = {{"A", "One", ""}};
    struct CCase {
        std::string po, expected;
    } cases[] = {
        {kHeader + "msgctxt \"A\"\nmsgid \"One\"\nmsgid_plural \"Ones\"\nmsgstr[0] \"Un\"\nmsgstr[1] \"Uns\"\n",
         "line 8: the message msgctxt \"A\" msgid \"One\" has plural forms (msgid_plural)"},
        {"msgctxt \"A\"\nmsgid \"One\"\nmsgstr \"Un\"\n", "the file has no header entry (msgid \"\")"},
        {kHeader + "msgctxt \"Z\"\nmsgid \"x\"\nmsgstr \"y\"\n\nmsgctxt \"A\"\nmsgid \"One\"\nmsgstr \"\xe4\xb8\xad\"\n",
         "line 11: the translation of msgctxt \"A\" msgid \"One\": the character U+4E2D (\xe4\xb8\xad) has no "
         "Windows-1252 byte"},
        {"msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n",
         "the header's Content-Type gives the character set \"ISO-8859-1\"; lumo reads UTF-8 (convert it with: msgconv --to-code=UTF-8)"},
        {"msgid \"\"\nmsgstr \"Project-Id-Version: x\\n\"\n", "the header names no character set"},
        {kHeader + "msgctxt \"A\"\nmsgid \"One\nmsgstr \"Un\"\n", "line 7: end-of-line within string"},
        {kHeader + "msgctxt \"A\"\nmsgid \"One\"\nmsgstr \"Un\"\n\nmsgctxt \"A\"\nmsgid \"One\"\nmsgstr \"Eins\"\n",
         "line 10: duplicate message definition"},
    };
    for (const CCase& c : cases) {
        const CRunResult r = ImportText(c.po, templ);
        EXPECT_EQ(r.status, 1) << c.po;
        EXPECT_NE(r.err.find("lumo: " + (dir / "in.po") + ": " + c.expected), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was written to " + (dir / "out.lumo")), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.lumo"));
    }
    // The template is read while the translation is: a damaged one is still
    // the one thing reported, whatever the translation holds.
    for (const CCase& c : {cases[0], cases[5], CCase{kHeader + "msgctxt \"A\"\nmsgid \"One\"\nmsgstr \"Un\"\n", ""}}) {
        std::string damaged = EntryFileBytes(templ);
        damaged.resize(damaged.size() - 3);
        WriteFile(dir / "cut.lumo", damaged);
        WriteFile(dir / "in.po", c.po);
        const CRunResult r = Lumo({"import", dir / "in.po", "--template", dir / "cut.lumo", "-o", dir / "out.lumo"});
        EXPECT_EQ(r.status, 1) << c.po;
        EXPECT_EQ(r.err.rfind("lumo: " + (dir / "cut.lumo") + ": damaged: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("in.po"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.lumo"));
    }
}

TEST_F(Po, OptionsThatDoNotFitAreUsageErrors)
{
    const std::string source = Source("game.lumo", kSource);
    WriteFile(dir / "fr.po", kHeader);
    struct CCase {
        std::vector<std::string> args;
        std::string expected;
    } cases[] = {
        {{"import", dir / "fr.po", "-o", dir / "x.lumo"}, "add --template SOURCE.lumo"},
        {{"import", dir / "fr.po", "--template", source, "--untranslated", "keep", "-o", dir / "x.lumo"},
         "unknown value 'keep' for --untranslated"},
        {{"import", dir / "fr.po", "--template", source, "-o", source}, "is the template itself"},
        {{"import", dir / "fr.po", "--format", "json", "--template", source, "-o", dir / "x.lumo"},
         "--template and --untranslated go with"},
        {{"export", source, "--source", source, "--format", "pot"}, "a template has no translations"},
        {{"export", source, "--source", source}, "--source, --language and --source-language go with"},
        {{"export", source, "--format", "po", "--language", "fr\"x"}, "is not a language code"},
        {{"export", source, "--format", "mo"}, "unknown format 'mo' (use json, csv, pot, po or xliff)"},
        {{"export", source, "--format", "pot", "-o", source}, "is the source file itself"},
    };
    for (const CCase& c : cases) {
        const CRunResult r = Lumo(c.args);
        EXPECT_EQ(r.status, 2) << c.expected;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "x.lumo"));
    EXPECT_EQ(ReadFile(source), EntryFileBytes(kSource));
}

namespace {

// gettext separates a message's context from its text with 0x04: a text
// holding it would make a PO file that no PO reader takes back.
TEST_F(Po, ATextHoldingTheContextSeparatorIsRefusedAndNothingIsWritten)
{
    const std::string source = Source("sep.lumo", {{"A", "ok", ""}, {"B", std::string("x\x04y"), ""}});
    WriteFile(dir / "out.pot", "keep me");
    const CRunResult r = Lumo({"export", source, "--format", "pot", "-o", dir / "out.pot"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the data text of entry 2 holds the control character U+0004"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "out.pot"), "keep me");
    const std::string named = Source("sepname.lumo", {{std::string("N\x04"), "t", ""}});
    EXPECT_NE(Lumo({"export", named, "--format", "po"}).err.find("the name of entry 1 holds"), std::string::npos);
}

}  // namespace
