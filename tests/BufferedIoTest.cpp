// SPDX-License-Identifier: MIT
// Loading and storing through a real file with archive buffers of every
// small size: records then start, end and straddle buffer boundaries, and
// some are longer than the buffer. Whatever the buffer, the result must be
// what the same bytes give from memory, damage reports included.
#include "Harness.h"
#include "document/EntryFile.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <random>

using namespace lumo_test;

namespace {

struct Outcome {
    std::vector<Entry> entries;
    std::optional<CString> damage;  // the message, when the bytes were refused
    bool operator==(const Outcome&) const = default;
};

class BufferedIoTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.Start()); }

    Outcome Finish(const std::function<void()>& load)
    {
        Outcome outcome;
        try {
            load();
        } catch (const CEntryFileException& e) {
            outcome.damage = e.GetErrorMessage();
        }
        EXPECT_TRUE(TreeIsConsistent(app.view()));
        outcome.entries = EntriesOf(app.view());
        return outcome;
    }
    Outcome LoadFromMemory(const std::string& bytes)
    {
        return Finish([&] {
            CArchive ar(std::string_view{bytes});
            app.doc().Serialize(ar);
        });
    }
    Outcome LoadFromFile(const std::string& bytes, UINT nBufSize)
    {
        WriteFile(dir / "in.lumo", bytes);
        return Finish([&] {
            CFile file;
            file.Open((dir / "in.lumo").string(), CFile::modeRead);
            CArchive ar(&file, CArchive::load, nBufSize);
            app.doc().Serialize(ar);
        });
    }
    std::string StoreToFile(UINT nBufSize)
    {
        CFile file;
        file.Open((dir / "out.lumo").string(), CFile::modeReplace);
        CArchive ar(&file, CArchive::store, nBufSize);
        app.doc().Serialize(ar);
        ar.Close();
        file.Commit();
        return ReadFile(dir / "out.lumo");
    }

    App app;
    TempDir dir;
};

// Sizes around the record lengths below, and one far bigger than the file.
const UINT kBufferSizes[] = {16, 17, 19, 23, 31, 64, 100, 1u << 20};

std::vector<Entry> MixedEntries()
{
    std::mt19937 rng(77);
    const auto text = [&](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += static_cast<char>(1 + rng() % 255);  // any byte but 0x00
        return s;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < 60; ++i)
        entries.push_back({text(rng() % 20), text(rng() % 45), rng() % 3 == 0 ? text(1 + rng() % 30) : ""});
    entries.push_back({"STR_LONG", text(300), text(200)});  // longer than the small buffers
    entries.push_back({"", "", ""});
    return entries;
}

TEST_F(BufferedIoTest, EveryBufferSizeLoadsAndStoresTheSameBytes)
{
    const std::vector<Entry> entries = MixedEntries();
    const std::string bytes = EntryFileBytes(entries);
    for (UINT size : kBufferSizes) {
        SCOPED_TRACE("buffer of " + std::to_string(size) + " bytes");
        const Outcome outcome = LoadFromFile(bytes, size);
        EXPECT_FALSE(outcome.damage.has_value()) << *outcome.damage;
        EXPECT_EQ(outcome.entries, entries);
        EXPECT_EQ(StoreToFile(size), bytes);
    }
}

TEST_F(BufferedIoTest, OddRecordsReadTheSameAsFromMemory)
{
    // Records without their final 0x00, with text after an inner 0x00, and
    // of length 0, each at many positions relative to the buffer's end.
    const std::string odd = (Le32(5) + "abcde") + (Le32(6) + std::string("ab\0cd\0", 6)) + Le32(0);
    for (std::size_t pad = 0; pad < 12; ++pad) {
        const std::string bytes = Le32(2) + Record(std::string(pad, 'p')) + odd + Record("x") + Record("y");
        const Outcome expected = LoadFromMemory(bytes);
        ASSERT_FALSE(expected.damage.has_value());
        ASSERT_EQ(expected.entries, (std::vector<Entry>{{std::string(pad, 'p'), "abcde", "ab"}, {"", "x", "y"}}));
        for (UINT size : kBufferSizes) {
            SCOPED_TRACE("pad " + std::to_string(pad) + ", buffer of " + std::to_string(size) + " bytes");
            EXPECT_EQ(LoadFromFile(bytes, size), expected);
        }
    }
}

TEST_F(BufferedIoTest, DamageIsReportedAlikeWithAnyBuffer)
{
    const std::vector<Entry> mixed = MixedEntries();
    std::vector<Entry> entries(mixed.begin(), mixed.begin() + 4);
    entries.push_back({"STR_LONG", std::string(40, 'L'), std::string(25, 'E')});
    const std::string bytes = EntryFileBytes(entries);
    for (std::size_t cut = 0; cut <= bytes.size() + 3; ++cut) {
        // Cut short, or with bytes after the end.
        const std::string damaged = cut <= bytes.size() ? bytes.substr(0, cut) : bytes + std::string(cut - bytes.size(), 'j');
        const Outcome expected = LoadFromMemory(damaged);
        for (UINT size : {16u, 19u, 31u, 1u << 20}) {
            SCOPED_TRACE("cut " + std::to_string(cut) + ", buffer of " + std::to_string(size) + " bytes");
            ASSERT_EQ(LoadFromFile(damaged, size), expected);
        }
    }
}

TEST(ArchiveInPlace, ReadsAndWritesWithinTheBufferOnly)
{
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 100; ++i)
        bytes += static_cast<char>(i);
    WriteFile(dir / "bytes", bytes);
    CFile file;
    file.Open((dir / "bytes").string(), CFile::modeRead);
    CArchive ar(&file, CArchive::load, 16);
    const char* p = ar.ReadInPlace(10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 10), bytes.substr(0, 10));
    p = ar.ReadInPlace(16);  // straddles the first fill: moved to the buffer's start
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 16), bytes.substr(10, 16));
    EXPECT_EQ(ar.ReadInPlace(17), nullptr);  // more than the buffer holds: nothing taken
    EXPECT_EQ(ar.GetPosition(), 26u);
    char rest[100];
    EXPECT_EQ(ar.Read(rest, 100), 74u);
    EXPECT_EQ(std::string(rest, 74), bytes.substr(26));
    EXPECT_EQ(ar.ReadInPlace(1), nullptr);  // at the end
    EXPECT_EQ(ar.ReadInPlace(0) != nullptr, true);

    // From memory: in place up to the end, never past it.
    CArchive mem(std::string_view{bytes});
    EXPECT_EQ(mem.ReadInPlace(100), bytes.data());
    EXPECT_EQ(mem.ReadInPlace(1), nullptr);

    // Storing: the room is in the buffer and written out in order with the rest.
    CFile out;
    out.Open((dir / "out").string(), CFile::modeReplace);
    CArchive store(&out, CArchive::store, 16);
    store.Write("ab", 2);
    char* room = store.WriteInPlace(16);  // flushes "ab" first
    ASSERT_NE(room, nullptr);
    std::memcpy(room, "0123456789ABCDEF", 16);
    EXPECT_EQ(store.WriteInPlace(17), nullptr);
    store.Write("z", 1);
    EXPECT_EQ(store.GetPosition(), 19u);
    store.Close();
    out.Commit();
    EXPECT_EQ(ReadFile(dir / "out"), "ab0123456789ABCDEFz");

    std::string s;
    CArchive toString(&s);
    EXPECT_EQ(toString.WriteInPlace(4), nullptr);  // a string grows through Write
}

}  // namespace
