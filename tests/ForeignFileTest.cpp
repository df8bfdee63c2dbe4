// SPDX-License-Identifier: MIT
// Files that other tools wrote or changed: bytes no entry holds, and a file
// replaced on disk while it was open.

#include "Harness.h"

#include "platform/AfxRes.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <chrono>

namespace fs = std::filesystem;
using namespace lumo_test;

namespace {

const std::vector<Entry> kSample{{"STR_A", "Alpha", ""}, {"STR_B", "Beta", "b"}};

std::string Padded()
{
    return EntryFileBytes(kSample) + "pad";
}

std::string Warning(const fs::path& path)
{
    return "\"" + path.string() + "\":\n3 bytes after the last entry are not part of any entry; saving will not keep them.";
}

// Every way a file opens: it loads under its own name, and the warning
// comes once, after the window shows.
TEST(ForeignFile, BytesAfterTheLastEntryOpenWithOneWarningEveryWay)
{
    TempDir dir;
    const fs::path padded = dir / "padded.lumo";
    WriteFile(padded, Padded());
    WriteFile(dir / "plain.lumo", EntryFileBytes({{"x", "y", ""}}));

    {
        App app({padded.string()});
        ASSERT_TRUE(app.Start());
        EXPECT_TRUE(app.fe().m_bShown);
        EXPECT_EQ(EntriesOf(app.view()), kSample);
        EXPECT_EQ(app.fe().m_strTitle, "padded.lumo - lumoEdit");
        ASSERT_EQ(app.fe().m_messages.size(), 1u);
        EXPECT_EQ(app.fe().m_messages[0].text, Warning(padded));
        EXPECT_FALSE(app.doc().IsModified());

        // Saving writes the entries without the padding, without asking.
        EXPECT_TRUE(app.Command(ID_FILE_SAVE));
        EXPECT_EQ(app.fe().m_messages.size(), 1u);
        EXPECT_EQ(ReadFile(padded), EntryFileBytes(kSample));
    }

    WriteFile(padded, Padded());
    App app({(dir / "plain.lumo").string()});
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(app.fe().m_messages.empty());

    app.frame().OnDropFiles({padded.string()});
    EXPECT_EQ(EntriesOf(app.view()), kSample);
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(app.fe().m_messages[0].text, Warning(padded));

    app.fe().m_fileAnswers.push_back(CString(padded.string()));
    EXPECT_TRUE(app.Command(ID_FILE_OPEN));
    EXPECT_EQ(app.fe().m_strTitle, "padded.lumo - lumoEdit");
    ASSERT_EQ(app.fe().m_messages.size(), 2u);
    EXPECT_EQ(app.fe().m_messages[1].text, Warning(padded));

    // A sound file after it: no warning left over.
    EXPECT_TRUE(app.Open(dir / "plain.lumo"));
    EXPECT_EQ(app.fe().m_messages.size(), 2u);
}

// Damage is still damage: a file cut short does not open under its name.
TEST(ForeignFile, DamageIsNotTakenForPadding)
{
    TempDir dir;
    const fs::path cut = dir / "cut.lumo";
    WriteFile(cut, EntryFileBytes(kSample).substr(0, 30));
    App app({cut.string()});
    EXPECT_FALSE(app.Start());
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(app.fe().m_messages[0].text.rfind("Cannot open \"" + cut.string() + "\":\nthe file is damaged: ", 0), 0u)
        << app.fe().m_messages[0].text;
}

void Touch(const fs::path& path, const std::string& bytes)
{
    // Another program writes the file in place: same inode, new size or time.
    const auto before = fs::last_write_time(path);
    WriteFile(path, bytes);
    if (fs::last_write_time(path) == before)
        fs::last_write_time(path, before + std::chrono::seconds(1));
}

TEST(ForeignFile, SaveAsksBeforeOverwritingAFileChangedOnDisk)
{
    TempDir dir;
    const fs::path path = dir / "in.lumo";
    WriteFile(path, EntryFileBytes(kSample));
    App app({path.string()});
    ASSERT_TRUE(app.Start());
    app.SelectEntry(1);
    ASSERT_TRUE(app.Command(ID_EDIT_REMOVEITEM));

    const std::string theirs = EntryFileBytes({{"THEIRS", "1", ""}});
    Touch(path, theirs);
    const std::string question =
        path.string() + " was changed by another program after it was opened. Overwrite it?";

    // No: nothing is written and the edits stay unsaved.
    app.fe().m_messageAnswers.push_back(IDNO);
    app.Command(ID_FILE_SAVE);
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(app.fe().m_messages[0].text, question);
    EXPECT_EQ(app.fe().m_messages[0].type & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(ReadFile(path), theirs);
    EXPECT_TRUE(app.doc().IsModified());

    // Save As to another file does not ask.
    app.fe().m_fileAnswers.push_back(CString((dir / "copy.lumo").string()));
    app.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(ReadFile(dir / "copy.lumo"), EntryFileBytes({kSample[0]}));

    // The copy is now the document's file; change the original again and go back to it.
    EXPECT_TRUE(app.Open(path));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{{"THEIRS", "1", ""}}));
    Touch(path, EntryFileBytes(kSample));
    app.fe().m_messageAnswers.push_back(IDYES);
    app.Command(ID_FILE_SAVE);
    ASSERT_EQ(app.fe().m_messages.size(), 2u);
    EXPECT_EQ(app.fe().m_messages[1].text, question);
    EXPECT_EQ(ReadFile(path), theirs);
    EXPECT_FALSE(app.doc().IsModified());

    // Our own save is not a change by another program.
    app.Command(ID_FILE_SAVE);
    EXPECT_EQ(app.fe().m_messages.size(), 2u);

    // A file that is gone is written anew without a question.
    fs::remove(path);
    app.Command(ID_FILE_SAVE);
    EXPECT_EQ(app.fe().m_messages.size(), 2u);
    EXPECT_EQ(ReadFile(path), theirs);
}

}  // namespace
