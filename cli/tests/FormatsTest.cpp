// SPDX-License-Identifier: MIT
#include "CliTestUtil.h"
#include "cli/Formats.h"

#include <gtest/gtest.h>

#include <random>

using namespace lumo_cli;
using namespace lumo_cli_test;

namespace {

// The message an import refuses with; "" when it is accepted.
template <class Parse>
std::string Refusal(Parse parse, std::string_view input)
{
    try {
        parse(input);
    } catch (const CImportError& e) {
        return e.what();
    }
    return "";
}

std::string CsvRefusal(std::string_view csv)
{
    return Refusal(EntriesFromCsv, csv);
}

std::string JsonRefusal(std::string_view json)
{
    return Refusal(EntriesFromJson, json);
}

#define EXPECT_REFUSED(message, fragment) EXPECT_NE((message).find(fragment), std::string::npos) << (message)

// Texts mixing every non-zero byte with the characters both formats escape.
std::vector<Entry> AwkwardEntries()
{
    std::string allBytes;
    for (int b = 1; b < 256; ++b)
        allBytes += static_cast<char>(b);
    return {
        {"A", "B", ""},
        {"", "", ""},
        {"quote \"x\"", "comma, and \"quoted, comma\"", "line\r\nbreak\nand\rmore"},
        {allBytes, "\x80\x81\x8D\x8F\x90\x9D\x9F\xA0\xFF", " leading and trailing "},
        {"back\\slash/", "{\"json\": [1]}", "\t"},
    };
}

TEST(Formats, JsonHasOneEntryPerLineInFileOrder)
{
    EXPECT_EQ(EntriesToJson({}), "[]\n");
    EXPECT_EQ(EntriesToJson({{"A", "B", ""}, {"x\"y", "\x80\x81", "\n\x01"}}),
              "[\n"
              "  {\"name\": \"A\", \"data\": \"B\", \"extra\": \"\"},\n"
              "  {\"name\": \"x\\\"y\", \"data\": \"\xE2\x82\xAC\xC2\x81\", \"extra\": \"\\n\\u0001\"}\n"
              "]\n");
}

TEST(Formats, CsvHasTheHeaderAndCrlfLineEnds)
{
    EXPECT_EQ(EntriesToCsv({}), "name,data,extra\r\n");
    EXPECT_EQ(EntriesToCsv({{"A", "B", ""}, {"a,b", "say \"hi\"", "\xE9\n"}}),
              "name,data,extra\r\nA,B,\r\n\"a,b\",\"say \"\"hi\"\"\",\"\xC3\xA9\n\"\r\n");
}

TEST(Formats, BothFormatsReadBackEveryByte)
{
    const std::vector<Entry> entries = AwkwardEntries();
    EXPECT_EQ(EntriesFromJson(EntriesToJson(entries)), entries);
    EXPECT_EQ(EntriesFromCsv(EntriesToCsv(entries)), entries);
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const std::vector<Entry> random = RandomEntries(seed, 50);
        ASSERT_EQ(EntriesFromJson(EntriesToJson(random)), random) << "seed " << seed;
        ASSERT_EQ(EntriesFromCsv(EntriesToCsv(random)), random) << "seed " << seed;
    }
}

TEST(Formats, JsonFromOtherToolsIsRead)
{
    // Any key order, any spacing, escapes, a byte order mark.
    EXPECT_EQ(EntriesFromJson("\xEF\xBB\xBF [ {\"extra\":\"\\u00e9\", \"data\" : \"\\u20ac\\t\",\n\"name\":\"n\"} ]"),
              (std::vector<Entry>{{"n", "\x80\t", "\xE9"}}));
    EXPECT_EQ(EntriesFromJson("[]"), std::vector<Entry>{});
}

TEST(Formats, CsvFromOtherToolsIsRead)
{
    // Columns in any order, LF line ends, no final line end, a byte order mark.
    EXPECT_EQ(EntriesFromCsv("\xEF\xBB\xBF" "extra,name,data\nx,n,d\n,\"two\nlines\",\xE2\x82\xAC"),
              (std::vector<Entry>{{"n", "d", "x"}, {"two\nlines", "\x80", ""}}));
    EXPECT_EQ(EntriesFromCsv("name,data,extra"), std::vector<Entry>{});
}

TEST(Formats, JsonRefusalsSayWhereAndWhat)
{
    EXPECT_REFUSED(JsonRefusal(""), "line 1, column 1 (byte 0): malformed JSON");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\", \"data\": \"b\", \"extra\": \"c\"},\n]"),
                   "line 2, column 1 (byte 43): malformed JSON");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\", \"data\": \"b\", \"extra\": \"c\"}"), "malformed JSON");
    EXPECT_REFUSED(JsonRefusal("[] []"), "line 1, column 4 (byte 3): malformed JSON");
    EXPECT_REFUSED(JsonRefusal("[\"\xFF\"]"), "malformed JSON");  // not UTF-8
    EXPECT_REFUSED(JsonRefusal("{\"name\": \"a\"}"), "line 1, column 1 (byte 0): the entries must be an array");
    EXPECT_REFUSED(JsonRefusal("[\n  \"a\"]"), "line 2, column 3 (byte 4): entry 1 must be an object");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\", \"data\": \"b\", \"extra\": \"c\"}, [1]]"),
                   "column 44 (byte 43): entry 2 must be an object");
    // The place of the closing brace of an entry that lacks a key.
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\",\n  \"data\": \"b\"\n}]"), "line 3, column 1 (byte 29): entry 1 has no \"extra\"");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\", \"Data\": \"b\", \"extra\": \"c\"}]"),
                   "column 16 (byte 15): entry 1 has the unknown key \"Data\"");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\", \"name\": \"b\"}]"), "column 16 (byte 15): entry 1 has the key \"name\" twice");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\", \"data\": null, \"extra\": \"c\"}]"),
                   "column 24 (byte 23): the \"data\" of entry 1 must be a text in quotes, not null");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": 12, \"data\": \"\", \"extra\": \"\"}]"), "not a number");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": [\"a\"], \"data\": \"\", \"extra\": \"\"}]"), "column 11 (byte 10): the \"name\" of entry 1 must be a text in quotes, not an array");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": {}, \"data\": \"\", \"extra\": \"\"}]"), "not an object");
}

