// SPDX-License-Identifier: MIT
// Saving when the disk or the file system says no: each time one message
// naming the file and the reason, the file on disk as it was, nothing left
// beside it, and the entries still in the editor, modified, so the user can
// save them elsewhere.
#include "FaultSupport.h"
#include "Harness.h"
#include "platform/AfxRes.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

const std::vector<Entry> kSample{
    {"STR_START", "Start game", ""}, {"STR_QUIT", "Quit", "Are you sure?"}, {"STR_CAFE", "Caf\xE9", ""}};

std::string CannotSave(const std::string& path, const std::string& reason)
{
    return "Cannot save \"" + path + "\":\n" + reason + ".\nThe file on disk was not changed.";
}

// The program with in.lumo open and one entry added through the Add Item
// dialog, so that the document is modified.
class SaveFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir / "in.lumo";
        WriteFile(m_path, EntryFileBytes(kSample));
        fs::permissions(m_path, fs::perms(0644));
        m_app = std::make_unique<App>(std::vector<std::string>{m_path});
        ASSERT_TRUE(m_app->Start());
        m_app->fe().m_dialogScripts.push_back([this](CFakeDialog& dlg) {
            dlg.SetText(IDC_VALUE_NAME, m_added.name);
            dlg.SetText(IDC_VALUE_DATA, m_added.data);
            dlg.Click(IDOK);
        });
        ASSERT_TRUE(m_app->Command(ID_EDIT_ADDITEM));
        m_edited = kSample;
        m_edited.push_back(m_added);
        ASSERT_EQ(EntriesOf(m_app->view()), m_edited);
        ASSERT_TRUE(m_app->doc().IsModified());
    }

    App& app() { return *m_app; }
    // After a failed save: the state the user is left with.
    std::string Failed(const std::string& reason) const
    {
        return Describe("in.lumo - lumoEdit", true, {CannotSave(m_path, reason)}, m_edited);
    }
    void ExpectFileUnchanged() const
    {
        EXPECT_EQ(ReadFile(m_path), EntryFileBytes(kSample));
    }
    // After the failure, Save As to a sound place writes every entry.
    void ExpectSaveAsWorks()
    {
        const std::string rescue = m_dir / "rescue.lumo";
        app().fe().m_fileAnswers.push_back(rescue);
        const std::size_t nMessages = app().fe().m_messages.size();
        app().Command(ID_FILE_SAVE_AS);
        EXPECT_EQ(app().fe().m_messages.size(), nMessages);
        EXPECT_EQ(ReadFile(rescue), EntryFileBytes(m_edited));
        EXPECT_FALSE(app().doc().IsModified());
        EXPECT_EQ(app().fe().m_strTitle, "rescue.lumo - lumoEdit");
    }

    SharedDir m_dir;
    std::string m_path;
    Entry m_added{"STR_NEW", std::string(20000, 'D'), ""};  // larger than the file size limit below
    std::vector<Entry> m_edited;
    std::unique_ptr<App> m_app;
};

// A full disk, as a file size limit: the write stops part way through.
TEST_F(SaveFault, TheWriteFailsPartWay)
{
    const std::string seen = RunInChild(
        [this] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            const rlimit small{4096, limit.rlim_max};
            if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
                return std::string("setrlimit failed");
            app().Command(ID_FILE_SAVE);
            std::string out = Describe(app());
            // With room again, Save As writes everything.
            ::setrlimit(RLIMIT_FSIZE, &limit);
            app().fe().m_fileAnswers.push_back(m_dir / "rescue.lumo");
            app().Command(ID_FILE_SAVE_AS);
            if (app().doc().IsModified() || app().fe().m_messages.size() != 1)
                out += "Save As with room again failed\n";
            return out;
        },
        false);
    EXPECT_EQ(seen, Failed("the file grew larger than allowed (file size limit)"));
    ExpectFileUnchanged();
    EXPECT_EQ(ReadFile(m_dir / "rescue.lumo"), EntryFileBytes(m_edited));
    EXPECT_EQ(m_dir.Names(), (std::vector<std::string>{"in.lumo", "rescue.lumo"}));
}

