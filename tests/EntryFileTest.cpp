// SPDX-License-Identifier: MIT
#include "Harness.h"
#include "document/EntryFile.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumo_test;

namespace {

// Loads bytes into a fresh program's view through the document's Serialize
// (from memory), and stores the view back the same way.
class EntryFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.Start()); }
    void Load(const std::string& bytes)
    {
        CArchive ar(std::string_view{bytes});
        app.doc().Serialize(ar);
    }
    std::string Store()
    {
        std::string out;
        CArchive ar(&out);
        app.doc().Serialize(ar);
        ar.Close();
        return out;
    }
    // Loads damaged bytes: must throw the damage report, and leave a consistent tree.
    CEntryFileException LoadDamaged(const std::string& bytes)
    {
        try {
            Load(bytes);
        } catch (const CEntryFileException& e) {
            EXPECT_TRUE(TreeIsConsistent(app.view()));
            return e;
        }
        ADD_FAILURE() << "the damaged file loaded";
        return CEntryFileException(EEntryFileError::countTruncated, 0);
    }

    App app;
};

TEST_F(EntryFileTest, WorkedExampleRoundTrips)
{
    const std::string bytes("\x01\x00\x00\x00"
                            "\x02\x00\x00\x00"
                            "A\x00"
                            "\x02\x00\x00\x00"
                            "B\x00"
                            "\x01\x00\x00\x00\x00",
                            21);
    Load(bytes);
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{{"A", "B", ""}}));
    EXPECT_EQ(app.view().m_nCount, 1u);
    EXPECT_EQ(app.tree().GetCount(), 2u);  // no extra node for an empty extra
    EXPECT_EQ(Store(), bytes);
}

TEST_F(EntryFileTest, EmptyListAndEmptyFile)
{
    Load(EntryFileBytes({{"x", "y", "z"}}));
    Load(std::string(4, '\0'));
    EXPECT_EQ(app.tree().GetCount(), 0u);
    EXPECT_EQ(app.view().m_nCount, 0u);
    EXPECT_EQ(Store(), std::string(4, '\0'));

    Load(EntryFileBytes({{"x", "y", "z"}}));
    Load("");  // zero bytes: an empty list, not damage
    EXPECT_EQ(app.view().m_nCount, 0u);
    EXPECT_EQ(Store(), std::string(4, '\0'));
}

TEST_F(EntryFileTest, EveryKindOfTextRoundTrips)
{
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high += static_cast<char>(c);
    const std::vector<Entry> entries{
        {"", "empty name", ""},
        {"STR_EMPTY_DATA", "", ""},
        {"STR_EXTRA", "text", "extra"},
        {high, high, high},
        {"line\r\nends", "tab\there", "\x01\x7F"},
        {"STR_LONG", std::string(100000, 'L'), ""},
    };
    const std::string bytes = EntryFileBytes(entries);
    Load(bytes);
    EXPECT_EQ(EntriesOf(app.view()), entries);
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    // An empty data text still has its node; an empty extra has none.
    HTREEITEM second = app.tree().GetChildAt(TVI_ROOT, 1);
    EXPECT_EQ(app.tree().GetChildCount(second), 1u);
    EXPECT_EQ(app.tree().GetChildCount(app.tree().GetChildAt(TVI_ROOT, 2)), 2u);
    EXPECT_EQ(Store(), bytes);
}

TEST_F(EntryFileTest, OddRecordsLoadAndAreWrittenCanonically)
{
    // A length of 0, a record without its final 0x00, an extra that starts
    // with 0x00 (no extra node), and text after an inner 0x00 (dropped).
    const std::string bytes = Le32(2) + Le32(0) + Record("data") + (Le32(3) + std::string("\0zz", 3)) +
                              (Le32(3) + "abc") + (Le32(6) + std::string("ab\0cd\0", 6)) + Record("x");
    Load(bytes);
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{{"", "data", ""}, {"abc", "ab", "x"}}));
    EXPECT_EQ(app.tree().GetChildCount(app.tree().GetChildAt(TVI_ROOT, 0)), 1u);
    EXPECT_EQ(Store(), EntryFileBytes({{"", "data", ""}, {"abc", "ab", "x"}}));
}

TEST_F(EntryFileTest, LoadReplacesWhatWasShown)
{
    Load(EntryFileBytes({{"a", "1", ""}, {"b", "2", "x"}, {"c", "3", ""}}));
    app.SelectEntry(1);
    Load(EntryFileBytes({{"z", "9", ""}}));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{{"z", "9", ""}}));
    EXPECT_EQ(app.tree().GetSelectedItem(), nullptr);
    EXPECT_TRUE(TreeIsConsistent(app.view()));
}

