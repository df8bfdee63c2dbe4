// SPDX-License-Identifier: MIT
// The replace-write with fsync interposed at link time (-Wl,--wrap=fsync):
// an fsync that fails is reported naming the file, the target keeps its
// bytes and nothing is left beside it; and the new bytes reach the disk
// before the rename, so the target still holds the old ones when fsync runs.
// A program of its own, so the wrap touches no other test.
#include "Harness.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <sys/stat.h>

extern "C" int __real_fsync(int fd);

namespace {

struct FsyncSpy {
    bool bFail = false;              // fail every fsync of a regular file with EIO
    bool bFailFolder = false;        // fail every fsync of a folder with EIO
    std::vector<std::string> targetAtFolderSync;  // the target's bytes when its folder is synced
    std::filesystem::path target;    // looked at on every call
    int nCalls = 0;                  // of regular files
    std::vector<std::string> targetAtCall;  // the target's bytes at each call
    std::vector<std::string> syncedAtCall;  // the bytes of the file being synced
};
FsyncSpy g_spy;

}  // namespace

extern "C" int __wrap_fsync(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        g_spy.targetAtFolderSync.push_back(lumo_test::ReadFile(g_spy.target));
        if (g_spy.bFailFolder) {
            errno = EIO;
            return -1;
        }
    }
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ++g_spy.nCalls;
        g_spy.targetAtCall.push_back(lumo_test::ReadFile(g_spy.target));
        g_spy.syncedAtCall.push_back(lumo_test::ReadFile("/proc/self/fd/" + std::to_string(fd)));
        if (g_spy.bFail) {
            errno = EIO;
            return -1;
        }
    }
    return __real_fsync(fd);
}

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> NamesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void Replace(const fs::path& path, const std::string& bytes)
{
    AfxReplaceFile(path.string(), [&](CArchive& ar) { ar.Write(bytes.data(), static_cast<UINT>(bytes.size())); });
}

class FsyncFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_spy = {};
        g_spy.target = m_path;
        WriteFile(m_path, "old bytes");
    }
    void TearDown() override { g_spy = {}; }

    TempDir m_dir;
    fs::path m_path = m_dir / "target.lumo";
};

TEST_F(FsyncFault, AFailedFsyncIsReportedAndTheTargetStaysAsItWas)
{
    g_spy.bFail = true;
    std::optional<CFileException> error;
    try {
        Replace(m_path, "new bytes, never to arrive");
    } catch (const CFileException& e) {
        error = e;
    }
    ASSERT_TRUE(error.has_value()) << "the save was reported as done";
    EXPECT_EQ(error->m_strFileName, m_path.string());
    EXPECT_EQ(error->m_lOsError, EIO);
    EXPECT_EQ(g_spy.nCalls, 1);
    EXPECT_EQ(ReadFile(m_path), "old bytes");
    EXPECT_EQ(NamesIn(m_dir.Path()), std::vector<std::string>{"target.lumo"});
}

TEST_F(FsyncFault, TheNewBytesAreSyncedBeforeTheyReplaceTheTarget)
{
    Replace(m_path, "new bytes");
    EXPECT_EQ(ReadFile(m_path), "new bytes");
    ASSERT_GE(g_spy.nCalls, 1);
    // The first fsync of a file is the new bytes' own, complete, with the old file still in place.
    EXPECT_EQ(g_spy.syncedAtCall[0], "new bytes");
    EXPECT_EQ(g_spy.targetAtCall[0], "old bytes");
    EXPECT_EQ(NamesIn(m_dir.Path()), std::vector<std::string>{"target.lumo"});
}

// The folder is synced once the new name is in it, so the name survives a
// power failure; a folder that cannot be synced is told of, with the save done.
TEST_F(FsyncFault, TheFolderIsSyncedAfterTheRenameAndItsFailureTold)
{
    CString note = AfxReplaceFile(m_path.string(), [](CArchive& ar) { ar.Write("new bytes", 9); });
    EXPECT_EQ(note, "");
    EXPECT_EQ(g_spy.targetAtFolderSync, std::vector<std::string>{"new bytes"});

    g_spy.bFailFolder = true;
    note = AfxReplaceFile(m_path.string(), [](CArchive& ar) { ar.Write("newer", 5); });
    EXPECT_EQ(note, "its folder " + m_dir.Path().string() +
                        " could not be synced to the disk (Input/output error), so a power failure now could "
                        "still lose the new file");
    EXPECT_EQ(ReadFile(m_path), "newer");
    EXPECT_EQ(NamesIn(m_dir.Path()), std::vector<std::string>{"target.lumo"});
}

}  // namespace
