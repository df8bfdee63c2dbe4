// SPDX-License-Identifier: MIT
// XLIFF 1.2 through the lumo commands, checked with xmllint.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lumo_cli_test;

namespace {

class Xliff : public ::testing::Test {
protected:
    std::string Entries(const std::string& name, const std::vector<Entry>& entries)
    {
        const std::string path = dir / name;
        WriteFile(path, EntryFileBytes(entries));
        return path;
    }

    CRunResult ImportText(const std::string& xliff, const std::vector<Entry>& templ)
    {
        WriteFile(dir / "in.xlf", xliff);
        return Lumo({"import", dir / "in.xlf", "--template", Entries("t.lumo", templ), "-o", dir / "out.lumo"});
    }

    TempDir dir;
};

const std::string kOpen = "<?xml version=\"1.0\"?>\n<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">"
                          "<file original=\"t\" datatype=\"plaintext\" source-language=\"en\"><body>\n";
const std::string kClose = "</body></file></xliff>\n";

}  // namespace

TEST_F(Xliff, RoundTripKeepsEveryByteIncludingControlCharacters)
{
    // Every byte but 0x00 somewhere, C0 controls between letters, CR LF, a
    // repeated name, and texts that only XML's escapes can carry.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::vector<Entry> source = {{"A", "Start", "a\x01" "b\x08\x0b\x0c\x0e\x1f" "c"},
                                       {"B", all, "<tag> & \"quotes\" 'too'"},
                                       {"A", "Again\r\n\tindented  ", ""},
                                       {"\xe9t\xe9 \x80", "caf\xe9", "]]>"},
                                       {"C", "", ""}};
    const std::vector<Entry> target = {{"A", "D\xe9marrer", "\x1f" "x\x01"},
                                       {"B", "tout: " + all, "<balise> & \"guillemets\""},
                                       {"A", "Encore\r\n\t", ""},
                                       {"\xe9t\xe9 \x80", "", "]]>!"},
                                       {"C", "", ""}};
    const std::string sourcePath = Entries("game.lumo", source);
    CRunResult r = Lumo({"export", Entries("fr.lumo", target), "--source", sourcePath, "--language", "fr",
                         "--source-language", "en-US", "-o", dir / "fr.xlf"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string xliff = ReadFile(dir / "fr.xlf");
    EXPECT_NE(xliff.find("<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">"), std::string::npos);
    EXPECT_NE(xliff.find("source-language=\"en-US\" target-language=\"fr\""), std::string::npos);
    EXPECT_NE(xliff.find("<trans-unit id=\"1\" resname=\"A\" approved=\"yes\" xml:space=\"preserve\">\n"
                         "  <source>Start</source>\n"
                         "  <target state=\"translated\">D\xc3\xa9marrer</target>"),
              std::string::npos)
        << xliff;
    EXPECT_NE(xliff.find("a<ph id=\"1\" ctype=\"x-lumo-control\">U+0001</ph>b<ph id=\"2\" ctype=\"x-lumo-control\">U+0008</ph>"),
              std::string::npos);
    if (HaveTool("xmllint")) {
        const CToolResult lint = RunTool("xmllint --noout " + Quoted(dir / "fr.xlf"));
        EXPECT_EQ(lint.status, 0) << lint.output;
    }

    r = Lumo({"import", dir / "fr.xlf", "--template", sourcePath, "-o", dir / "back.lumo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "6 translated, 0 fuzzy, 1 untranslated messages\n");
    std::vector<Entry> expected = target;
    expected[3].data = source[3].data;  // untranslated: the source text stays
    EXPECT_EQ(ReadFile(dir / "back.lumo"), EntryFileBytes(expected));
}

TEST_F(Xliff, StatesDecideWhatIsUsedAndToolMarkupIsRead)
{
    const std::string xliff =
        kOpen +
        "<trans-unit id=\"1\" resname=\"A\"><source>One</source><target state=\"final\">Un</target></trans-unit>\n"
        "<trans-unit id=\"2\" resname=\"A\"><source>Two</source><target state=\"needs-review-translation\">Deux"
        "</target></trans-unit>\n"
        "<trans-unit id=\"3\" resname=\"B\"><source>Three</source><target state=\"new\">Trois</target></trans-unit>\n"
        "<group><trans-unit id=\"4\" resname=\"B\"><source>Four</source>"
        "<seg-source><mrk mtype=\"seg\" mid=\"0\">Four</mrk></seg-source>"
        "<target><mrk mtype=\"seg\" mid=\"0\">Qu<g id=\"1\">a</g>tre<![CDATA[ <&> ]]></mrk></target>"
        "<alt-trans><source>Four</source><target>Vier</target></alt-trans><note>n</note></trans-unit></group>\n"
        "<trans-unit id=\"5\" resname=\"C\"><source>Five</source></trans-unit>\n"
        "<trans-unit id=\"6\"><source>No name</source><target>Sans nom</target></trans-unit>\n" +
        kClose;
    const CRunResult r = ImportText(xliff, {{"A", "One", "Two"}, {"B", "Three", "Four"}, {"C", "Five", ""}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 translated, 2 fuzzy, 1 untranslated messages\n");
    EXPECT_EQ(ReadFile(dir / "out.lumo"),
              EntryFileBytes({{"A", "Un", "Two"}, {"B", "Three", "Quatre <&> "}, {"C", "Five", ""}}));
    EXPECT_NE(r.err.find("1 message matches no text of the template"), std::string::npos) << r.err;
}

TEST_F(Xliff, UnusableFilesAreRefusedWithTheLineAndNothingIsWritten)
{
    const std::vector<Entry> templ = {{"A", "One", ""}};
    struct CCase {
        std::string xliff, expected;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<xliff version=\"2.0\" xmlns=\"urn:oasis:names:tc:xliff:document:2.0\"/>",
         "line 2: this is not XLIFF 1.2"},
        {kOpen + "<trans-unit id=\"1\" resname=\"A\"><source>One</source>\n<target>Un</trarget></trans-unit>" + kClose,
         "line 4: malformed XML"},
        {kOpen + "<trans-unit id=\"1\" resname=\"A\"><source>One</source>\n<target>U<x id=\"1\"/>n</target></trans-unit>" +
             kClose,
         "line 4: the inline element <x> is not one lumo writes"},
        {kOpen + "<trans-unit id=\"1\" resname=\"A\"><source>One</source>\n<target><ph id=\"1\">U+0041</ph></target>"
                 "</trans-unit>" + kClose,
         "line 4: a <ph> placeholder holds \"U+0041\""},
        {kOpen + "<trans-unit id=\"7\" resname=\"A\"><source>One</source>\n<target>\xe4\xb8\xad</target></trans-unit>" +
             kClose,
         "line 4: the target of unit \"7\" (resname \"A\"): the character U+4E2D (\xe4\xb8\xad) has no Windows-1252 byte"},
        {"", "the file is empty"},
    };
    for (const CCase& c : cases) {
        const CRunResult r = ImportText(c.xliff, templ);
        EXPECT_EQ(r.status, 1) << c.xliff;
        EXPECT_NE(r.err.find("lumo: " + (dir / "in.xlf") + ": " + c.expected), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.lumo"));
    }
}

TEST_F(Xliff, ANameOrTextXmlCannotCarryIsRefusedAndNothingWritten)
{
    const std::string source = Entries("game.lumo", {{"OK", "a", ""}, {"BAD\x02", "b", ""}});
    WriteFile(dir / "old.xlf", "kept");
    CRunResult r = Lumo({"export", source, "-o", dir / "old.xlf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumo: " + source + ": the name of entry 2 holds the control character U+0002, which an XML "
                                          "attribute cannot carry; export it as PO instead; nothing was exported\n");

    // 3,400,000 euro signs are 10,200,000 bytes of UTF-8, beyond what XML readers take as one text.
    const std::string big = Entries("big.lumo", {{"A", "x", ""}, {"B", "y", std::string(3400000, '\x80')}});
    r = Lumo({"export", big, "-o", dir / "old.xlf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the extra text of entry 2 is 10200000 bytes long in UTF-8; XML readers refuse a text over "
                         "10000000 bytes"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFile(dir / "old.xlf"), "kept");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"big.lumo", "game.lumo", "old.xlf"}));
}

TEST_F(Xliff, ReferencesCommentsAndEmptyElementsReadAsXmlMeansThem)
{
    // "&" in an attribute, by entity and by character reference; text split
    // by a comment, an instruction and CDATA; units and texts with no content.
    const std::string xliff =
        kOpen +
        "<trans-unit id=\"1\" resname=\"A&amp;B &#38; &lt;&#60;&quot;\"><source>x &amp; y</source>"
        "<target>X &#38; Y</target></trans-unit>\n"
        "<trans-unit/>\n<trans-unit id=\"2\" resname=\"E\"/>\n"
        "<trans-unit id=\"3\" resname=\"C\"><source>Three<!-- c --> <?pi x?>end</source>"
        "<target>Trois<![CDATA[ & ]]><ph id=\"1\" ctype=\"x-lumo-control\">U+0001</ph><ph/></target></trans-unit>\n"
        "<trans-unit id=\"4\" resname=\"D\"><source/><target>vide</target></trans-unit>\n" +
        kClose;
    CRunResult r = ImportText(xliff, {{"A&B & <<\"", "x & y", ""}, {"C", "Three end", ""}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("in.xlf: line 6: a <ph> placeholder holds \"\""), std::string::npos) << r.err;

    const std::size_t at = xliff.find("<ph/>");
    r = ImportText(xliff.substr(0, at) + xliff.substr(at + 5), {{"A&B & <<\"", "x & y", ""}, {"C", "Three end", ""}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 translated, 0 fuzzy, 0 untranslated messages\n");
    EXPECT_NE(r.err.find("1 message matches no text of the template"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "out.lumo"), EntryFileBytes({{"A&B & <<\"", "X & Y", ""}, {"C", "Trois & \x01", ""}}));
}
