// SPDX-License-Identifier: MIT
// The kind of each damage and its numbers, not only where it is: a file cut
// short says what the cut record claimed and how much of it is there, the
// same whether it is read from memory, from a file through the usual buffer
// or through a small one (so records lie across the buffer's end or are
// longer than the buffer).
#include "Harness.h"
#include "document/EntryFile.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <optional>

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

struct Damage {
    EEntryFileError error;
    ULONGLONG nOffset;
    UINT nEntry, nCount;
    EEntryField field;
    ULONGLONG nClaimed, nAvailable;
};

std::string Show(const Damage& d)
{
    return "kind " + std::to_string(static_cast<int>(d.error)) + ", offset " + std::to_string(d.nOffset) +
           ", entry " + std::to_string(d.nEntry) + " of " + std::to_string(d.nCount) + ", field " +
           EntryFieldName(d.field) + ", claimed " + std::to_string(d.nClaimed) + ", available " +
           std::to_string(d.nAvailable);
}

// Loads the bytes into the program's document three ways; each must report
// exactly the expected damage.
class DamageKind : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_app.Start()); }

    template <class Load>
    std::optional<Damage> Attempt(Load&& load)
    {
        try {
            load();
        } catch (const CEntryFileException& e) {
            return Damage{e.m_error, e.m_nOffset, e.m_nEntry, e.m_nCount, e.m_field, e.m_nClaimed, e.m_nAvailable};
        }
        return std::nullopt;
    }

    void Expect(const std::string& bytes, const Damage& expected)
    {
        const fs::path path = m_dir / "damaged.lumo";
        WriteFile(path, bytes);
        const std::pair<const char*, std::function<void()>> ways[] = {
            {"from memory", [&] {
                 CArchive ar{std::string_view(bytes)};
                 m_app.doc().Serialize(ar);
             }},
            {"from a file", [&] {
                 CFile file;
                 file.Open(path.string(), CFile::modeRead);
                 CArchive ar(&file, CArchive::load);
                 m_app.doc().Serialize(ar);
             }},
            {"from a file through 16 bytes", [&] {
                 CFile file;
                 file.Open(path.string(), CFile::modeRead);
                 CArchive ar(&file, CArchive::load, 16);
                 m_app.doc().Serialize(ar);
             }},
        };
        for (const auto& [how, load] : ways) {
            const std::optional<Damage> got = Attempt(load);
            ASSERT_TRUE(got.has_value()) << how << ": loaded without a damage report";
            EXPECT_EQ(Show(*got), Show(expected)) << how;
        }
    }

    TempDir m_dir;
    App m_app;
};

// Two entries, the last with an empty extra text:
//   count 0-3 | A: name 4, data 10, extra "ax" 20 | B: name 27, data "beta" 33, extra "" 42 | end 47
const std::string kFile = EntryFileBytes({{"A", "alpha", "ax"}, {"B", "beta", ""}});

TEST_F(DamageKind, EachCutSaysWhatTheCutPartClaimedAndWhatIsThere)
{
    ASSERT_EQ(kFile.size(), 47u);
    using E = EEntryFileError;
    using F = EEntryField;
    SCOPED_TRACE("inside the count");
    Expect(kFile.substr(0, 2), {E::countTruncated, 0, 0, 0, F::name, 4, 2});
    Expect(kFile.substr(0, 3), {E::countTruncated, 0, 0, 0, F::name, 4, 3});
    // Right before an entry, and inside a length.
    Expect(kFile.substr(0, 4), {E::lengthTruncated, 4, 1, 2, F::name, 4, 0});
    Expect(kFile.substr(0, 27), {E::lengthTruncated, 27, 2, 2, F::name, 4, 0});
    Expect(kFile.substr(0, 35), {E::lengthTruncated, 33, 2, 2, F::data, 4, 2});
    Expect(kFile.substr(0, 45), {E::lengthTruncated, 42, 2, 2, F::extra, 4, 3});
    // Inside a text: the record claims more than follows.
    Expect(kFile.substr(0, 39), {E::textPastEnd, 33, 2, 2, F::data, 5, 2});
    Expect(kFile.substr(0, 26), {E::textPastEnd, 20, 1, 2, F::extra, 3, 2});
    // Cut by its last byte: the empty extra text claims its 0x00, and nothing follows.
    Expect(kFile.substr(0, 46), {E::textPastEnd, 42, 2, 2, F::extra, 1, 0});
}

TEST_F(DamageKind, ACountLargerThanTheEntriesEndsBeforeTheFirstMissingOne)
{
    std::string bytes = kFile;
    bytes[0] = 3;
    Expect(bytes, {EEntryFileError::lengthTruncated, 47, 3, 3, EEntryField::name, 4, 0});
    bytes[0] = '\xFF';
    bytes[3] = '\xFF';
    Expect(bytes, {EEntryFileError::lengthTruncated, 47, 3, 0xFF0000FF, EEntryField::name, 4, 0});
}

// A data text longer than the archive's buffer (1 MiB): cut inside it, and
// cut by the file's last byte after it.
TEST_F(DamageKind, ARecordLongerThanTheBuffer)
{
    const std::string big(std::size_t{3} << 19, 'x');  // 1.5 MiB
    const std::string file = EntryFileBytes({{"BIG", big, ""}});
    const ULONGLONG dataAt = 4 + 4 + 4;  // count, name record "BIG"
    const ULONGLONG extraAt = dataAt + 4 + big.size() + 1;
    ASSERT_EQ(file.size(), extraAt + 5);
    using E = EEntryFileError;
    Expect(file.substr(0, 1000000), {E::textPastEnd, dataAt, 1, 1, EEntryField::data, big.size() + 1,
                                     1000000 - dataAt - 4});
    Expect(file.substr(0, extraAt - 1), {E::textPastEnd, dataAt, 1, 1, EEntryField::data, big.size() + 1,
                                         big.size()});
    Expect(file.substr(0, file.size() - 1), {E::textPastEnd, extraAt, 1, 1, EEntryField::extra, 1, 0});
}

}  // namespace
