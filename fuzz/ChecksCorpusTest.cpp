// SPDX-License-Identifier: MIT
// The seed corpus of lumo_fuzz_checks through the fuzzer's checks, with the
// normal compiler, and on top every cut of every seed and random pairs.
#include "ChecksCheck.h"
#include "CorpusFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(ChecksSeeds, EveryPropertyHoldsForEverySeedAndItsCuts)
{
    const auto files = lumo_fuzz::CorpusFiles(std::filesystem::path(LUMO_FUZZ_DIR) / "corpus-checks");
    ASSERT_GE(files.size(), 20u);
    std::size_t nWithFindings = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = lumo_fuzz::FileBytes(path);
        const lumo_fuzz::ChecksOutcome outcome = lumo_fuzz::CheckTranslationChecks(bytes);
        EXPECT_EQ(outcome.problem, "");
        nWithFindings += outcome.nFindings > 0 ? 1 : 0;
        for (std::size_t n = 0; n < bytes.size(); ++n)
            ASSERT_EQ(lumo_fuzz::CheckTranslationChecks(bytes.substr(0, n)).problem, "") << "cut at " << n;
    }
    // The seeds reach the checks: all but the self pair and the empty ones find something.
    EXPECT_GE(nWithFindings, files.size() - 4);
}

TEST(ChecksSeeds, RandomPairsKeepEveryProperty)
{
    static const char* const kPieces[] = {"%s", "%d", "%1$s", "%%", "{0}", "{{", "}", "<b>", "</b>", "<br/>", "<",
                                          "\x07", "\n", "\r", " ", "  ", ".", "\x85", "3", "1,5", "http://a.b",
                                          "x@y.z", "[A]", "^1", "A", "\x1E", "\x1E", "\x1D", "\xA0", "\t"};
    std::mt19937 rng(29);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(1, static_cast<char>(rng()));
        const std::size_t n = rng() % 40;
        for (std::size_t i = 0; i < n; ++i)
            bytes += kPieces[rng() % std::size(kPieces)];
        ASSERT_EQ(lumo_fuzz::CheckTranslationChecks(bytes).problem, "") << round;
    }
}

}  // namespace