TEST_F(EntryFileTest, EveryTruncationIsReportedWithTheCompleteEntriesKept)
{
    const std::vector<Entry> entries{{"STR_A", "Alpha", ""}, {"STR_B", "Beta", "b"}, {"STR_C", "", "Gamma"}};
    const std::string bytes = EntryFileBytes(entries);
    std::vector<std::size_t> entryEnds{4};
    for (const Entry& e : entries)
        entryEnds.push_back(entryEnds.back() + 15 + e.name.size() + e.data.size() + e.extra.size());
    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const CEntryFileException e = LoadDamaged(bytes.substr(0, cut));
        EXPECT_LE(e.m_nOffset, cut);
        const auto complete = static_cast<std::size_t>(
            std::upper_bound(entryEnds.begin(), entryEnds.end(), cut) - entryEnds.begin() - 1);
        EXPECT_EQ(app.view().m_nCount, cut < 4 ? 0u : complete);
        EXPECT_EQ(EntriesOf(app.view()), std::vector<Entry>(entries.begin(), entries.begin() + app.view().m_nCount));
        if (cut >= 4) {
            EXPECT_EQ(e.m_nEntry, complete + 1);
            EXPECT_EQ(e.m_nCount, 3u);
        } else {
            EXPECT_EQ(e.m_error, EEntryFileError::countTruncated);
        }
        // What is left stores as a sound file of those entries.
        EXPECT_EQ(Store(), EntryFileBytes(EntriesOf(app.view())));
    }
}

TEST_F(EntryFileTest, DamageMessagesNameEntryAndOffset)
{
    CEntryFileException e = LoadDamaged(std::string("\x02\x00", 2));
    EXPECT_EQ(e.GetErrorMessage(), "the file is damaged: it ends inside the entry count (2 of 4 bytes, at byte offset 0)");

    // A count larger than what follows.
    e = LoadDamaged(Le32(5) + Record("a") + Record("b") + Record(""));
    EXPECT_EQ(e.GetErrorMessage(), "the file is damaged: it ends before entry 2 of 5 (at byte offset 21)");
    EXPECT_EQ(app.view().m_nCount, 1u);

    // The data record's length runs past the end.
    e = LoadDamaged(Le32(1) + Record("a") + Le32(1000) + "xy");
    EXPECT_EQ(e.GetErrorMessage(),
              "the file is damaged: entry 1 of 1 says its data text has 1000 bytes, but only 2 follow (at byte offset 10)");
    EXPECT_EQ(app.view().m_nCount, 0u);

}

// Bytes no text holds load, and the document says once what a save drops.
TEST_F(EntryFileTest, BytesNoEntryHoldsLoadWithAWarning)
{
    Load(Le32(1) + Record("a") + Record("b") + Record("") + "junk");
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{{"a", "b", ""}}));
    EXPECT_EQ(Store(), EntryFileBytes({{"a", "b", ""}}));
    app.frame().ShowWindow(SW_SHOW);
    app.frame().ShowWindow(SW_SHOW);
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(app.fe().m_messages[0].text,
              "\"\":\n4 bytes after the last entry are not part of any entry; saving will not keep them.");

    // Inner 0x00 bytes: the first such record is named, the others counted.
    Load(Le32(2) + Record("a") + (Le32(5) + std::string("b\0cd\0", 5)) + Record("") + Record("c") + Record("d") +
         (Le32(3) + std::string("\0e\0", 3)) + "!");
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{{"a", "b", ""}, {"c", "d", ""}}));
    app.frame().ShowWindow(SW_SHOW);
    ASSERT_EQ(app.fe().m_messages.size(), 2u);
    EXPECT_EQ(app.fe().m_messages[1].text,
              "\"\":\n1 byte after the last entry is not part of any entry; the data text of entry 1 hides 3 bytes "
              "after its first 0x00 byte (byte offset 10), and 1 more record does the same; saving will not keep them.");

    // A sound file says nothing.
    Load(EntryFileBytes({{"a", "b", "c"}}));
    app.frame().ShowWindow(SW_SHOW);
    EXPECT_EQ(app.fe().m_messages.size(), 2u);
}

TEST_F(EntryFileTest, HugeLengthsAndCountsCostNothing)
{
    // A 4 GiB length in a tiny file is refused before anything is allocated
    // (a sanitizer or the memory limit would notice otherwise).
    CEntryFileException e = LoadDamaged(Le32(1) + Le32(0xFFFFFFFF) + "abc");
    EXPECT_EQ(e.m_error, EEntryFileError::textPastEnd);
    EXPECT_EQ(e.m_nClaimed, 0xFFFFFFFFu);
    e = LoadDamaged(Le32(0xFFFFFFFF) + Record("a") + Record("b") + Record(""));
    EXPECT_EQ(e.m_nEntry, 2u);
    EXPECT_EQ(e.m_nCount, 0xFFFFFFFFu);
    EXPECT_EQ(app.view().m_nCount, 1u);
}

TEST(EntryWriter, WritesTheCanonicalRecords)
{
    std::string out;
    CArchive ar(&out);
    CEntryWriter writer(ar);
    writer.WriteCount(0x01020304);
    writer.WriteRecord("AB");
    writer.WriteEmptyRecord();
    EXPECT_EQ(out, std::string("\x04\x03\x02\x01\x03\x00\x00\x00"
                               "AB\x00\x01\x00\x00\x00\x00",
                               16));
}

}  // namespace
