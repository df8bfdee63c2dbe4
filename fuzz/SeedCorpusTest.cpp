// SPDX-License-Identifier: MIT
// Runs the seed corpora of the import, translation, Windows-1252 and edit
// fuzzers through the checks the fuzzers use, with the normal compiler: a
// regression test for every seed and for every input a fuzzer once found. On
// top, inputs made here: every cut of the import and translation seeds, all
// short byte strings, random edits.
#include "CorpusFiles.h"
#include "Cp1252Check.h"
#include "EditCheck.h"
#include "ImportCheck.h"
#include "TranslationCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

using lumo_fuzz::FileBytes;
using lumo_fuzz::StartsWith;

std::vector<fs::path> Files(const char* corpus)
{
    return lumo_fuzz::CorpusFiles(fs::path(LUMO_FUZZ_DIR) / corpus);
}

TEST(ImportSeeds, AcceptedOnesRoundTripRefusedOnesSayWhere)
{
    const std::vector<fs::path> files = Files("corpus-import");
    ASSERT_GE(files.size(), 30u);  // the script writes about forty
    std::size_t nJsonAccepted = 0, nCsvAccepted = 0;
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        const std::string bytes = FileBytes(path);
        const lumo_fuzz::ImportOutcome outcome = lumo_fuzz::CheckImport(bytes);
        EXPECT_EQ(outcome.problem, "");
        if (StartsWith(name, "ok-")) {
            EXPECT_TRUE(outcome.bAccepted) << outcome.refusal;
        }
        if (StartsWith(name, "bad-")) {
            EXPECT_FALSE(outcome.bAccepted);
        }
        if (outcome.bAccepted)
            ++(bytes[0] & 1 ? nCsvAccepted : nJsonAccepted);
    }
    EXPECT_GT(nJsonAccepted, 0u);
    EXPECT_GT(nCsvAccepted, 0u);
}

// Every prefix of every accepted seed, so each place a file can be cut goes
// through the import: a clean refusal or entries that round-trip.
TEST(ImportSeeds, EveryCutOfTheAcceptedOnes)
{
    for (const fs::path& path : Files("corpus-import")) {
        if (!StartsWith(path.filename().string(), "ok-"))
            continue;
        const std::string bytes = FileBytes(path);
        for (std::size_t cut = 1; cut < bytes.size(); ++cut)
            EXPECT_EQ(lumo_fuzz::CheckImport(std::string_view(bytes).substr(0, cut)).problem, "")
                << path.filename() << " cut at " << cut;
    }
}

// The accepted seeds say how many texts of the template their translations
// replace; the refused ones what their refusal must name.
TEST(TranslationSeeds, AcceptedOnesReplaceTheirTextsRefusedOnesSayWhy)
{
    const std::map<std::string, std::size_t> replaced = {
        {"ok-pot-template", 0}, {"ok-po-translated", 10}, {"ok-po-fuzzy-obsolete", 2}, {"ok-xliff-states", 6}};
    const std::map<std::string, std::string> reason = {
        {"bad-po-plural", "plural"},          {"bad-po-no-header", "header"},
        {"bad-po-not-cp1252", "U+662F"},      {"bad-po-charset", "ISO-8859-1"},
        {"bad-xliff-entity", "document type"}, {"bad-xliff-not-xliff", "namespace"},
        {"bad-xliff-ph-letter", "U+0041"},    {"bad-xliff-empty", "empty"},
        {"bad-xliff-malformed", "malformed"}, {"bad-po-syntax", "line "},
        {"bad-xliff-encoding", "line 7: the bytes are not text in the encoding the file declares"},
        {"bad-xliff-ucs4-order", "line 1: malformed XML: encoding not supported"}};
    const std::vector<fs::path> files = Files("corpus-translation");
    ASSERT_GE(files.size(), 10u);
    std::size_t nListed = 0;  // inputs a fuzzer found may come on top of these
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        // The refusal says it all: the libraries print nothing of their own.
        testing::internal::CaptureStderr();
        const lumo_fuzz::TranslationOutcome outcome = lumo_fuzz::CheckTranslationImport(FileBytes(path));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(outcome.problem, "");
        if (StartsWith(name, "ok-")) {
            EXPECT_TRUE(outcome.bAccepted) << outcome.refusal;
            if (const auto it = replaced.find(name); it != replaced.end()) {
                EXPECT_EQ(outcome.nReplaced, it->second);
                ++nListed;
            }
        }
        if (StartsWith(name, "bad-")) {
            EXPECT_FALSE(outcome.bAccepted);
            if (const auto it = reason.find(name); it != reason.end()) {
                EXPECT_NE(outcome.refusal.find(it->second), std::string::npos) << outcome.refusal;
                ++nListed;
            }
        }
    }
    EXPECT_EQ(nListed, replaced.size() + reason.size());
}

// Every prefix of every accepted seed: a PO or XLIFF file cut anywhere is
// refused cleanly or gives entries that keep the template's shape.
TEST(TranslationSeeds, EveryCutOfTheAcceptedOnes)
{
    for (const fs::path& path : Files("corpus-translation")) {
        if (!StartsWith(path.filename().string(), "ok-"))
            continue;
        const std::string bytes = FileBytes(path);
        for (std::size_t cut = 1; cut < bytes.size(); ++cut)
            EXPECT_EQ(lumo_fuzz::CheckTranslationImport(std::string_view(bytes).substr(0, cut)).problem, "")
                << path.filename() << " cut at " << cut;
    }
}

TEST(Cp1252Seeds, EveryFileConvertsBothWays)
{
    const std::vector<fs::path> files = Files("corpus-cp1252");
    ASSERT_GE(files.size(), 10u);
    for (const fs::path& path : files)
        EXPECT_EQ(lumo_fuzz::CheckCp1252(FileBytes(path)), "") << path.filename();
}

// Every string of one and two bytes: all of the map, every lead byte with
// every second byte.
TEST(Cp1252Seeds, EveryShortByteString)
{
    std::size_t nFailed = 0;
    for (int a = 0; a < 256; ++a) {
        const std::string one(1, static_cast<char>(a));
        EXPECT_EQ(lumo_fuzz::CheckCp1252(one), "") << "byte " << a;
        for (int b = 0; b < 256 && nFailed < 10; ++b) {
            const std::string problem = lumo_fuzz::CheckCp1252(one + static_cast<char>(b));
            nFailed += !problem.empty();
            EXPECT_EQ(problem, "") << "bytes " << a << ", " << b;
        }
    }
}

TEST(EditSeeds, EverySequenceAgreesWithTheList)
{
    const std::vector<fs::path> files = Files("corpus-edit");
    ASSERT_GE(files.size(), 10u);
    for (const fs::path& path : files)
        EXPECT_EQ(lumo_fuzz::CheckEdits(FileBytes(path)), "") << path.filename();
}

// Random inputs, weighted towards the commands that change the list.
TEST(EditSeeds, RandomSequencesAgreeWithTheList)
{
    std::mt19937 rng(20261208);
    for (int run = 0; run < 120; ++run) {
        std::string bytes;
        const std::size_t size = 8 + rng() % 400;
        for (std::size_t i = 0; i < size; ++i)
            bytes += static_cast<char>(rng() % 4 == 0 ? rng() % 10 : rng() % 256);
        const std::string problem = lumo_fuzz::CheckEdits(bytes);
        ASSERT_EQ(problem, "") << "run " << run;
    }
}

}  // namespace
