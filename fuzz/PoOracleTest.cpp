// SPDX-License-Identifier: MIT
// lumo's own PO code against gettext's library, the oracle: the writer must
// give gettext's bytes for the same messages.
#include "PoWriterCheck.h"

#include <gtest/gtest.h>

#include <random>

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