// The file could be replaced, but no new file can be made in its folder: the
// temporary file cannot be written, neither for Save nor for Save As.
TEST_F(SaveFault, TheFolderIsNotWritable)
{
    fs::permissions(m_path, fs::perms(0666));
    fs::permissions(m_dir.Path(), fs::perms(0555));
    const std::string other = m_dir / "other.lumo";
    const std::string seen = RunInChild(
        [&] {
            app().Command(ID_FILE_SAVE);
            app().fe().m_fileAnswers.push_back(other);
            app().Command(ID_FILE_SAVE_AS);
            return Describe(app());
        },
        true);
    fs::permissions(m_dir.Path(), fs::perms(0755));
    EXPECT_EQ(seen, Describe("in.lumo - lumoEdit", true,
                             {CannotSave(m_path, "permission denied"), CannotSave(other, "permission denied")},
                             m_edited));
    ExpectFileUnchanged();
    EXPECT_EQ(m_dir.Names(), std::vector<std::string>{"in.lumo"});
}

TEST_F(SaveFault, TheTargetIsAFolder)
{
    // Save As onto a folder.
    const std::string folder = m_dir / "folder.lumo";
    fs::create_directory(folder);
    app().fe().m_fileAnswers.push_back(folder);
    app().Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(Describe(app()), Describe("in.lumo - lumoEdit", true, {CannotSave(folder, "it is a folder, not a file")},
                                        m_edited));
    EXPECT_TRUE(fs::is_empty(folder));

    // The document's own file became a folder since it was opened.
    fs::remove(m_path);
    fs::create_directory(m_path);
    app().fe().m_messages.clear();
    app().Command(ID_FILE_SAVE);
    EXPECT_EQ(Describe(app()), Failed("it is a folder, not a file"));
    EXPECT_TRUE(fs::is_empty(m_path));
    EXPECT_EQ(m_dir.Names(), (std::vector<std::string>{"folder.lumo", "in.lumo"}));
    ExpectSaveAsWorks();
}

// The document's folder was removed (or renamed) since the file was opened.
TEST_F(SaveFault, TheFolderIsGone)
{
    const fs::path moved = m_dir.Path() / "moved";
    fs::create_directory(m_dir.Path() / "sub");
    WriteFile(m_dir.Path() / "sub" / "in.lumo", EntryFileBytes(kSample));
    m_path = (m_dir.Path() / "sub" / "in.lumo").string();
    app().fe().m_messageAnswers = {IDNO};  // the edit in.lumo had is not wanted
    ASSERT_TRUE(app().Open(m_path));
    app().fe().m_messages.clear();
    app().doc().SetModifiedFlag(true);
    fs::rename(m_dir.Path() / "sub", moved);
    app().Command(ID_FILE_SAVE);
    EXPECT_EQ(Describe(app()), Describe("in.lumo - lumoEdit", true, {CannotSave(m_path, "the folder " + (m_dir.Path() / "sub").string() + " does not exist")},
                                        kSample));
    EXPECT_EQ(ReadFile(moved / "in.lumo"), EntryFileBytes(kSample));
    EXPECT_FALSE(fs::exists(m_dir.Path() / "sub"));
}

// A file marked read-only is not replaced, not even by root.
TEST_F(SaveFault, TheTargetIsReadOnly)
{
    fs::permissions(m_path, fs::perms(0444));
    app().Command(ID_FILE_SAVE);
    EXPECT_EQ(Describe(app()), Failed("the file or its folder is read-only"));
    ExpectFileUnchanged();
    EXPECT_EQ(fs::status(m_path).permissions(), fs::perms(0444));
    EXPECT_EQ(m_dir.Names(), std::vector<std::string>{"in.lumo"});
    ExpectSaveAsWorks();
}

// When saving fails on the way out (closing the window, or opening another
// file), the program stays with the entries instead of dropping them.
TEST_F(SaveFault, AFailedSaveWhenAskedKeepsTheEntries)
{
    fs::permissions(m_path, fs::perms(0444));
    WriteFile(m_dir / "other.lumo", EntryFileBytes({{"OTHER", "o", ""}}));
    const std::string question = "Save changes to in.lumo?";
    const std::string failure = CannotSave(m_path, "the file or its folder is read-only");

    app().fe().m_messageAnswers = {IDYES};
    EXPECT_FALSE(app().Open(m_dir / "other.lumo"));
    app().fe().m_messageAnswers = {IDYES};
    app().Command(ID_APP_EXIT);
    EXPECT_FALSE(app().fe().m_nQuitCode.has_value());
    EXPECT_TRUE(app().fe().m_bFrameExists);
    EXPECT_EQ(Describe(app()), Describe("in.lumo - lumoEdit", true, {question, failure, question, failure}, m_edited));
    ExpectFileUnchanged();
}

}  // namespace
