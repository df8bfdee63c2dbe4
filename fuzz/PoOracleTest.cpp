// SPDX-License-Identifier: MIT
// lumo's own PO code against gettext's library, the oracle: the writer must
// give gettext's bytes for the same messages.
#include "PoWriterCheck.h"

#include "cli/PoWriter.h"
#include "platform/Cp1252.h"

#include <gtest/gtest.h>
#include <unilbrk.h>

#include <random>
#include <string>
#include <vector>

using namespace lumo_fuzz;

namespace {

CPoTestMessage Message(std::string ctxt, std::string id, std::string str, std::vector<std::size_t> lines = {7})
{
    CPoTestMessage given;
    given.msgctxt = std::move(ctxt);
    given.msgid = std::move(id);
    given.msgstr = std::move(str);
    given.extracted = "the data text of the entry\n";
    given.lines = std::move(lines);
    return given;
}

std::string Repeat(const std::string& piece, std::size_t nTimes)
{
    std::string text;
    for (std::size_t i = 0; i < nTimes; ++i)
        text += piece;
    return text;
}

CPoTestMessage Header(const std::string& text)
{
    CPoTestMessage header = Message("", "", text + "Content-Type: text/plain; charset=UTF-8\n", {});
    header.bHasContext = false;
    header.extracted.clear();
    return header;
}

TEST(PoWriterOracle, WritesWhatGettextWrites)
{
    const std::string longWords =
        "The quick brown fox jumps over the lazy dog, and then it jumps back again over the very same dog.";
    const std::string noBlanks(200, 'x');
    std::vector<std::size_t> manyLines;
    for (std::size_t i = 1; i <= 50; ++i)
        manyLines.push_back(i * 1009);

    CPoTestMessage header = Message("", "", "Project-Id-Version: a very long file name that goes past the page "
                                           "width of the file.lumo\nContent-Type: text/plain; charset=UTF-8\n");
    header.bHasContext = false;
    header.comments = "Texts of x.lumo for translation.\n\nsecond\n";
    header.bFuzzy = true;
    header.extracted.clear();
    header.lines.clear();
    CPoTestMessage fuzzyEmpty = Message("F", "fuzzy without a translation", "");
    fuzzyEmpty.bFuzzy = true;
    CPoTestMessage fuzzyFull = Message("F", "fuzzy", "floue");
    fuzzyFull.bFuzzy = true;

    const std::vector<std::vector<CPoTestMessage>> cases = {
        {header, Message("STR_A", "Start", "D\xc3\xa9marrer")},
        {Message("STR_LONG", longWords, longWords + longWords)},
        {Message("STR_NOBLANKS", noBlanks, noBlanks + " " + noBlanks)},
        {Message("STR_LINES", "one\ntwo\n\nthree", "ends with a break\n")},
        {Message("STR_BREAK_AT_END", std::string(76, 'a') + "\n", std::string(70, 'b') + " cc\n")},
        {Message("STR_ESC", "tab\there \"quoted\" back\\slash \a\b\f\v\r bell", "\x01\x1f\x7f raw controls")},
        {Message("STR_HIGH", "caf\xc3\xa9 \xe2\x82\xac \xc2\xa0nbsp \xc2\xad shy \xc2\x81\xc2\x9d " + longWords,
                 "\xe2\x80\x94" + longWords + "\xe2\x80\xa6")},
        {Message("STR_HYPHENS", "well-known-hyphenated-words-that-go-on-and-on-past-the-width-of-the-page-x-y-z",
                 "slashes/and/more/slashes/and/more/slashes/and/more/slashes/and/more/slashes/end")},
        {Message(std::string(90, 'N'), "long context", ""), Message("", "empty context", "")},
        {Message("STR_REFS", "many references", "", manyLines)},
        {fuzzyEmpty, fuzzyFull},
        {Message("STR_EXACT", std::string(71, 'w'), std::string(70, 'w') + " " + std::string(5, 'v'))},
        // Three bytes of UTF-8 and one column each: a line of them fits to the last column, or breaks.
        {Message("STR_EURO", Repeat("\xe2\x82\xac", 71), Repeat("\xe2\x82\xac", 70) + " " + Repeat("\xe2\x80\x94", 8))},
        // Controls take no column: the line fits however many there are.
        {Message("STR_C1", Repeat("\xc2\x81\xc2\x9d", 60) + "a b", Repeat("\x01 ", 60))},
        // A header names the file as it is, in any script: wide characters count two columns.
        {Header("Project-Id-Version: " + Repeat("\xe6\x97\xa5\xe6\x9c\xac", 30) + ".lumo\n"),
         Message("STR_B", "b", "")},
    };
    for (const auto& messages : cases)
        EXPECT_EQ(ComparePoWriters(messages, "game.lumo"), "") << messages.front().msgctxt;
    // File names as references give them: long, with blanks, with UTF-8.
    for (const std::string& file : {std::string(100, 'f') + ".lumo", std::string("my game.lumo"), std::string("j\xc3\xa9u.lumo")})
        EXPECT_EQ(ComparePoWriters({Message("STR_REFS", "refs", "", manyLines)}, file), "") << file;
}

// The writer breaks Windows-1252 texts by its own tables; libunistring's
// rules, which gettext applies, are the oracle. The rules look at the
// character before a place (or before the spaces there) and at combining
// characters: every byte is tried after every byte, at the start, and with
// spaces and a control (a combining character to the rules) between them.
TEST(PoWriterOracle, BreaksWindows1252AsLibunistring)
{
    const auto shown = [](std::string_view text, std::vector<std::size_t>& starts) {
        // Each byte as PO shows it: its escape or its UTF-8 form.
        std::string utf8;
        starts.clear();
        for (const char c : text) {
            starts.push_back(utf8.size());
            switch (c) {
            case '\a': utf8 += "\\a"; break;
            case '\b': utf8 += "\\b"; break;
            case '\f': utf8 += "\\f"; break;
            case '\n': utf8 += "\\n"; break;
            case '\r': utf8 += "\\r"; break;
            case '\t': utf8 += "\\t"; break;
            case '\v': utf8 += "\\v"; break;
            case '\\': utf8 += "\\\\"; break;
            case '"': utf8 += "\\\""; break;
            default: utf8 += Cp1252ToUtf8(std::string_view(&c, 1));
            }
        }
        return utf8;
    };
    const std::vector<std::string> betweens = {"", " ", "  ", "\x01", " \x01", "\x01 ", " \x01 "};
    std::vector<std::size_t> starts;
    std::vector<char> expected;
    bool own[16];
    std::size_t nDifferent = 0;
    for (int first = -1; first < 256; ++first) {
        for (const std::string& between : betweens) {
            for (int last = 0; last < 256; ++last) {
                std::string text = first < 0 ? std::string() : std::string(1, static_cast<char>(first));
                text += between;
                text += static_cast<char>(last);
                const std::string utf8 = shown(text, starts);
                expected.resize(utf8.size());
                u8_possible_linebreaks(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size(), "UTF-8",
                                       expected.data());
                lumo_cli::PossibleBreaksCp1252(text, own);
                for (std::size_t i = 0; i < text.size(); ++i) {
                    const bool bExpected = expected[starts[i]] == UC_BREAK_POSSIBLE;
                    if (own[i] != bExpected && ++nDifferent <= 20)
                        ADD_FAILURE() << "before byte " << i << " of " << ::testing::PrintToString(text) << ": "
                                      << (bExpected ? "libunistring breaks, lumo does not"
                                                    : "lumo breaks, libunistring does not");
                }
            }
        }
    }
    EXPECT_EQ(nDifferent, 0u);
}

// Random texts over an alphabet heavy in blanks, punctuation and high bytes,
// where line breaking has the most to decide.
TEST(PoWriterOracle, RandomTextsMatchGettext)
{
    std::mt19937 random(20261209);
    const std::string alphabet = "aaaaeeeiioou     ,.;:!?-/()[]\"\\\t\n\r'\x01\x80\x85\x96\xa0\xad\xbf\xe9\xff";
    const auto text = [&](std::size_t nMax) {
        std::string bytes(random() % (nMax + 1), ' ');
        for (char& c : bytes)
            c = alphabet[random() % alphabet.size()];
        return bytes;
    };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = text(12) + '\0';
        for (int m = 0; m < 4; ++m)
            bytes += std::string(1, static_cast<char>(random() % 256 | 1)) + '\0' + text(30) + '\0' + text(250) +
                     '\0' + text(250) + '\0' + text(20) + '\0' + text(20) + '\0';
        std::string file;
        const std::vector<CPoTestMessage> messages = PoMessagesFromBytes(bytes, file);
        const std::string problem = ComparePoWriters(messages, file);
        ASSERT_EQ(problem, "") << "round " << round;
    }
}

}  // namespace

