// SPDX-License-Identifier: MIT
// Runs the merge fuzzer's seed corpus through its check with the normal
// compiler: a regression test for every seed and every input the fuzzer once
// found. Seeds named clean-* merge without a conflict, conflict-* with one.
#include "CorpusFiles.h"
#include "MergeCheck.h"

#include <gtest/gtest.h>

#include <random>

namespace fs = std::filesystem;

TEST(MergeSeeds, HoldTheChecksAndConflictWhereTheirNamesSay)
{
    const std::vector<fs::path> files = lumo_fuzz::CorpusFiles(fs::path(LUMO_FUZZ_DIR) / "corpus-merge");
    ASSERT_GE(files.size(), 10u);
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        const lumo_fuzz::MergeOutcome outcome = lumo_fuzz::CheckMerge(lumo_fuzz::FileBytes(path));
        EXPECT_EQ(outcome.problem, "");
        if (lumo_fuzz::StartsWith(name, "clean-"))
            EXPECT_EQ(outcome.nConflicts, 0u);
        if (lumo_fuzz::StartsWith(name, "conflict-"))
            EXPECT_GT(outcome.nConflicts, 0u);
    }
}

// Random triples over a few names, so that entries pair, move and repeat.
TEST(MergeSeeds, RandomTriples)
{
    std::mt19937 rng(18);
    for (int round = 0; round < 2000; ++round) {
        std::string input;
        for (int side = 0; side < 3; ++side) {
            const int nEntries = static_cast<int>(rng() % 7);
            for (int i = 0; i < nEntries; ++i)
                input += std::string(1, static_cast<char>('A' + rng() % 4)) + "=" +
                         std::string(1, static_cast<char>('a' + rng() % 3)) + (rng() % 3 ? "" : "|x") + "\n";
            input += "--\n";
        }
        const lumo_fuzz::MergeOutcome outcome = lumo_fuzz::CheckMerge(input);
        ASSERT_EQ(outcome.problem, "") << input;
    }
}