TEST(Formats, JsonTextsTheFileCannotHoldAreRefused)
{
    // Columns count characters, not bytes: "é" before the value is one column.
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\", \"data\": \"\xC3\xA9\", \"extra\": \"\"},\n {\"name\": \"é\", \"data\": \"ab\xE4\xB8\xAD\", \"extra\": \"\"}]"),
                   "line 2, column 24 (byte 67): the \"data\" of entry 2: the character U+4E2D (\xE4\xB8\xAD) has no "
                   "Windows-1252 byte (character 3 of the text)");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"\\ud83d\\ude00\", \"data\": \"\", \"extra\": \"\"}]"), "U+1F600");
    EXPECT_REFUSED(JsonRefusal("[{\"name\": \"a\\u0000b\", \"data\": \"\", \"extra\": \"\"}]"),
                   "the \"name\" of entry 1: the text contains a NUL character (U+0000)");
}

TEST(Formats, CsvRefusalsNameTheLine)
{
    EXPECT_REFUSED(CsvRefusal(""), "line 1: the file is empty");
    EXPECT_REFUSED(CsvRefusal("\r\n\r\n"), "line 1: the file is empty");
    EXPECT_REFUSED(CsvRefusal("name,data\r\na,b\r\n"), "line 1: the header has no column \"extra\"");
    EXPECT_REFUSED(CsvRefusal("name,data,extra,note\r\n"), "line 1: the header names an unknown column \"note\"");
    EXPECT_REFUSED(CsvRefusal("name,data,name\r\n"), "line 1: the header names the column \"name\" twice");
    EXPECT_REFUSED(CsvRefusal("name,data,extra\r\na,b,c\r\na,b\r\n"), "line 3: the record has 2 fields, but the header has 3");
    EXPECT_REFUSED(CsvRefusal("name,data,extra\r\na,b,c,d\r\n"), "line 2: the record has 4 fields");
    EXPECT_REFUSED(CsvRefusal("name,data,extra\r\n\r\na,b,c\r\n"), "line 2: the line is empty");
    EXPECT_REFUSED(CsvRefusal("name,data,extra\r\na,b\"c,d\r\n"), "line 2: malformed CSV: a quote inside a field");
    EXPECT_REFUSED(CsvRefusal("name,data,extra\r\na,\"b,c\r\n"), "line 2: malformed CSV: the quoted field that starts here is never closed");
}

TEST(Formats, CsvTextsTheFileCannotHoldAreRefusedAtTheirLine)
{
    // The bad character sits on the third line of a field that starts on line 2.
    EXPECT_REFUSED(CsvRefusal("name,data,extra\r\nn,\"one\ntwo\nthree \xE2\x86\x92\",\r\n"),
                   "line 4: the data of entry 1: the character U+2192 (\xE2\x86\x92) has no Windows-1252 byte");
    const std::string withNul("name,data,extra\r\na,b,c\r\nx,y,\"z\0\"\r\n", 34);
    EXPECT_REFUSED(CsvRefusal(withNul), "line 3: the extra of entry 2: the text contains a NUL character (U+0000)");
    EXPECT_REFUSED(CsvRefusal("name,data,extra\r\n\xC3(,b,c\r\n"), "line 2: the name of entry 1: the text is not valid UTF-8");
}

}  // namespace

namespace {

// Damaged inputs are read or refused with a CImportError, never anything
// else; the sanitizer build watches the parsers on the way.
TEST(Formats, MangledInputIsReadOrRefusedCleanly)
{
    std::mt19937 rng(5);
    const std::vector<Entry> entries = AwkwardEntries();
    const std::string sources[] = {EntriesToJson(entries), EntriesToCsv(entries)};
    const std::string inserts[] = {"\"", ",", "\r", "\n", "\\", "\\u", "\\ud800", "{", "[", "]", "}", ":", std::string(1, '\0'), "\xC3",
                                   "\xE2\x82", "\xF4\x90\x80\x80", "1e999", "null"};
    for (int round = 0; round < 3000; ++round) {
        const bool bJson = round % 2 == 0;
        std::string input = sources[bJson ? 0 : 1];
        for (int edits = 1 + static_cast<int>(rng() % 3); edits > 0; --edits) {
            const std::size_t pos = rng() % (input.size() + 1);
            switch (rng() % 3) {
            case 0:
                input.erase(pos, 1 + rng() % 8);
                break;
            case 1:
                input.insert(pos, inserts[rng() % std::size(inserts)]);
                break;
            default:
                input.resize(pos);
                break;
            }
        }
        try {
            const std::vector<Entry> read = bJson ? EntriesFromJson(input) : EntriesFromCsv(input);
            for (const Entry& entry : read)
                ASSERT_EQ((entry.name + entry.data + entry.extra).find('\0'), std::string::npos);
        } catch (const CImportError& e) {
            ASSERT_EQ(std::string(e.what()).rfind("line ", 0), 0u) << e.what();
        }
    }
}

}  // namespace
