// SPDX-License-Identifier: MIT
// The JSON writer's escaping against nlohmann-json's dump(), the oracle:
// every byte alone and random texts must come out the same.
#include "cli/EntryWriters.h"
#include "platform/Cp1252.h"

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
