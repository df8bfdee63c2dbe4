// SPDX-License-Identifier: MIT
// Runs every file of the fuzzer's seed corpus through the same load check the
// fuzzer uses, with the normal compiler: a regression test for each damaged
// shape, and for every input the fuzzer once found.
#include "CorpusFiles.h"
#include "LoadCheck.h"

#include "tests/support/EntryBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

// With AddressSanitizer: a block far larger than any input here justifies is
// refused (and reported by the load check) instead of being taken and filled.
extern "C" const char* __asan_default_options()
{
    return "max_allocation_size_mb=1024:allocator_may_return_null=1";
}

namespace {

using lumo_fuzz::FileBytes;
using lumo_fuzz::StartsWith;

std::vector<fs::path> CorpusFiles()
{
    return lumo_fuzz::CorpusFiles(LUMO_CORPUS_DIR);
}

TEST(FuzzCorpus, EveryFileLoadsOrIsRefusedWithAReport)
{
    const std::vector<fs::path> files = CorpusFiles();
    // The script writes over thirty; far fewer means the corpus went missing.
    ASSERT_GE(files.size(), 30u) << LUMO_CORPUS_DIR;
    std::size_t nLoaded = 0, nRefused = 0;
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        const lumo_fuzz::LoadOutcome outcome = lumo_fuzz::CheckLoad(FileBytes(path));
        EXPECT_EQ(outcome.problem, "");
        if (outcome.bLoaded) {
            ++nLoaded;
            EXPECT_FALSE(StartsWith(name, "bad-")) << "a damaged file loaded";
        } else {
            ++nRefused;
            EXPECT_FALSE(StartsWith(name, "ok-")) << "refused: " << outcome.report;
            EXPECT_TRUE(StartsWith(outcome.report, "the file is damaged: ") ||
                        StartsWith(outcome.report, "the file does not look like an entry file; "))
                << outcome.report;
            EXPECT_NE(outcome.report.find("byte offset"), std::string::npos) << outcome.report;
        }
    }
    EXPECT_GT(nLoaded, 0u);
    EXPECT_GT(nRefused, 0u);
}

// The same checks on inputs made here: every prefix of a sound file, and the
// sound file with each byte changed, so each cut and each bad value in every
// position of the format goes through the load check too.
TEST(FuzzCorpus, EveryCutAndEveryByteOfASoundFile)
{
    const std::string sound = FileBytes(fs::path(LUMO_CORPUS_DIR) / "ok-extra-texts.lumo");
    ASSERT_FALSE(sound.empty());
    for (std::size_t cut = 0; cut < sound.size(); ++cut) {
        const lumo_fuzz::LoadOutcome outcome = lumo_fuzz::CheckLoad(std::string_view(sound).substr(0, cut));
        EXPECT_EQ(outcome.problem, "") << "cut at " << cut;
        EXPECT_EQ(outcome.bLoaded, cut == 0) << "cut at " << cut;
    }
    for (std::size_t i = 0; i < sound.size(); ++i) {
        for (unsigned char value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            std::string changed = sound;
            changed[i] = static_cast<char>(value);
            EXPECT_EQ(lumo_fuzz::CheckLoad(changed).problem, "") << "byte " << i << " set to " << int{value};
        }
    }
}

using lumo_test_support::Le32;
using lumo_test_support::Record;

// Inputs too large for the fuzzer to make: more nodes than one block of the
// tree holds, more text than one chunk of its text store, a text that gets a
// chunk of its own; sound, and cut inside their last entry.
TEST(FuzzCorpus, LargeInputsCrossTheTreesBlocks)
{
    const std::uint32_t nEntries = 25000;  // 75,000 nodes: past 65,536
    std::string many = Le32(nEntries);
    for (std::uint32_t i = 0; i < nEntries; ++i)
        many += Record("STR_" + std::to_string(i)) + Record(std::string(40, static_cast<char>('a' + i % 26))) +
                Record(i % 2 ? "x" : "");
    std::string big = Le32(2) + Record("STR_BIG") + Record(std::string(300000, 'B')) + Record("") +
                      Record("STR_AFTER") + Record("after") + Record(std::string(70000, '\xE9'));
    for (const std::string* bytes : {&many, &big}) {
        lumo_fuzz::LoadOutcome outcome = lumo_fuzz::CheckLoad(*bytes);
        EXPECT_EQ(outcome.problem, "");
        EXPECT_TRUE(outcome.bLoaded) << outcome.report;
        outcome = lumo_fuzz::CheckLoad(std::string_view(*bytes).substr(0, bytes->size() - 3));
        EXPECT_EQ(outcome.problem, "");
        EXPECT_FALSE(outcome.bLoaded);
    }
}

}  // namespace
