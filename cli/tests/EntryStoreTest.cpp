// SPDX-License-Identifier: MIT
// The compact entry store the translation conversions hold, against the
// list of entries the rest of lumo reads: the same texts, the same bytes
// written, the same catalog; and an export whose target is read entry by
// entry still refuses a damaged target before writing anything.
#include "cli/EntryStore.h"
#include "cli/Translation.h"
#include "cli/tests/CliTestUtil.h"

#include <gtest/gtest.h>

using namespace lumo_cli;
using namespace lumo_cli_test;

namespace {

// Every message of a catalog with its places and translation, as one text.
std::string Describe(const CCatalog& catalog)
{
    std::string out;
    for (const CMessage& message : catalog.Messages()) {
        out += std::string(message.name) + "|" + std::string(message.source) + "|" + std::string(message.translation);
        for (Slot slot = message.first; slot != kNoSlot; slot = catalog.NextSlot(slot))
            out += " " + std::to_string(slot) + ":" + std::to_string(catalog.MessageAt(slot));
        out += " last " + std::to_string(message.last) + (message.bData ? " d" : "") + (message.bExtra ? " e" : "") + "\n";
    }
    return out;
}

}  // namespace

TEST(EntryStore, HoldsWhatTheListHoldsAndWritesTheSameBytes)
{
    const std::vector<std::string> files = {
        EntryFileBytes({}),
        EntryFileBytes({{"A", "Start", ""}, {"", "", "x"}, {"A", "Start", "Help"}, {"B", "\x80\xff\r\n", "Start"},
                        {"A", "Quit", ""}, {"C", "", ""}, {"B", "Start", "Start"}}),
        // Bytes after a text's 0x00, a record of length 0, bytes after the last entry.
        Le32(2) + Record("A") + Le32(4) + std::string("B\0C\0", 4) + Record("") + Le32(0) + Record("d") + Record("e") +
            "tail",
        EntryFileBytes({{std::string(70000, 'n'), std::string(100000, 'd'), std::string(3, 'e')}}),
    };
    for (const std::string& bytes : files) {
        std::vector<Entry> list;
        CIrregularRecords listNotes, storeNotes;
        {
            CArchive ar{std::string_view(bytes)};
            ReadEntries(ar, &list, &listNotes);
        }
        CEntryStore store;
        {
            CArchive ar{std::string_view(bytes)};
            ReadEntryStore(ar, store, &storeNotes);
        }
        ASSERT_EQ(EntriesOf(store), list);
        EXPECT_EQ(DescribeIrregular(storeNotes), DescribeIrregular(listNotes));
        std::string fromList, fromStore;
        {
            CArchive ar(&fromList);
            WriteEntries(ar, list);
            ar.Close();
        }
        {
            CArchive ar(&fromStore);
            WriteEntryStore(ar, store);
            ar.Close();
        }
        EXPECT_EQ(fromStore, fromList);

        // A catalog finds the same messages in either, and takes the same
        // translations whether the target is a list or read entry by entry.
        std::vector<Entry> target = list;
        for (Entry& entry : target)
            for (std::string* text : {&entry.data, &entry.extra})
                if (!text->empty())
                    *text = "~" + *text;
        target.push_back({"Z", "left out", ""});
        CCatalog fromVector(list), fromEntries(store);
        CWarnings vectorWarnings, storeWarnings;
        fromVector.AddTranslations(target, vectorWarnings);
        fromEntries.AddTranslations(
            [&](const EntryVisitor& visit) {
                for (std::size_t t = 0; t < target.size(); ++t)
                    visit(t, target[t].name, target[t].data, target[t].extra);
            },
            storeWarnings);
        EXPECT_EQ(Describe(fromEntries), Describe(fromVector));
        EXPECT_EQ(storeWarnings.Lines(), vectorWarnings.Lines());
        target.clear();  // the catalog keeps its own copies of the translations
        EXPECT_EQ(Describe(fromEntries), Describe(fromVector));
    }
}

TEST(EntryStore, ExportRefusesADamagedTargetAndWritesNothing)
{
    TempDir dir;
    const std::string source = dir / "source.lumo", target = dir / "target.lumo";
    WriteFile(source, EntryFileBytes({{"A", "Start", ""}, {"B", "Quit", ""}}));
    WriteFile(target, EntryFileBytes({{"A", "Commencer", ""}, {"B", "Quitter", ""}}).substr(0, 40));
    for (const char* format : {"po", "xliff"}) {
        const std::string out = dir / (std::string("out.") + format);
        WriteFile(out, "keep me");
        const CRunResult r = Lumo({"export", target, "--source", source, "--format", format, "-o", out});
        EXPECT_EQ(r.status, 1) << format;
        EXPECT_EQ(r.err, "lumo: " + target + ": damaged: entry 2 of 2 says its data text has 8 bytes, but only 1 follow (at byte offset 35); "
                            "nothing was exported\n")
            << format;
        EXPECT_EQ(ReadFile(out), "keep me") << format;
    }
}
