// SPDX-License-Identifier: MIT
// lumo's JSON reader beside nlohmann-json on the inputs where a reader of
// our own is most likely to part from the library: escapes, surrogates,
// UTF-8 at its edges, blanks, a byte order mark, keys and commas out of
// place. Both must accept with the same entries or both refuse, and the
// import's message for a refusal must be the library's.
#include "JsonCheck.h"

#include "cli/Formats.h"
#include "cli/JsonReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Entry(const std::string& name, const std::string& data = "\"d\"", const std::string& extra = "\"\"")
{
    return "{\"name\": " + name + ", \"data\": " + data + ", \"extra\": " + extra + "}";
}

TEST(JsonReader, AgreesWithTheLibrary)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        // Accepted.
        {"[]", true},
        {" \t\r\n[ \t\r\n] \t\r\n", true},
        {"\xEF\xBB\xBF[]", true},
        {"[" + Entry("\"a\"") + "]", true},
        {"[" + Entry("\"a\"") + " , " + Entry("\"b\"") + "]", true},
        {"[{\"extra\":\"x\",\"name\":\"n\",\"data\":\"\"}]", true},
        {"[{\"\\u006eame\": \"n\", \"d\\u0061ta\": \"\", \"extra\": \"\"}]", true},
        {"[" + Entry("\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t\"") + "]", true},
        {"[" + Entry("\"\\u0001\\u001F\\u007f\\u00e9\\u00E9\\u20AC\\u0081\\u009D\\u0178\"") + "]", true},
        {"[" + Entry("\"\xC3\xA9\xC2\xA0\xE2\x82\xAC\xC2\x81\xC2\x9D\xC5\xB8\x7F\"") + "]", true},
        {"[" + Entry("\"" + std::string(5000, 'x') + "\\n\"") + "]", true},
        {std::string("[] \0 x", 6), true},
        // Refused by the library's grammar.
        {"", false},
        {"   ", false},
        {"\xEF\xBB[]", false},
        {"[] []", false},
        {"[]x", false},
        {std::string("[\0]", 3), false},
        {"[", false},
        {"[" + Entry("\"a\""), false},
        {"[" + Entry("\"a\"") + ",]", false},
        {"[{\"name\": \"a\", \"data\": \"d\", \"extra\": \"\",}]", false},
        {"[{\"name\" \"a\", \"data\": \"d\", \"extra\": \"\"}]", false},
        {"\f[]", false},
        {"[" + Entry("\"a\\x\"") + "]", false},
        {"[" + Entry("\"a\\u12\"") + "]", false},
        {"[" + Entry("\"a\\u12G4\"") + "]", false},
        {"[" + Entry("\"a\tb\"") + "]", false},
        {"[" + Entry("\"a\nb\"") + "]", false},
        {"[" + Entry("\"a") , false},
        {"[" + Entry("\"a\\") , false},
        // Refused UTF-8: cut, overlong, an encoded surrogate, beyond U+FFFF.
        {"[" + Entry("\"\xC3\"") + "]", false},
        {"[" + Entry("\"\xC0\x80\"") + "]", false},
        {"[" + Entry("\"\xE0\x80\x80\"") + "]", false},
        {"[" + Entry("\"\xED\xA0\x80\"") + "]", false},
        {"[" + Entry("\"\xF0\x9F\x98\x80\"") + "]", false},
        {"[" + Entry("\"\xBF\"") + "]", false},
        {"[" + Entry("\"\xFF\"") + "]", false},
        // Refused as entries: no Windows-1252 byte, a NUL, surrogates.
        {"[" + Entry("\"\\u0080\"") + "]", false},
        {"[" + Entry("\"\xC2\x80\"") + "]", false},
        {"[" + Entry("\"\\u4E2D\"") + "]", false},
        {"[" + Entry("\"\\u0000\"") + "]", false},
        {"[" + Entry("\"\\uD83D\\uDE00\"") + "]", false},
        {"[" + Entry("\"\\uDC00\"") + "]", false},
        {"[" + Entry("\"\\uD800\"") + "]", false},
        // Refused shapes: other values, keys, nesting.
        {"{}", false},
        {"\"text\"", false},
        {"[1]", false},
        {"[[]]", false},
        {"[{}]", false},
        {"[" + Entry("1") + "]", false},
        {"[" + Entry("-") + "]", false},
        {"[" + Entry("null") + "]", false},
        {"[" + Entry("true") + "]", false},
        {"[" + Entry("[]") + "]", false},
        {"[" + Entry("{}") + "]", false},
        {"[{\"name\": \"a\", \"data\": \"d\"}]", false},
        {"[{\"name\": \"a\", \"name\": \"b\", \"data\": \"d\", \"extra\": \"\"}]", false},
        {"[{\"name\": \"a\", \"data\": \"d\", \"extra\": \"\", \"more\": \"\"}]", false},
        {"[{\"Name\": \"a\", \"data\": \"d\", \"extra\": \"\"}]", false},
        {"[{\"name\\u0000\": \"a\", \"data\": \"d\", \"extra\": \"\"}]", false},
    };
    for (const auto& [json, bAccepted] : cases) {
        SCOPED_TRACE(json);
        EXPECT_EQ(lumo_fuzz::CompareJsonReaders(json), "");
        lumo_cli::CEntryStore entries;
        EXPECT_EQ(lumo_cli::ReadJsonEntries(json, entries), bAccepted);
        if (bAccepted)
            continue;
        // The import words the refusal as the library does.
        std::string ours, library;
        try {
            lumo_cli::EntriesFromJson(json);
        } catch (const lumo_cli::CImportError& e) {
            ours = e.what();
        }
        try {
            lumo_cli::EntriesFromJsonLibrary(json);
        } catch (const lumo_cli::CImportError& e) {
            library = e.what();
        }
        EXPECT_FALSE(ours.empty());
        EXPECT_EQ(ours, library);
    }
}

TEST(JsonReader, ReadsTheTextsAsTheEntryFileHoldsThem)
{
    lumo_cli::CEntryStore store;
    ASSERT_TRUE(lumo_cli::ReadJsonEntries(
        "[" + Entry("\"A\\u00e9\xC3\xA9\"", "\"\\u20AC\xE2\x82\xAC\\u0081\"", "\"\\n\\\"\"") + "]", store));
    const std::vector<lumo_cli::Entry> entries = lumo_cli::EntriesOf(store);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "A\xE9\xE9");
    EXPECT_EQ(entries[0].data, "\x80\x80\x81");
    EXPECT_EQ(entries[0].extra, "\n\"");
}

}  // namespace
