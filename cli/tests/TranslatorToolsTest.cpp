// SPDX-License-Identifier: MIT
// What translators' tools do to lumo's files and lumo to theirs: Translate
// Toolkit's own reader, files rewritten by other editors, and the files an
// import must refuse rather than half-read.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lumo_cli_test;

namespace {

const std::string kXliffOpen =
    "<?xml version=\"1.0\"?>\n<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">"
    "<file original=\"t\" datatype=\"plaintext\" source-language=\"en\"><body>\n";
const std::string kXliffClose = "</body></file></xliff>\n";
const std::string kPoHeader = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

TEST(TranslatorTools, TranslateToolkitReadsLumosTranslationsAsTranslated)
{
    if (!HaveTool("pocount"))
        GTEST_SKIP() << "pocount is not installed (Debian package: translate-toolkit)";
    TempDir dir;
    WriteFile(dir / "game.lumo", EntryFileBytes({{"A", "One", "Two"}, {"B", "Three", "Four"}}));
    WriteFile(dir / "fr.lumo", EntryFileBytes({{"A", "Un", "Deux"}, {"B", "Trois", ""}}));
    ASSERT_EQ(Lumo({"export", dir / "fr.lumo", "--source", dir / "game.lumo", "-o", dir / "fr.xlf"}).status, 0);
    // Translated, source words, target words, fuzzy, ..., untranslated.
    const CToolResult count = RunTool("pocount --csv " + Quoted(dir / "fr.xlf") + " | tail -n 1");
    ASSERT_EQ(count.status, 0) << count.output;
    EXPECT_EQ(count.output.substr(count.output.find(',')), ",  3, 3, 3, 0, 0, 1, 1, 4, 4 \n") << count.output;
}

struct CImportCase {
    const char* what;
    std::string fileName, content;
    std::vector<Entry> templ;
    int status;
    std::string message;       // in standard error
    std::vector<Entry> result;  // written when the status is 0
};

TEST(TranslatorTools, ImportsMatchWhatOtherToolsWroteAndRefuseWhatTheyCannotUse)
{
    const std::vector<Entry> templ = {{"A", "One", "Two"}, {"B", "Line\r\nbreak", "Old\rMac"}};
    const std::string bomb = [] {
        std::string xliff = "<?xml version=\"1.0\"?>\n<!DOCTYPE xliff [\n<!ENTITY e \"" + std::string(100000, 'y') +
                            "\">\n]>\n" + kXliffOpen.substr(kXliffOpen.find("<xliff")) + "<trans-unit id=\"1\" resname=\"";
        for (int i = 0; i < 2000; ++i)
            xliff += "&e;";
        return xliff + "\"><source>One</source><target>Un</target></trans-unit>\n" + kXliffClose;
    }();
    const CImportCase cases[] = {
        {"Translate Toolkit's approved units, with or without a state", "a.xlf",
         kXliffOpen + "<trans-unit id=\"1\" resname=\"A\" approved=\"yes\"><source>One</source><target>Un</target>"
                      "</trans-unit>\n<trans-unit id=\"2\" resname=\"A\" approved=\"yes\"><source>Two</source>"
                      "<target state=\"needs-review-translation\">Deux</target></trans-unit>\n" + kXliffClose,
         {{"A", "One", "Two"}}, 0, "", {{"A", "Un", "Deux"}}},
        {"raw CRs that XML reads as LF, as Poedit writes them back", "b.xlf",
         kXliffOpen + "<trans-unit id=\"1\" resname=\"B\"><source>Line\r\nbreak</source><target>Ligne\nbrisée</target>"
                      "</trans-unit>\n<trans-unit id=\"2\" resname=\"B\"><source>Old\rMac</source><target>Vieux\rMac"
                      "</target></trans-unit>\n" + kXliffClose,
         templ, 0, "", {{"A", "One", "Two"}, {"B", "Ligne\r\nbris\xe9" "e", "Vieux\rMac"}}},
        {"a unit found by the id lumo gave it when its source changed, not when its name did", "c.xlf",
         kXliffOpen + "<trans-unit id=\"2\" resname=\"A\"><source>Two!</source><target>Deux</target></trans-unit>\n"
                      "<trans-unit id=\"1\" resname=\"B\"><source>Uno</source><target>Un</target></trans-unit>\n"
                      "<trans-unit id=\"3\" resname=\"B\"><source>Line break</source><target>Ligne</target>"
                      "</trans-unit>\n" + kXliffClose,
         templ, 0, "2 units' sources differ from the template's text", {{"A", "One", "Deux"}, {"B", "Ligne", "Old\rMac"}}},
        {"a NUL in a PO translation", "d.po", kPoHeader + "msgctxt \"A\"\nmsgid \"One\"\nmsgstr \"Caf\\0x\"\n", templ, 1,
         "line 6: a text holds a NUL character (U+0000", {}},
        {"a NUL written in hex, on a continued line", "e.po",
         kPoHeader + "msgctxt \"A\"\nmsgid \"One\"\nmsgstr \"\"\n\"a\\\\0 is fine, \\x00 is not\"\n", templ, 1,
         "line 7: a text holds a NUL character", {}},
        {"an attribute default of a DOCTYPE", "f.xlf",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE xliff [\n<!ATTLIST target state CDATA \"needs-review-translation\">\n]>\n" +
             kXliffOpen.substr(kXliffOpen.find("<xliff")) +
             "<trans-unit id=\"1\" resname=\"A\"><source>One</source><target>Un</target></trans-unit>\n" + kXliffClose,
         templ, 1, "line 2: the file has a document type declaration", {}},
        {"2,000 times a 100 KB entity in an attribute", "g.xlf", bomb, templ, 1,
         "line 2: the file has a document type declaration", {}},
        {"a translation of another file", "h.po",
         kPoHeader + "msgctxt \"X\"\nmsgid \"One\"\nmsgstr \"Un\"\n\nmsgctxt \"A\"\nmsgid \"Uno\"\nmsgstr \"Un\"\n", templ,
         1, "none of its 2 messages matches a text of the template", {}},
        {"a target over the XML reader's limit", "i.xlf",
         kXliffOpen + "<trans-unit id=\"1\" resname=\"A\"><source>One</source>\n<target>" + std::string(10500000, 'x') +
             "</target></trans-unit>\n" + kXliffClose,
         templ, 1, "line 4: a text or attribute value is over 10000000 bytes, more than XML readers take", {}},
    };
    for (const CImportCase& c : cases) {
        TempDir dir;
        WriteFile(dir / c.fileName, c.content);
        WriteFile(dir / "t.lumo", EntryFileBytes(c.templ));
        const CRunResult r = Lumo({"import", dir / c.fileName, "--template", dir / "t.lumo", "-o", dir / "out.lumo"});
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << "\n" << r.err;
        if (c.status == 0)
            EXPECT_EQ(ReadFile(dir / "out.lumo"), EntryFileBytes(c.result)) << c.what;
        else
            EXPECT_FALSE(std::filesystem::exists(dir / "out.lumo")) << c.what;
    }
}

TEST(TranslatorTools, ATextSharedByManyEntriesIsDescribedWithTheirCount)
{
    TempDir dir;
    std::vector<Entry> entries(95, Entry{"SAME", "Shared", ""});
    entries.push_back({"ONE", "Both", "Both"});
    WriteFile(dir / "game.lumo", EntryFileBytes(entries));
    ASSERT_EQ(Lumo({"export", dir / "game.lumo", "--format", "pot", "-o", dir / "game.pot"}).status, 0);
    const std::string pot = ReadFile(dir / "game.pot");
    EXPECT_NE(pot.find("#. the data text of these 95 entries\n#. (45 of them not listed)\n"), std::string::npos) << pot;
    EXPECT_NE(pot.find("#. the data and the extra text of the entry\n#: game.lumo:96\n"), std::string::npos) << pot;
    ASSERT_EQ(Lumo({"export", dir / "game.lumo", "--format", "xliff", "-o", dir / "game.xlf"}).status, 0);
    const std::string xliff = ReadFile(dir / "game.xlf");
    EXPECT_NE(xliff.find("The data text of these 95 entries: game.lumo:1 game.lumo:2 "), std::string::npos);
    EXPECT_NE(xliff.find(" game.lumo:50 (45 more not listed)</note>"), std::string::npos) << xliff;
}

}  // namespace
