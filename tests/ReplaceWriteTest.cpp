// SPDX-License-Identifier: MIT
// The replace-write every save goes through (AfxReplaceFile): the file it
// replaces keeps its permissions, a new file gets the usual ones, and a
// rename that fails leaves the target alone with nothing beside it.
#include "Harness.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

void Replace(const fs::path& path, const std::string& bytes)
{
    AfxReplaceFile(path.string(), [&](CArchive& ar) { ar.Write(bytes.data(), static_cast<UINT>(bytes.size())); });
}

std::vector<std::string> NamesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Sets the umask for one test and puts the old one back.
class Umask {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

// A private file must not become readable by others through a save, and an
// executable one keeps its x bits; whatever the umask says.
TEST(ReplaceWrite, KeepsTheModeOfTheFileItReplaces)
{
    TempDir dir;
    const Umask mask(022);
    for (const mode_t mode : {mode_t{0600}, mode_t{0755}, mode_t{0640}, mode_t{0604}}) {
        SCOPED_TRACE(std::to_string(mode));
        const fs::path path = dir / ("m" + std::to_string(mode) + ".lumo");
        WriteFile(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        Replace(path, "new bytes");
        EXPECT_EQ(ReadFile(path), "new bytes");
        EXPECT_EQ(ModeOf(path), mode);
    }
}

TEST(ReplaceWrite, ANewFileGetsTheUsualModeLessTheUmask)
{
    TempDir dir;
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}, mode_t{0}}) {
        SCOPED_TRACE(std::to_string(mask));
        const fs::path path = dir / ("u" + std::to_string(mask) + ".lumo");
        {
            const Umask set(mask);
            Replace(path, "fresh");
        }
        EXPECT_EQ(ReadFile(path), "fresh");
        EXPECT_EQ(ModeOf(path), 0666 & ~mask);
    }
}

// The target is made a folder with a file in it while the new bytes are
// written, so the final rename cannot replace it: the failure is reported,
// naming the file, and no temporary file is left beside it.
TEST(ReplaceWrite, ARenameThatFailsLeavesNoTemporaryFile)
{
    TempDir dir;
    const fs::path path = dir / "target.lumo";
    WriteFile(path, "old");
    bool bThrown = false;
    try {
        AfxReplaceFile(path.string(), [&](CArchive& ar) {
            ar.Write("new", 3);
            fs::remove(path);
            fs::create_directory(path);
            WriteFile(path / "inside", "x");
        });
    } catch (const CFileException& e) {
        bThrown = true;
        EXPECT_EQ(e.m_strFileName, path.string());
        EXPECT_NE(e.m_lOsError, 0) << e.GetErrorMessage();
    }
    EXPECT_TRUE(bThrown);
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"target.lumo"});
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(NamesIn(path), std::vector<std::string>{"inside"});
}

}  // namespace
