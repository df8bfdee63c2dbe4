// SPDX-License-Identifier: MIT
// lumo's own XLIFF writer against libxml2's writer, the oracle: the same
// export must give the same bytes.
#include "CorpusFiles.h"
#include "XliffWriterCheck.h"

#include <gtest/gtest.h>

#include <random>

using namespace lumo_fuzz;
using lumo_cli::Entry;

namespace {

CXliffTestExport Export(std::vector<Entry> source, std::vector<Entry> target, std::string file = "game.lumo",
                        std::string language = "fr")
{
    CXliffTestExport given;
    given.source = std::move(source);
    given.target = std::move(target);
    given.info.sourceFile = std::move(file);
    given.info.language = std::move(language);
    return given;
}

TEST(XliffWriterOracle, WritesWhatLibxml2Writes)
{
    std::string all, allInName;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
        if (!lumo_cli::IsXmlForbiddenControl(static_cast<unsigned char>(b)))
            allInName += static_cast<char>(b);
    }
    std::vector<Entry> many(60, Entry{"SAME", "again", "again"});  // past the references a note lists
    many.push_back({"OTHER", "again", ""});
    // Past the writer's piece of input and its buffer, with escapes and
    // two-byte forms throughout.
    std::string big;
    for (std::size_t i = 0; big.size() < 3000000; ++i)
        big += i % 7 == 0 ? "&\"<\r\x01" : "caf\xe9 \x80";

    const std::vector<CXliffTestExport> cases = {
        Export({{"A", all, all}, {allInName, "x", ""}}, {{"A", "t: " + all, all + all}, {allInName, "", "y"}}),
        Export({{"", "no name", ""}, {"B", "\x01", "\x1f\x01\x02"}, {"C", "\x01" "a", "a\x0b"}},
               {{"", "sans nom", ""}, {"B", "\x02", "\x03"}}, "j\xc3\xa9u & \"co\" <x>\t.lumo", ""),
        Export(many, {}),
        Export({{"BIG", big, "small"}}, {{"BIG", "small", big}}),
        Export({}, {}, "empty.lumo", "pt_BR"),
    };
    for (const CXliffTestExport& given : cases)
        EXPECT_EQ(CompareXliffWriters(given), "") << given.info.sourceFile;
}

// Random entries over an alphabet heavy in what XML escapes or refuses.
TEST(XliffWriterOracle, RandomExportsMatchLibxml2)
{
    std::mt19937 random(20261209);
    const std::string alphabet = "aaee  &<>\"'\t\n\r\x01\x08\x0b\x1f\x7f\x80\x81\x85\x9d\xa0\xe9\xff]";
    const auto text = [&](std::size_t nMax) {
        std::string bytes(random() % (nMax + 1), ' ');
        for (char& c : bytes)
            c = alphabet[random() % alphabet.size()];
        return bytes;
    };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = text(8) + '\0' + "de" + '\0';
        for (int e = 0; e < 6; ++e)
            bytes += text(3) + '\0' + text(40) + '\0' + text(10) + '\0' + text(40) + '\0' + text(10) + '\0';
        ASSERT_EQ(CompareXliffWriters(XliffExportFromBytes(bytes)), "") << "round " << round;
    }
}

TEST(XliffWriterOracle, SeedCorpusMatchesLibxml2)
{
    const auto files = CorpusFiles(LUMO_FUZZ_DIR "/corpus-xliffwrite");
    ASSERT_FALSE(files.empty());
    for (const auto& file : files)
        EXPECT_EQ(CompareXliffWriters(XliffExportFromBytes(FileBytes(file))), "") << file;
}

}  // namespace
