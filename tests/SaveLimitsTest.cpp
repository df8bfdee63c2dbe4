// SPDX-License-Identifier: MIT
// Limits a machine imposes on a save: texts near 4 GiB, names near the
// longest a file system allows, and files that belong to someone else.

#include "Harness.h"

#include "document/EntryFile.h"
#include "platform/AfxRes.h"
#include "platform/Archive.h"
#include "platform/File.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace lumo_test;

namespace {

// A file that counts what it is given instead of keeping it, so gigabytes
// can be written without gigabytes of disk; it keeps the first bytes.
class CCountingFile : public CFile {
public:
    void Write(const void* lpBuf, UINT nCount) override
    {
        const auto* p = static_cast<const char*>(lpBuf);
        m_strHead.append(p, std::min<std::size_t>(nCount, 16 - std::min<std::size_t>(16, m_strHead.size())));
        m_nBytes += nCount;
    }
    ULONGLONG m_nBytes = 0;
    std::string m_strHead;
};

// 4 GiB of zeros that cost no memory: untouched pages of a private mapping.
class CZeros {
public:
    static constexpr std::size_t kSize = std::size_t{1} << 32;
    CZeros() : m_p(::mmap(nullptr, kSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)) {}
    ~CZeros()
    {
        if (m_p != MAP_FAILED)
            ::munmap(m_p, kSize);
    }
    bool Ok() const { return m_p != MAP_FAILED; }
    std::string_view View(std::size_t n) const { return {static_cast<const char*>(m_p), n}; }

private:
    void* m_p;
};

TEST(SaveLimits, WritesNear4GiBNeverWrapTheArchiveBuffer)
{
    CZeros zeros;
    if (!zeros.Ok())
        GTEST_SKIP() << "no room for a 4 GiB mapping";
    CCountingFile file;
    {
        CArchive ar(&file, CArchive::store);
        ar.Write("0123456789", 10);
        // 10 + this wraps a 32-bit sum to 4: the buffer would take 4 GiB.
        const UINT n = 0xFFFFFFFFu - 5;
        ar.Write(zeros.View(n).data(), n);
        ar.Close();
    }
    EXPECT_EQ(file.m_nBytes, 10 + (0xFFFFFFFFull - 5));
    EXPECT_EQ(file.m_strHead.substr(0, 10), "0123456789");
}

TEST(SaveLimits, TheLongestTextStillFitsItsRecordAndALongerOneIsRefused)
{
    CZeros zeros;
    if (!zeros.Ok())
        GTEST_SKIP() << "no room for a 4 GiB mapping";
    CCountingFile file;
    {
        CArchive ar(&file, CArchive::store);
        CEntryWriter writer(ar);
        writer.WriteRecord("ab");
        writer.WriteRecord(zeros.View(kMaxEntryTextLength));
        EXPECT_THROW(writer.WriteRecord(zeros.View(kMaxEntryTextLength + 1)), CArchiveException);
        ar.Close();
    }
    EXPECT_EQ(file.m_nBytes, 7 + 4 + 0xFFFFFFFFull);
    EXPECT_EQ(file.m_strHead.substr(0, 11), std::string("\x03\0\0\0ab\0\xFF\xFF\xFF\xFF", 11));

    // The refusal names the entry and its text.
    try {
        AfxCheckEntryTextLength(kMaxEntryTextLength + 1, 41, EEntryField::extra);
        ADD_FAILURE() << "not refused";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.GetErrorMessage(), "the extra text of entry 42 is 4294967295 bytes long; an entry file holds texts "
                                       "of at most 4294967294 bytes");
    }
}

std::vector<std::string> Names(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every file that opens can be saved, however long its name.
TEST(SaveLimits, FilesWithTheLongestNamesAreSaved)
{
    TempDir dir;
    std::string accented;
    for (int i = 0; i < 125; ++i)
        accented += "\xC3\xA9";  // é, two bytes each
    for (const std::string& name : {std::string(250, 'n') + ".lumo", accented + ".lumo", std::string(255, 'x')}) {
        SCOPED_TRACE(name.size());
        ASSERT_EQ(name.size(), 255u);
        const fs::path path = dir / name;
        WriteFile(path, EntryFileBytes({{"a", "b", ""}, {"c", "d", ""}}));
        App app({path.string()});
        ASSERT_TRUE(app.Start());
        app.SelectEntry(0);
        ASSERT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
        app.Command(ID_FILE_SAVE);
        EXPECT_TRUE(app.fe().m_messages.empty()) << app.fe().m_messages[0].text;
        EXPECT_EQ(ReadFile(path), EntryFileBytes({{"c", "d", ""}}));
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{name});
        fs::remove(path);
    }
}

// A save replaces the file with a new one; it keeps the old one's owner,
// group and permissions, so a file someone else owns is not taken over.
TEST(SaveLimits, TheReplacementKeepsOwnerGroupAndMode)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    const fs::path path = dir / "theirs.lumo";
    WriteFile(path, "old");
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    AfxReplaceFile(path.string(), [](CArchive& ar) { ar.Write("new", 3); });
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(path), "new");

    // A new file belongs to whoever writes it.
    AfxReplaceFile((dir / "mine.lumo").string(), [](CArchive& ar) { ar.Write("x", 1); });
    ASSERT_EQ(::stat((dir / "mine.lumo").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
}

}  // namespace
