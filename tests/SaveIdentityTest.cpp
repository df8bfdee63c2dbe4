// SPDX-License-Identifier: MIT
// What a save writes and asks about that no byte count shows: a file changed
// on disk without changing its size, and an entry the tree holds without its
// data node.
#include "Harness.h"

#include "platform/AfxRes.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace lumo_test;

namespace {

const std::vector<Entry> kSample{{"STR_A", "Alpha", ""}, {"STR_B", "Beta", "b"}};
// As long as kSample's file, byte for byte.
const std::vector<Entry> kSameSize{{"STR_A", "Omega", ""}, {"STR_B", "Zeta", "z"}};

struct timespec ModifiedOf(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mtim;
}

void SetModified(const fs::path& path, const struct timespec& t)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Other programs change the file's bytes but not its size, each another way;
// every one of them must bring up the question before Save overwrites it. A
// chmod changes no byte and asks nothing.
TEST(SaveIdentity, ASameSizeChangeOnDiskIsAskedAbout)
{
    const std::string theirs = EntryFileBytes(kSameSize);
    ASSERT_EQ(theirs.size(), EntryFileBytes(kSample).size());
    const struct {
        const char* what;
        void (*change)(const fs::path&, const std::string&);
        bool bAsked = true;
    } kCases[] = {
        {"rewritten in place, with a new modification time",
         [](const fs::path& path, const std::string& bytes) {
             struct timespec t = ModifiedOf(path);
             WriteFile(path, bytes);
             ++t.tv_sec;
             SetModified(path, t);
         }},
        {"replaced by a rename (a new inode), with the old modification time",
         [](const fs::path& path, const std::string& bytes) {
             const struct timespec t = ModifiedOf(path);
             const fs::path other = path.string() + ".new";
             WriteFile(other, bytes);
             SetModified(other, t);
             fs::rename(other, path);
         }},
        {"rewritten in place, with the modification time put back",
         [](const fs::path& path, const std::string& bytes) {
             const struct timespec t = ModifiedOf(path);
             WriteFile(path, bytes);
             SetModified(path, t);
         }},
        {"only its mode changed", [](const fs::path& path, const std::string&) { fs::permissions(path, fs::perms(0600)); },
         false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path path = dir / "in.lumo";
        WriteFile(path, EntryFileBytes(kSample));
        App app({path.string()});
        ASSERT_TRUE(app.Start());
        app.SelectEntry(1);
        ASSERT_TRUE(app.Command(ID_EDIT_MOVEUP));
        // Time stamps are coarse on some file systems: make sure the change time moves.
        ::usleep(20000);
        c.change(path, theirs);

        const std::string before = ReadFile(path);
        app.fe().m_messageAnswers.push_back(IDNO);
        app.Command(ID_FILE_SAVE);
        if (!c.bAsked) {
            EXPECT_TRUE(app.fe().m_messages.empty());
            EXPECT_FALSE(app.doc().IsModified());
            continue;
        }
        ASSERT_EQ(app.fe().m_messages.size(), 1u);
        EXPECT_EQ(app.fe().m_messages[0].text,
                  path.string() + " was changed by another program after it was opened. Overwrite it?");
        EXPECT_EQ(ReadFile(path), before);
        EXPECT_TRUE(app.doc().IsModified());
    }
}

// The tree control lets a data node go; the entry is still an entry, saved
// with an empty text, so the count matches the records and the file loads.
TEST(SaveIdentity, AnEntryWithoutItsDataNodeIsSavedWithAnEmptyText)
{
    TempDir dir;
    const fs::path path = dir / "in.lumo";
    WriteFile(path, EntryFileBytes({{"STR_A", "Alpha", ""}, {"STR_B", "Beta", ""}, {"STR_C", "Gamma", "c"}}));
    App app({path.string()});
    ASSERT_TRUE(app.Start());
    CTreeCtrl& tree = app.tree();
    HTREEITEM hSecond = tree.GetNextItem(tree.GetNextItem(nullptr, TVGN_ROOT), TVGN_NEXT);
    ASSERT_TRUE(tree.DeleteItem(tree.GetNextItem(hSecond, TVGN_CHILD)));
    app.doc().SetModifiedFlag(true);
    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_TRUE(app.fe().m_messages.empty());
    const std::vector<Entry> saved{{"STR_A", "Alpha", ""}, {"STR_B", "", ""}, {"STR_C", "Gamma", "c"}};
    EXPECT_EQ(ReadFile(path), EntryFileBytes(saved));

    App again({path.string()});
    ASSERT_TRUE(again.Start());
    EXPECT_TRUE(again.fe().m_messages.empty());
    EXPECT_EQ(EntriesOf(again.view()), saved);
    EXPECT_TRUE(TreeIsConsistent(again.view()));
}

}  // namespace