// lumo's PO reader against gettext's po_file_read: the same messages and
// warnings, or both refuse (PoReadCheck.h).
#include "CorpusFiles.h"
#include "PoReadCheck.h"

#include "cli/PoLibrary.h"
#include "cli/PoReader.h"
#include "cli/TranslationFormats.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using EVerdict = lumo_cli::CPoReading::EVerdict;

const std::string kHeader = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n";

std::string Po(const std::string& messages, const std::string& header = kHeader)
{
    return header + messages;
}

std::string Crlf(std::string text)
{
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.replace(at, 1, "\r\n");
    return text;
}

std::string PoMessage(const std::string& ctxt, const std::string& id, const std::string& str,
                    const std::string& prefix = "")
{
    return "\n" + prefix + "msgctxt \"" + ctxt + "\"\n" + prefix + "msgid \"" + id + "\"\n" + prefix + "msgstr \"" +
           str + "\"\n";
}

// What the import says of a file: its refusal, or "" when it takes it.
std::string ImportRefusal(const std::string& po, const std::string& suffix)
{
    const std::string path = testing::TempDir() + "lumo-po-reader-" + std::to_string(::getpid()) + suffix;
    std::ofstream(path, std::ios::binary) << po;
    std::string refusal;
    try {
        lumo_cli::CWarnings warnings;
        lumo_cli::ReadPo(path, warnings);
    } catch (const lumo_cli::CImportError& e) {
        refusal = e.what();
    }
    try {
        lumo_cli::CWarnings warnings;
        lumo_cli::ReadPoFileApart(path, warnings);
    } catch (const lumo_cli::CImportError& e) {
        // A file that is not valid PO is refused in gettext's words.
        EXPECT_EQ(refusal, e.what()) << "gettext words the refusal";
    }
    std::remove(path.c_str());
    return refusal;
}

