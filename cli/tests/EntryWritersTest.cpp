// SPDX-License-Identifier: MIT
// The JSON writer's escaping against nlohmann-json's dump(), the oracle:
// every byte alone and random texts must come out the same.
#include "cli/EntryWriters.h"
#include "platform/Cp1252.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <random>

namespace {

std::string Ours(std::string_view cp1252)
{
    std::string out;
    lumo_cli::AppendJsonString(out, cp1252);
    return out;
}

std::string Oracle(std::string_view cp1252)
{
    return nlohmann::json(Cp1252ToUtf8(cp1252)).dump();
}

TEST(JsonWriter, EscapesAsNlohmannJsonDoes)
{
    for (unsigned b = 0; b < 256; ++b) {
        const std::string text = "a" + std::string(1, static_cast<char>(b)) + "z";
        ASSERT_EQ(Ours(text), Oracle(text)) << "byte " << b;
    }
    std::mt19937 random(1252);
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 40, ' ');
        for (char& c : text)
            c = static_cast<char>(random() % 4 == 0 ? random() % 0x20 : random() % 256);
        ASSERT_EQ(Ours(text), Oracle(text)) << "round " << round;
    }
}

}  // namespace

namespace {

std::string Utf8Of(char32_t ch)
{
    std::string s;
    AppendUtf8(s, ch);
    return s;
}

// The reader's shortcuts for ASCII runs and U+00A0-U+00FF against the map,
// character by character, between ASCII and cut short at the end.
TEST(Utf8ToCp1252, EveryCharacterAsTheMapSays)
{
    std::string out;
    for (char32_t ch = 1; ch < 0x10000; ++ch) {
        if (ch >= 0xD800 && ch <= 0xDFFF)
            continue;
        const auto result = Utf8ToCp1252("x" + Utf8Of(ch) + "y", out);
        const auto byte = UnicodeToCp1252(ch);
        ASSERT_EQ(result.ok, byte.has_value()) << std::hex << static_cast<unsigned>(ch);
        if (byte)
            ASSERT_EQ(out, "x" + std::string(1, static_cast<char>(*byte)) + "y") << std::hex << static_cast<unsigned>(ch);
        else
            ASSERT_EQ(static_cast<unsigned>(result.badChar), static_cast<unsigned>(ch));
    }
    for (const char* cut : {"a\xC3", "a\xC2", "\xC3\xC3", "\xC2\x9F", "\xC3("})
        EXPECT_FALSE(Utf8ToCp1252(cut, out).ok) << cut;
}

}  // namespace
