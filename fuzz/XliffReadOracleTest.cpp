// SPDX-License-Identifier: MIT
// lumo's own XLIFF reader (its XML scanner) against libxml2's SAX2 parser,
// the oracle: for the same bytes the same translations and warnings, or
// both refuse (lumo's own refusals in the same words). A table of tricky
// places, documents at libxml2's limits, random documents, and the seeds.
#include "CorpusFiles.h"
#include "XliffReadCheck.h"

#include "cli/TranslationFormats.h"
#include "cli/XliffUnits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace lumo_fuzz;
using namespace std::string_literals;

namespace {

const std::string kNamespace = "urn:oasis:names:tc:xliff:document:1.2";

struct CDocument {
    std::string declaration = "<?xml version=\"1.0\"?>\n", prolog, rootAttributes, between;
    std::string unitAttributes = " id=\"1\" resname=\"A\"", source = "One", targetAttributes, target = "Un", epilog;

    std::string Text() const
    {
        return declaration + prolog + "<xliff version=\"1.2\" xmlns=\"" + kNamespace + "\"" + rootAttributes +
               "><file><body>" + between + "<trans-unit" + unitAttributes + ">\n<source>" + source +
               "</source>\n<target" + targetAttributes + ">" + target + "</target></trans-unit></body></file></xliff>" +
               epilog;
    }
};

// Each text in every place a text can go.
std::vector<std::string> Placed(const std::vector<std::string>& texts)
{
    std::vector<std::string> documents;
    for (const std::string& text : texts) {
        CDocument d;
        d.target = text;
        documents.push_back(d.Text());
        d = {};
        d.source = text;
        documents.push_back(d.Text());
        d = {};
        d.between = text;
        documents.push_back(d.Text());
        d = {};
        d.prolog = text;
        documents.push_back(d.Text());
        d = {};
        d.epilog = text;
        documents.push_back(d.Text());
        d = {};
        std::string quoted = text;
        for (std::size_t at = 0; (at = quoted.find('"', at)) != std::string::npos; at += 6)
            quoted.replace(at, 1, "&quot;");
        d.unitAttributes = " id=\"1\" resname=\"" + quoted + "\"";
        documents.push_back(d.Text());
    }
    return documents;
}

TEST(XliffReadOracle, TrickyTextsReadAsLibxml2ReadsThem)
{
    const std::vector<std::string> texts = {
        "&amp;&lt;&gt;&quot;&apos;", "&#38;&#x26;", "&foo;", "&#0;", "&#X41;", "&#x41;", "&#0000065;", "&#xD800;",
        "&#xFFFE;", "&#x10FFFF;", "&#x110000;", "&#99999999999;", "&#x;", "&#;", "&#x41", "&amp", "& amp;", "&a:b;",
        "]]>", "]]", "]>", "]]]>", "<![CDATA[x]]]>", "<![CDATA[]]>", "<![cdata[x]]>", "<![CDATA[\r\n\r]]>",
        "<![CDATA[&amp;<a>]]>", "\x01", "\x7f\xc2\x80", "\xc2\x85", "\xef\xbf\xbe", "\xef\xbf\xbf", "\xed\xa0\x80",
        "\xf0\x9f\x98\x80", "\x0c", "\r\n", "\r", "a\rb", "a\r\nb\n\rc", "\r\r\n", "<!-- c -->", "<!-- c -- d -->",
        "<!---->", "<!-- c --->", "<!--->", "<?pi?>", "<?pi x?>", "<?pi\tx ?>", "<?xml x?>", "<?XmL x?>",
        "<?xml-stylesheet x?>", "<?xmlx?>", "<?a:b x?>", "<?pi\x01?>", "<?pi x", "\xc3\xa9", "\xe2\x82\xac",
        "\xe4\xb8\xad", "&#x20AC;", "&#128;", "&#x81;", "&#x85;", "&#233;&#xe9;&#xE9;", "\xc2\x81",
        "<ph id=\"1\" ctype=\"x-lumo-control\">U+0007</ph>", "<ph>U+0041</ph>", "<ph>U+001f</ph>", "<ph>U+0000</ph>",
        "<ph>u+0007</ph>", "<ph> U+0007</ph>", "<ph>U+07</ph>", "<ph><g/></ph>", "<g id=\"1\">x</g>",
        "<mrk mtype=\"seg\">y<g>z</g></mrk>", "<x/>", "<ph/>", "\0"s, "a\0b"s, "&#x000000000000000000041;",
        "&#x0000000000000000000000000000041;", "&#x00000000000000000000a;", "&#x000000000000000000000a;",
        "&#x0000000000000000000000a;", "&#x00000000000000000000000a;", "&#00000000000000000000000000000065;",
        "\xc0\x80", "\xc1\xbf", "\xe0\x80\x80", "\xf4\x90\x80\x80", "\xf0\x80\x80\x80", "\xf8\x88\x80\x80\x80", "\x80",
        "\xc3", "\xc3(", "\xc3\xa9\xc3", "\xc2\xa0\xc2\x9f", "<a xmlns='u:x'>\xc3\xa9</a>", "<b:c xmlns:b='u:x'/>",
        "<b:c/>", "<:c/>", "<c:/>", "<a></a >", "<a></ a>", "<a/ >", "< a/>", "<a\x01/>", "<a\xc3\xa9/>",
        "<\xc2\xb7/>", "<a\xcc\x80/>"};
    for (const std::string& document : Placed(texts))
        EXPECT_EQ(CompareXliffReaders(document), "") << document;
}

TEST(XliffReadOracle, AttributesAndNamespacesReadAsLibxml2ReadsThem)
{
    const std::vector<std::string> attributes = {
        " a=\"1\" a=\"2\"", " a=\"1\"a=\"2\"", " a=1", " a=\"<\"", " a=\">\"", " a=\"&\"", " a = \"x\" ",
        " a='\"'", " a=\"\t\n\r\r\nx\"", " a=\"&#9;&#10;&#13;\"", " xml:space=\"preserve\"", " xml:space=\"bogus\"",
        " xml:lang=\"fr\"", " xmlns:p=\"u:x\" p:a=\"1\"", " p:a=\"1\"", " xmlns:p=\"u:x\" xmlns:q=\"u:x\" p:a=\"1\" q:a=\"2\"",
        " xmlns:p=\"u:x\" p:a=\"1\" a=\"2\"", " xmlns:p=\"\"", " xmlns:xml=\"http://www.w3.org/XML/1998/namespace\"",
        " xmlns:xml=\"http://www.w3.org/XML/1998/namespace\" xmlns:xml=\"http://www.w3.org/XML/1998/namespace\"",
        " xmlns:xml=\"u:x\"", " xmlns:p=\"http://www.w3.org/XML/1998/namespace\"", " xmlns:xmlns=\"u:x\"",
        " xmlns:p=\"http://www.w3.org/2000/xmlns/\"", " xmlns:p=\"u:x\" xmlns:p=\"u:x\"", " xmlns:p=\"a b\"",
        " xmlns:p=\"rel\"", " xmlns:p=\"#frag\"", " xmlns:p=\"http://[::1]:80/x?y#z[]\"", " xmlns:p=\"http://h:/x\"",
        " xmlns:p=\"http://u@h:8/x\"", " xmlns:p=\"u://h:2147483647\"", " xmlns:p=\"u://h:2147483648\"", " xmlns:p=\"http://[::1\"", " xmlns:p=\"a:b:c\"", " xmlns:p=\"%41\"",
        " xmlns:p=\"%4\"", " xmlns:p=\"a&amp;b\"", " xmlns:p=\"&#x75;:x\"", " xmlns:p=\":x\"", " xmlns:p=\"a/b:c\"",
        " xmlns:p=\"//\"", " xmlns:p=\"?q\"", " xmlns:p=\"x?[\"", " xmlns:p=\"x#[\"", " xmlns:p=\"/a//b\"",
        " xmlns:p=\"u:x\xc3\xa9\"", " xmlns=\"\"", " xmlns=\"u:other\"", " xmlns=\"a b\"",
        " xmlns=\"http://www.w3.org/XML/1998/namespace\"", " xmlns=\"http://www.w3.org/2000/xmlns/\"",
        " xmlns=\"\" xmlns=\"\"", " a:b:c=\"1\"", " :a=\"1\"", " a:=\"1\"", " \xc3\xa9=\"1\"", " \xc2\xb7" "a=\"1\"",
        " a\xc2\xb7=\"1\"", " a\xcc\x80=\"1\"", " _a=\"1\"", " -a=\"1\"", " 1a=\"1\"", " a-b.c_d=\"1\"",
        " a=\"\xc2\x85\"", " a=\"\x01\"", " a=\"&#0;\"", " a=\"&#x26;&#38;&amp;\"", " a=\"\xef\xbf\xbe\"",
        " resname=\"B\"", " approved=\"yes\"", " approved=\"no\" state=\"x\"", " p:resname=\"B\" xmlns:p=\"u:x\""};
    for (const std::string& attribute : attributes) {
        CDocument d;
        d.rootAttributes = attribute;
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
        d = {};
        d.unitAttributes += attribute;
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
        d = {};
        d.targetAttributes = attribute;
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
    }
}

TEST(XliffReadOracle, DeclarationsAndDoctypesReadAsLibxml2ReadsThem)
{
    const std::vector<std::string> declarations = {
        "", "<?xml version=\"1.0\"?>", " <?xml version=\"1.0\"?>", "<?xml version=\"1.1\"?>", "<?xml version=\"2.0\"?>",
        "<?xml version=\"1.\"?>", "<?xml version=\"1.0a\"?>", "<?xml version='1.0'?>", "<?xml version = \"1.0\" ?>",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>", "<?xml version=\"1.0\" encoding=\"UTF8\"?>",
        "<?xml version=\"1.0\" encoding=\"latin1\"?>", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
        "<?xml version=\"1.0\" encoding=\"bogus\"?>", "<?xml version=\"1.0\" encoding=\"1bogus\"?>",
        "<?xml version=\"1.0\" standalone=\"yes\"?>", "<?xml version=\"1.0\" standalone=\"maybe\"?>",
        "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"UTF-8\"?>", "<?xml version=\"1.0\"encoding=\"UTF-8\"?>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"standalone=\"yes\"?>", "<?xml encoding=\"UTF-8\"?>", "<?xml?>",
        "<?xml ?>", "<?XML version=\"1.0\"?>", "<?xml-foo bar?>", "<?xml\tversion=\"1.0\"?>", "<?xml version=\"1.0\"\n?>",
        "<?xml version=\"1.0\" >", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"  ?>",
        "\xef\xbb\xbf<?xml version=\"1.0\"?>", "\xef\xbb\xbf", "\xef\xbb\xbf\xef\xbb\xbf", "<!DOCTYPE xliff>",
        "<!DOCTYPE xliff SYSTEM \"x\">", "<!DOCTYPE xliff SYSTEM>", "<!DOCTYPE xliff PUBLIC \"a\" \"b\">",
        "<!DOCTYPE xliff PUBLIC \"a\">", "<!DOCTYPE xliff PUBLIC \"a\"\"b\">", "<!DOCTYPE xliff PUBLIC \"<\" \"b\">",
        "<!DOCTYPE>", "<!DOCTYPE xliff [<!ENTITY e \"x\">]>", "<!-- x --><!DOCTYPE xliff>", "<!DOCTYPExliff>",
        "<!DOCTYPE a:b:c>", "<!DOCTYPE xliff SYSTEMx>", "<!DOCTYPE \xc3\xa9>"};
    for (const std::string& declaration : declarations) {
        for (const char* after : {"", "\n"}) {
            CDocument d;
            d.declaration = declaration + after;
            EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
        }
    }
    for (const std::string& bytes :
         {std::string(""), std::string("   "), std::string("<xliff/>"), "<xliff xmlns=\"" + kNamespace + "\"/>",
          std::string("\xff\xfe<\0a\0/\0>\0", 10), std::string("<\0?\0x\0m\0", 8), std::string("\0<\0\0<xliff/>", 12),
          std::string("\x4c\x6f\xa7\x94"), "<x:xliff xmlns:x=\"" + kNamespace + "\"><x:file/></x:xliff>"})
        EXPECT_EQ(CompareXliffReaders(bytes), "") << bytes;
}

TEST(XliffReadOracle, UnitsAndTheirLinesAsLibxml2ReadsThem)
{
    std::string units;
    const char* states[] = {"", "new", "final", "translated", "needs-review-translation"};
    for (int i = 0; i < 20; ++i)
        units += "<trans-unit id=\"" + std::to_string(i) + "\" resname=\"A" + std::to_string(i % 3) +
                 "\"\n approved=\"" + (i % 7 ? "no" : "yes") + "\">\n<source>S" + std::to_string(i % 2) +
                 "</source>\n<target state=\"" + states[i % 5] + "\">T" + std::to_string(i) + "</target></trans-unit>\n";
    for (const std::string lineEnd : {"\n", "\r\n", "\r", "\n\r"}) {
        CDocument d;
        d.between = units;
        for (std::size_t at = 0; (at = d.between.find('\n', at)) != std::string::npos; at += lineEnd.size())
            d.between.replace(at, 1, lineEnd);
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
        d.target = "\xe4\xb8\xad";
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
        d.target = "<ph>U+0041</ph>";
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
        d.target = "x<x\n/>";
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
    }
    for (const std::size_t depth : {250, 255, 256, 257, 258}) {
        CDocument d;
        for (std::size_t i = 0; i < depth; ++i)
            d.between = "<group>" + d.between + "</group>";
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << depth;
    }

    for (const std::string& epilog : {"\0garbage"s, "\n<!-- c -->\0<junk"s, "<a/>"s, " x"s, "\n\t\r "s, "<?pi?>\0\xff"s}) {
        CDocument d;
        d.epilog = epilog;
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
    }
}

// A second reader starts where a unit seems to start, in the state the
// first unit started in; CompareXliffReaders starts it at each
// "<trans-unit" in turn. Where that guess is wrong (the place is inside a
// comment, a CDATA section, a value, another unit, or the open elements or
// namespaces differ there) the first reads on alone; where it holds, the
// second's units, warnings and refusal come in their place in the order.
TEST(XliffReadOracle, ReadingFromTwoPlacesReadsAsOne)
{
    const auto unit = [](int n, const std::string& source = "") {
        return "<trans-unit id=\"" + std::to_string(n) + "\" resname=\"R" + std::to_string(n % 4) + "\">\n<source>" +
               (source.empty() ? "S" + std::to_string(n % 3) : source) + "</source>\n<target>T" + std::to_string(n) +
               "</target></trans-unit>\n";
    };
    std::string units;
    for (int i = 0; i < 6; ++i)
        units += unit(i);
    const std::vector<std::string> betweens = {
        units,
        unit(1) + "<!-- " + unit(2) + " -->" + unit(3),
        unit(1) + "<?pi " + unit(2) + "?>" + unit(3),
        unit(1, "<![CDATA[" + unit(2) + "]]>") + unit(3),
        unit(1) + "<note a=\"" + unit(2).substr(0, 11) + "\"/>" + unit(3),
        unit(1) + "<group>" + unit(2) + "</group>" + unit(3),
        unit(1) + "<group xmlns:x=\"urn:x\">" + unit(2) + unit(3) + "</group>" + unit(4),
        unit(1) + "<group xmlns=\"urn:x\">" + unit(2) + "</group>" + unit(3),
        unit(1) + "<trans-unit id=\"2\" resname=\"R\">" + unit(3) + "<source>S</source></trans-unit>" + unit(4),
        unit(1) + "<trans-unit/>" + unit(3),
        unit(1) + "<trans-unit-x/>" + unit(3),
        unit(1) + "<trans-unit id=\"2\" resname=\"R\"><source>S" + unit(3) + "</source></trans-unit>" + unit(4),
        // Faults before and after the second place: the first one counts.
        unit(1) + "<note>&bad;</note>" + unit(2) + "<note>&worse;</note>" + unit(3),
        unit(1) + unit(2) + "<note>\x01</note>" + unit(3),
        unit(1) + unit(2) + "<trans-unit id=\"3\" resname=\"R\"><source>S</source><target><x/></target></trans-unit>" + unit(4),
        unit(1) + unit(2) + "<trans-unit id=\"3\" resname=\"R\"><source>S</source><target>\xe4\xb8\xad</target></trans-unit>",
        unit(1) + unit(2) + "</body></file></xliff>",
        unit(1) + "</body><body>" + unit(2) + unit(3),
        unit(1) + "</body><group>" + unit(2) + unit(3) + "</group><body>",
        unit(1) + "</body><body xmlns:x=\"urn:x\"><trans-unit x:a=\"1\"/>" + unit(2) + unit(3),
        unit(1) + "</body><body xmlns=\"urn:x\">" + unit(2) + "</body><body>" + unit(3),
        unit(1) + unit(2) + "</trans-unit>",
        // Repeated units on both sides: the warnings in order, with lines.
        units + units + units,
    };
    for (const std::string& between : betweens) {
        CDocument d;
        d.between = between;
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
        d.epilog = "<late/>";
        EXPECT_EQ(CompareXliffReaders(d.Text()), "") << d.Text();
    }
}

// Texts, values, comments, instructions, CDATA sections and names at
// libxml2's limits: 10,000,000 bytes, names 50,000.
TEST(XliffReadOracle, LimitsAreLibxml2s)
{
    constexpr std::size_t kMax = 10000000;
    for (const int d : {-1, 0, 1, 2}) {
        const std::size_t n = kMax + static_cast<std::size_t>(d + 8) - 8;
        std::vector<CDocument> documents(11);
        documents[0].unitAttributes = " id=\"1\" resname=\"" + std::string(n, 'x') + "\"";
        documents[1].unitAttributes = " id=\"1\" resname=\"" + std::string(n - 5, 'x') + "&amp;\"";
        documents[2].unitAttributes = " id=\"1\" resname=\"&amp;" + std::string(n - 5, 'x') + "\"";
        documents[3].unitAttributes = " id=\"1\" other=\"" + std::string(n - 2, 'x') + "\xc3\xa9\"";
        documents[4].target = std::string(n, 'x');
        documents[5].between = "<note>" + std::string(n, 'x') + "</note>";
        documents[6].target = "<![CDATA[" + std::string(n, 'x') + "]]>";
        documents[7].target = "<!--" + std::string(n, 'x') + "-->";
        documents[8].target = "<?pi " + std::string(n, 'x') + "?>";
        documents[9].between = "<" + std::string(50000 + static_cast<std::size_t>(d + 8) - 8, 'n') + "/>";
        documents[10].between = "<note>" + std::string(n / 2, 'x') + "&amp;" + std::string(n / 2, 'y') + "</note>";
        for (const CDocument& document : documents)
            EXPECT_EQ(CompareXliffReaders(document.Text()), "") << document.Text().substr(0, 300);
    }
    CDocument d;
    d.unitAttributes += " a=\"" + std::string(6000000, 'x') + "\" b=\"" + std::string(6000000, 'y') + "\"";
    EXPECT_EQ(CompareXliffReaders(d.Text()), "");
    d = {};
    d.target = std::string(6000000, 'x') + "<g>" + std::string(6000000, 'y') + "</g>";
    EXPECT_EQ(CompareXliffReaders(d.Text()), "");
    d = {};
    d.between = "<note>" + std::string(6000000, 'x') + "<![CDATA[]]>" + std::string(6000000, 'y') + "</note>";
    EXPECT_EQ(CompareXliffReaders(d.Text()), "");
}

// Documents of random pieces, most of them XLIFF, many broken on purpose.
TEST(XliffReadOracle, RandomDocumentsReadAsLibxml2ReadsThem)
{
    std::mt19937 random(20261209);
    const std::vector<std::string> pieces = {
        "<trans-unit id=\"1\" resname=\"A\">", "<trans-unit id=\"2\" resname=\"B\" approved=\"yes\">", "</trans-unit>",
        "<source>", "</source>", "<target>", "<target state=\"new\">", "<target state=\"final\">", "</target>",
        "<ph id=\"1\" ctype=\"x-lumo-control\">U+0007</ph>", "<ph>", "</ph>", "U+001F", "<g id=\"1\">", "</g>", "<mrk>",
        "</mrk>", "<group>", "</group>", "<note>", "</note>", "<x/>", "<![CDATA[", "]]>", "<!--", "-->", "<?pi ", "?>",
        "&amp;", "&lt;", "&#38;", "&#x80;", "&#233;", "&", ";", "<", ">", "/", "\"", "'", "=", " ", "\n", "\r", "\r\n",
        "\t", "\x01", "\x00", "caf\xc3\xa9", "\xc3", "\xa9", "\xe2\x82\xac", "\xe4\xb8\xad", "\xef\xbf\xbe", "x", "One",
        "Un", "xmlns:p=\"u:x\"", "p:", "xml:space=\"preserve\"", "xmlns=\"\"", "]]", "--", "<!DOCTYPE x>"};
    const auto piece = [&] { return pieces[random() % pieces.size()]; };
    // Texts long enough for lumo's reader to decode them sixteen bytes at a
    // time: Latin-1 and other characters, references, line ends, faults.
    const std::vector<std::string> characters = {
        "a", "b", " ", "\xc3\xa9", "\xc3\x80", "\xc3\xbf", "\xc2\xa0", "\xc2\xbf", "\xc2\x80", "\xc2\x9f",
        "\xe2\x82\xac", "\xe4\xb8\xad", "\xf0\x9f\x98\x80", "&amp;", "&#233;", "\r\n", "\r", "\n", "\t", "]",
        "]]", "\xc3", "\xa9", "\xc2", "\xc3\xc3\xa9", "\xff", "\x01"};
    for (int round = 0; round < 4000; ++round) {
        std::string body;
        const int nPieces = static_cast<int>(random() % 30);
        for (int i = 0; i < nPieces; ++i)
            body += piece();
        CDocument d;
        d.between = random() % 2 ? body : "";
        d.target = random() % 3 ? "Un" + body : body;
        if (round % 3 == 0) {
            // Mostly characters that decode, now and then one that does not.
            const bool bFaults = round % 2 == 0;
            std::string text;
            for (int i = static_cast<int>(random() % 200); i > 0; --i)
                text += characters[random() % (bFaults ? characters.size() : characters.size() - 8)];
            (random() % 2 ? d.target : d.source) = text;
        }
        std::string document = d.Text();
        // A few bytes changed, cut or doubled anywhere.
        for (int edits = static_cast<int>(random() % 3); edits > 0 && !document.empty(); --edits) {
            const std::size_t at = random() % document.size();
            switch (random() % 3) {
            case 0: document[at] = static_cast<char>(random()); break;
            case 1: document.erase(at, random() % 4); break;
            default: document.insert(at, piece()); break;
            }
        }
        ASSERT_EQ(CompareXliffReaders(document), "") << "round " << round << ": " << document;
    }
}

// A file as lumo import reads it: mapped, and read again by libxml2 when
// lumo's reader refuses it as not well-formed or not UTF-8, so that the
// message is libxml2's where the XML is at fault.
TEST(XliffReadOracle, FilesAreRefusedInTheWordsOfWhoeverFindsTheFault)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "lumo-xliff-read-test.xlf";
    CDocument latin1;
    latin1.declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
    latin1.target = "caf\xe9";
    CDocument shiftJis = latin1;
    shiftJis.declaration = "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?>\n";
    shiftJis.target = "\x81\x00";
    CDocument mismatched;
    mismatched.target = "\nUn</trarget>";
    // Past the pages lumo's reader gives back as it goes, a repeated unit,
    // whose line is counted afterwards.
    CDocument large;
    for (int i = 0; large.between.size() < (std::size_t(20) << 20); ++i)
        large.between += "<trans-unit id=\"" + std::to_string(i) + "\" resname=\"N" + std::to_string(i) +
                         "\">\n<source>" + std::string(100, 'x') + "</source></trans-unit>\n";
    // The declaration is line 1; the units start on line 2.
    const std::size_t nRepeatLine = 2 + static_cast<std::size_t>(std::count(large.between.begin(), large.between.end(), '\n'));
    large.between += "<trans-unit id=\"0\" resname=\"N0\">\n<source>" + std::string(100, 'x') + "</source></trans-unit>\n";
    struct CCase {
        std::string bytes, expected;
    } cases[] = {
        {mismatched.Text(), "line 5: malformed XML: Opening and ending tag mismatch: target line 4 and trarget"},
        {latin1.Text(), "line 1: the file is in the encoding ISO-8859-1; lumo reads XLIFF in UTF-8 only"},
        {shiftJis.Text(), "the bytes are not text in the encoding the file declares"},
        {std::string("\x1f\x8b\x08\x00", 4) + std::string(20, '\0'), "line 1: the file is compressed (gzip)"},
        {"", "the file is empty"},
        {large.Text(), "line " + std::to_string(nRepeatLine) + ": unit \"0\" has the resname and source of an earlier unit"},
    };
    for (const CCase& c : cases) {
        std::ofstream(path, std::ios::binary) << c.bytes;
        lumo_cli::CWarnings warnings;
        std::string outcome;
        try {
            lumo_cli::ReadXliff(path.string(), warnings);
            for (const std::string& line : warnings.Lines())
                outcome += line + "\n";
        } catch (const std::exception& e) {
            outcome = e.what();
        }
        EXPECT_NE(outcome.find(c.expected), std::string::npos) << c.expected << "\n" << outcome;
    }
    std::filesystem::remove(path);
}

TEST(XliffReadOracle, SeedCorpusMatchesLibxml2)
{
    const auto files = CorpusFiles(LUMO_FUZZ_DIR "/corpus-xliffread");
    ASSERT_GE(files.size(), 30u);
    for (const auto& file : files) {
        const std::string name = file.filename().string();
        const std::string bytes = FileBytes(file);
        EXPECT_EQ(CompareXliffReaders(bytes), "") << name;
        const CXliffReadOutcome outcome = OwnXliffRead(bytes, lumo_cli::kGuessSplit);
        if (StartsWith(name, "ok-")) {
            EXPECT_EQ(outcome.kind, CXliffReadOutcome::accepted) << name << ": " << outcome.text;
        }
        if (StartsWith(name, "bad-")) {
            EXPECT_NE(outcome.kind, CXliffReadOutcome::accepted) << name;
        }
    }
}

}  // namespace