TEST(PoReaderOracle, ReadsWhatGettextReads)
{
    const std::string utf8Cafe = "Caf\xc3\xa9 \xe2\x82\xac";
    struct CCase {
        std::string po;
        EVerdict verdict;
        std::string refusal;  // a part of the import's refusal
    } cases[] = {
        // Accepted: every way of writing a message gettext takes.
        {Po(PoMessage("A", utf8Cafe, "Kaffee")), EVerdict::accepted, ""},
        {Po("\n#, fuzzy\n# c\n#. x\n#: f:1\n#| msgctxt \"p\"\n#| msgid \"o\"\n#| msgid_plural \"os\"\n" +
            PoMessage("A", "b", "c").substr(1)), EVerdict::accepted, ""},
        {Po("\n#! fuzzy\n#,c-format,fuzzy\n#, fuzzyx\n" + PoMessage("A", "b", "c").substr(1) + "#, fuzzy\n#, c-format" +
            PoMessage("A", "c", "d") + "#, fuzzy\n# x\n#~ #! fuzzy" + PoMessage("A", "d", "e")),
         EVerdict::accepted, ""},
        {Po("\n#, fuzzy\ndomain \"messages\"" + PoMessage("A", "b", "c")), EVerdict::accepted, ""},
        {Po("msgctxt\t\"A\" \"B\"\f\vmsgid\"b\"\n\"c\"msgstr \"\" \"d\" msgctxt \"E\" msgid \"f\" msgstr \"g\"\n"),
         EVerdict::accepted, ""},
        {Po(PoMessage("A", "\\n\\t\\r\\a\\b\\f\\v\\\\\\\"\\101\\18\\x4a\\x1234567", "\\303\\251\\xe2\\x82\\xac")),
         EVerdict::accepted, ""},
        {Po(PoMessage("A", "b", "c") + "#~ msgctxt \"A\"\n#~ msgid \"gone\"\n#~ msgid_plural \"gones\"\n"
                                     "#~ msgstr[0] \"\\0\"\n#~ msgstr[1] \"\\xff\"\n"), EVerdict::accepted, ""},
        {Po("#~| msgid \"o\"\n#~ msgctxt \"A\"\n#~ msgid \"b\"\n#~ msgstr \"c\"\n"), EVerdict::accepted, ""},
        {Po("#|# a comment takes the line end\nmsgid \"previous\"\nmsgctxt \"A\"\nmsgid \"b\"\nmsgstr \"c\"\n"),
         EVerdict::accepted, ""},
        {Po("\nmsgctxt \"A\"\nmsgid \"b\"\nmsgstr \"c\" #~ msgid \"o\"\n#~ msgstr \"p\"\n"), EVerdict::accepted, ""},
        {Po("msg\\\nctxt \"A\"\nmsgid \"a\\\nb\"\nmsgstr \"\\\\\\\nn\"\n# c \\\nmsgid \"swallowed\"\n"),
         EVerdict::accepted, ""},
        // An escaped backslash before a line end joins it too: "x\\" then "n" is x and a line break.
        {Po("msgctxt \"A\"\nmsgid \"b\"\nmsgstr \"x\\\\\nn\"\n"), EVerdict::accepted, ""},
        {"msgctxt \"A\"\nmsgid \"\xff\"\nmsgstr \"\"\n" + Po(PoMessage("B", "b", "")), EVerdict::accepted, ""},
        {Po(PoMessage("A", "b", "c"), "msgid \"\"\nmsgstr \"X: charset=CP1250\"\n\\\n\"x\\nContent-Type: text/plain; charset=UTF-8\\n\"\n"),
         EVerdict::accepted, ""},
        {Crlf(Po(PoMessage("A", "b", "c"))), EVerdict::accepted, ""},
        {Po("\n# \xff in a comment\nmsgid \"no context\"\nmsgstr \"x\"\n\nmsgctxt \"\"\nmsgid \"no context\"\n"
            "msgstr \"x\"\n" + PoMessage("\xe4\xb8\xad", "b", "c")), EVerdict::accepted, ""},
        {Po(PoMessage("A", "b", "\\303\\251"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ascii\\n\"\n"),
         EVerdict::accepted, ""},
        {Po(PoMessage("A", "\xff", "\xfe"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=CHARSET\\n\"\n"),
         EVerdict::accepted, ""},
        {Po(PoMessage("A", "\xff", ""), "msgid \"\"\nmsgstr \"Content-Type: text/plain; CHARSET=UTF-8\\n\"\n"),
         EVerdict::accepted, ""},
        {Po("#, fuzzy" + PoMessage("A", "b", "\xe4\xb8\xad")), EVerdict::accepted, ""},
        {Po(PoMessage("A", "\xff", ""), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=utf8\\n\"\n"),
         EVerdict::accepted, ""},
        {Po(PoMessage("A", "b", "\xff"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=utf8\\n\"\n"),
         EVerdict::refused, "line 6: the translation of msgctxt \"A\" msgid \"b\": the text is not valid UTF-8"},
        // Valid PO that lumo cannot use.
        {PoMessage("A", "b", "c"), EVerdict::refused, "the file has no header entry"},
        {Po(PoMessage("A", "b", "c\\0d")), EVerdict::refused, "line 7: a text holds a NUL character"},
        {Po(PoMessage("A", "b", "c\\400")), EVerdict::refused, "a text holds a NUL character"},
        {Po(PoMessage("A", "b", "c\\x100")), EVerdict::refused, "a text holds a NUL character"},
        {Po(PoMessage("A", "b", std::string("c\0d", 3))), EVerdict::refused, "a text holds a NUL character"},
        {Po("domain \"other\"" + PoMessage("A", "b", "c")), EVerdict::refused, "more than one domain (\"other\")"},
        {Po("\nmsgctxt \"A\"\nmsgid \"b\"\nmsgid_plural \"bs\"\nmsgstr[0] \"c\"\nmsgstr[1] \"d\"\n"),
         EVerdict::refused, "line 8: the message msgctxt \"A\" msgid \"b\" has plural forms"},
        {Po(PoMessage("A", "b", "\xe4\xb8\xad")), EVerdict::refused,
         "line 7: the translation of msgctxt \"A\" msgid \"b\": the character U+4E2D"},
        {Po(PoMessage("A", "b", "c"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n"),
         EVerdict::refused, "gives the character set \"ISO-8859-1\""},
        {Po(PoMessage("A", "b", "c"), "msgid \"\"\nmsgstr \"X: charset=KOI8-R\\nContent-Type: text/plain; charset=UTF-8\\n\"\n"),
         EVerdict::refused, "the character set \"KOI8-R\" before its Content-Type"},
        // gettext's reader aborts on a file in CP1255: lumo refuses it itself, or
        // asks the reader apart for its words.
        {Po(PoMessage("A", "b", "\xe9\xc3\xa9"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=CP1255\\n\"\n"),
         EVerdict::refused, "gives the character set \"CP1255\""},
        {"hello\n" + Po(PoMessage("A", "b", "\xe9\xc3\xa9"), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=CP1255\\n\"\n"),
         EVerdict::notPo, "line 1: the file is not PO as gettext reads it, and gettext's reader failed on it"},
        // Not PO as gettext reads it: refused in gettext's words.
        {"hello\n" + kHeader, EVerdict::notPo, "line 1: keyword \"hello\" unknown"},
        {"\xef\xbb\xbf" + kHeader, EVerdict::notPo, "syntax error"},
        {Po(PoMessage("A", "b", "c") + PoMessage("A", "b", "d")), EVerdict::notPo, "duplicate message definition"},
        {Po(PoMessage("A", "b", "c") + PoMessage("A", "b", "d", "#~ ")), EVerdict::notPo, "duplicate message definition"},
        {Po(PoMessage("A", "b\\0x", "c", "#~ ") + PoMessage("A", "b", "d")), EVerdict::notPo,
         "duplicate message definition"},
        {Po("msgid \"\\0x\"\nmsgstr \"\"\n"), EVerdict::notPo, "duplicate message definition"},
        {Po("\nmsgctxt \"A\"\nmsgid \"b\"\n" + PoMessage("A", "c", "")), EVerdict::notPo, "missing 'msgstr' section"},
        {Po("\nmsgctxt \"A\"\n# c\nmsgid \"b\"\nmsgstr \"\"\n"), EVerdict::notPo, "syntax error"},
        {Po("\n#~ msgctxt \"A\"\n#~ msgid \"b\"\nmsgstr \"\"\n"), EVerdict::notPo, "inconsistent use of #~"},
        {Po("\n#| msgid \"o\"\n#~ msgctxt \"A\"\n#~ msgid \"b\"\n#~ msgstr \"\"\n"), EVerdict::notPo,
         "inconsistent use of #~"},
        {Po("\n#~ msgid \"b\"\n#~ msgid_plural \"bs\"\n#~ msgstr[0] \"c\"\n#~ msgstr[2] \"d\"\n"), EVerdict::notPo,
         "plural form has wrong index"},
        {Po("\n#| msgstr \"o\"" + PoMessage("A", "b", "")), EVerdict::notPo, "keyword \"msgstr\" unknown"},
        {Po(PoMessage("A", "\\? \\' \\u00e9", "")), EVerdict::notPo, "invalid control sequence"},
        {Po(PoMessage("A", "\\x", "")), EVerdict::notPo, "invalid control sequence"},
        {Po(PoMessage("A", "\\004", "")), EVerdict::notPo, "context separator <EOT> within string"},
        {Po(PoMessage("A", "\x04", "")), EVerdict::notPo, "context separator <EOT> within string"},
        {Po(PoMessage("A", "\xc3\x28", "")), EVerdict::notPo, "invalid multibyte sequence"},
        {Po(PoMessage("A", "\xed\xa0\x80", "")), EVerdict::notPo, "invalid multibyte sequence"},
        {Po(PoMessage("A", "\xc3\\\n\xa9", "")), EVerdict::notPo, "invalid multibyte sequence"},
        {Po(PoMessage("A", "b", "") + "#\xff"), EVerdict::notPo, "invalid multibyte sequence"},
        {Po("#\xff" + PoMessage("A", "b", "")), EVerdict::accepted, ""},  // read before the header is taken
        {Po(PoMessage("A", "\xc3\xa9", ""), "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=US-ASCII\\n\"\n"),
         EVerdict::notPo, "invalid multibyte sequence"},
        {Po("\nmsgctxt \"A\"\nmsgid \"b\"\nmsgstr \"c"), EVerdict::notPo, "end-of-file within string"},
        {Po("\nmsgctxt \"A\"\nmsgid \"b\nmsgstr \"c\"\n"), EVerdict::notPo, "end-of-line within string"},
        {Po(PoMessage("A", "b", "c") + "\\"), EVerdict::notPo, "syntax error"},
        {Po("\nmsgctxt \"A\"" + std::string("\0", 1) + "\nmsgid \"b\"\nmsgstr \"\"\n"), EVerdict::notPo,
         "syntax error"},
    };
    // The character sets gettext reads a file in, named before the Content-Type.
    for (const std::string name :
         {"ascii", "ANSI_X3.4-1968", "us-ascii", "utf-8", "UTF8", "utf8", "LATIN1", "ISO-8859-1", "iso_8859-1",
          "ISO-8859-2", "ISO_8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6", "ISO-8859-7", "ISO-8859-8",
          "ISO-8859-9", "ISO-8859-10", "ISO-8859-13", "ISO-8859-14", "ISO-8859-15", "ISO-8859-16", "KOI8-R",
          "KOI8-U", "KOI8-T", "KOI8-RU", "CP437", "CP850", "CP866", "CP874", "CP932", "CP949", "CP950", "CP1250",
          "CP1251", "CP1252", "WINDOWS-1252", "CP1253", "CP1254", "CP1255", "CP1256", "CP1257", "CP1258",
          "GB2312", "EUC-JP", "EUC-KR", "EUC-TW", "EUC-CN", "BIG5", "BIG5-HKSCS", "GBK", "GB18030", "SHIFT_JIS",
          "JOHAB", "TIS-620", "VISCII", "GEORGIAN-PS", "CHARSET", ""})
        EXPECT_EQ(lumo_fuzz::ComparePoReaders(
                      Po(PoMessage("A", "\xc3\xa9", "\xe9"), "msgid \"\"\nmsgstr \"X: charset=" + name +
                                                                  "\\nContent-Type: text/plain; charset=UTF-8\\n\"\n"),
                      ".po"),
                  "")
            << name;
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.po);
        for (const std::string suffix : {".po", ".pot"})
            EXPECT_EQ(lumo_fuzz::ComparePoReaders(c.po, suffix), "") << suffix;
        EXPECT_EQ(lumo_cli::ReadPoText(c.po, "x.po", false).verdict, c.verdict);
        const std::string refusal = ImportRefusal(c.po, ".po");
        if (c.verdict == EVerdict::accepted)
            EXPECT_EQ(refusal, "");
        else
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
    }
}

}  // namespace

namespace {

// Files of messages built from the pieces where a reader of its own is most
// likely to part from gettext (escapes, bytes that are no UTF-8, NULs,
// joined lines, obsolete and previous texts, headers of every kind), some
// of them then cut and spliced at random.
TEST(PoReaderOracle, RandomFilesAgreeWithGettext)
{
    std::mt19937 random(20261210);
    const std::vector<std::string> headers = {
        kHeader,
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=CHARSET\\n\"\n",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ascii\\n\"\n",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain\\n\"\n",
        "#, fuzzy\nmsgid \"\"\nmsgstr \"X: charset=utf-8\\nContent-Type: text/plain; charset=UTF-8;\\n\"\n",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-15\\n\"\n",
        "msgid \"\"\nmsgid_plural \"x\"\nmsgstr[0] \"Content-Type: text/plain; charset=UTF-8\\n\"\n",
        "msgid \"\"\nmsgstr \"Content-Type: \\0\" \"text/plain; charset=UTF-8\\n\"\n",
    };
    const std::vector<std::string> texts = {
        "a", "Start", "Caf\xc3\xa9", "\xe2\x82\xac", "\xc2\x81", "\xc2\x80", "\xe4\xb8\xad", "\xf0\x9f\x98\x80", "\\n",
        "\\t", "\\\\", "\\\"", "\\x41", "\\303\\251", "\\xe9", "\t", "\r", " ",
        // From here on, what gettext or lumo refuses in most places.
        "\xff", "\xc3", "\xed\xa0\x80", "\\0", "\\400", "\\x100", "\\08", "\\q", "\\\n", "\\x", "\x04",
        std::string("\0", 1), "#", "msgid"};
    const std::vector<std::string> noise = {"\n", "\"", "#", "#~ ", "#| ", "\\\n", "msgstr ", "msgid ", "[0]",
                                            "domain \"d\"\n", "#, fuzzy\n", "\r\n", "\xc3", std::string("\0", 1)};
    const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
    const auto string = [&] {
        std::string text;
        // Now and then first a long run of letters and Latin-1 pairs, which
        // the reader takes in blocks: a pair falls across each edge of one.
        if (random() % 4 == 0)
            for (unsigned n = 20 + random() % 120; n > 0; --n)
                text += random() % 3 ? std::string(1, static_cast<char>('a' + random() % 26))
                                     : std::string(random() % 2 ? "\xc3\xa9" : "\xc2\xa0");
        for (unsigned n = random() % 4; n > 0; --n)
            text += random() % 12 ? texts[random() % 18] : pick(texts);
        return "\"" + text + "\"";
    };
    std::size_t nAccepted = 0, nRefused = 0;
    for (int round = 0; round < 400; ++round) {
        std::string po = random() % 10 ? pick(headers) : std::string();
        for (unsigned m = 1 + random() % 5; m > 0; --m) {
            const std::string prefix = random() % 6 == 0 ? "#~ " : "";
            po += "\n";
            if (random() % 3 == 0)
                po += random() % 2 ? "#, fuzzy\n" : "#. note\n#: x.lumo:1\n";
            if (random() % 6 == 0)
                po += (prefix.empty() ? "#| " : "#~| ") + std::string("msgid ") + string() + "\n";
            if (random() % 8)
                po += prefix + "msgctxt " + string() + "\n";
            po += prefix + "msgid " + string() + (random() % 5 ? "" : "\n" + prefix + string()) + " \"" +
                  std::to_string(random() % 50) + "\"\n";
            if (random() % 12 == 0)
                po += prefix + "msgid_plural " + string() + "\n" + prefix + "msgstr[0] " + string() + "\n" + prefix +
                      "msgstr[1] " + string() + "\n";
            else
                po += prefix + "msgstr " + string() + "\n";
        }
        for (unsigned n = random() % 4 == 0 ? 1 + random() % 3 : 0; n > 0; --n) {
            const std::size_t at = random() % (po.size() + 1);
            if (random() % 2)
                po.insert(at, pick(noise));
            else
                po.erase(at, random() % 4);
        }
        const std::string problem = lumo_fuzz::ComparePoReaders(po, round % 2 ? ".pot" : ".po");
        ASSERT_EQ(problem, "") << "round " << round << ":\n" << po;
        const EVerdict verdict = lumo_cli::ReadPoText(po, "x.po", false).verdict;
        ++(verdict == EVerdict::accepted ? nAccepted : nRefused);
    }
    // Both kinds of file come up often.
    EXPECT_GT(nAccepted, 50u);
    EXPECT_GT(nRefused, 50u);
}

// The fuzzer's seeds, and every cut of the accepted ones.
TEST(PoReaderOracle, SeedsAgreeWithGettext)
{
    const auto files = lumo_fuzz::CorpusFiles(std::filesystem::path(LUMO_FUZZ_DIR) / "corpus-poread");
    ASSERT_GE(files.size(), 30u);
    for (const std::filesystem::path& path : files) {
        const std::string name = path.filename().string();
        const std::string bytes = lumo_fuzz::FileBytes(path);
        EXPECT_EQ(lumo_fuzz::ComparePoReaders(bytes), "") << name;
        if (bytes.empty())
            continue;
        const lumo_cli::CPoReading reading = lumo_cli::ReadPoText(bytes.substr(1), "x.po", false);
        if (lumo_fuzz::StartsWith(name, "ok-"))
            EXPECT_EQ(reading.verdict, EVerdict::accepted) << name << ": " << reading.refusal;
        if (lumo_fuzz::StartsWith(name, "bad-"))
            EXPECT_NE(reading.verdict, EVerdict::accepted) << name;
        if (!lumo_fuzz::StartsWith(name, "ok-"))
            continue;
        for (std::size_t cut = 1; cut < bytes.size(); cut += 3)
            EXPECT_EQ(lumo_fuzz::ComparePoReaders(std::string_view(bytes).substr(0, cut)), "") << name << " cut at " << cut;
    }
}

}  // namespace
