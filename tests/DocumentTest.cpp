// SPDX-License-Identifier: MIT
#include "Harness.h"
#include "platform/AfxRes.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

const std::vector<Entry> kSample{{"STR_START", "Start game", ""}, {"STR_QUIT", "Quit", "Are you sure?"}, {"STR_CAFE", "Caf\xE9", ""}};

TEST(Startup, WithoutArgumentsShowsAnEmptyUntitledDocument)
{
    App app;
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(app.fe().m_strTitle, "Untitled - lumoEdit");
    EXPECT_TRUE(app.fe().m_bShown);
    EXPECT_TRUE(app.fe().m_bAcceptsFiles);
    EXPECT_EQ(app.fe().m_dwViewStyle & (TVS_HASBUTTONS | TVS_LINESATROOT | TVS_HASLINES),
              TVS_HASBUTTONS | TVS_LINESATROOT);
    EXPECT_EQ(app.tree().GetCount(), 0u);
    EXPECT_EQ(app.view().m_nCount, 0u);
    EXPECT_FALSE(app.doc().IsModified());
}

TEST(Startup, WithAFileShowsItsEntriesInFileOrder)
{
    TempDir dir;
    WriteFile(dir / "menu.lumo", EntryFileBytes(kSample));
    App app({(dir / "menu.lumo").string()});
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(EntriesOf(app.view()), kSample);
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(app.fe().m_strTitle, "menu.lumo - lumoEdit");
    EXPECT_FALSE(app.doc().IsModified());
    EXPECT_TRUE(app.fe().m_messages.empty());
}

TEST(Startup, WithAFileThatCannotBeOpenedReportsAndEnds)
{
    TempDir dir;
    App app({(dir / "missing.lumo").string()});
    EXPECT_FALSE(app.Start());
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_NE(app.fe().m_messages[0].text.find("missing.lumo"), std::string::npos);
    EXPECT_NE(app.fe().m_messages[0].text.find("does not exist"), std::string::npos);
    EXPECT_EQ(app.fe().m_messages[0].caption, "lumoEdit");
    EXPECT_FALSE(app.fe().m_bFrameExists);
}

TEST(Document, SaveWritesTheEntriesByteForByte)
{
    TempDir dir;
    const std::string bytes = EntryFileBytes(kSample);
    WriteFile(dir / "in.lumo", bytes);
    App app({(dir / "in.lumo").string()});
    ASSERT_TRUE(app.Start());

    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_EQ(ReadFile(dir / "in.lumo"), bytes);
    EXPECT_TRUE(app.fe().m_prompts.empty());  // a titled document saves without asking

    app.fe().m_fileAnswers.push_back((dir / "copy.lumo").string());
    ASSERT_TRUE(app.Command(ID_FILE_SAVE_AS));
    ASSERT_EQ(app.fe().m_prompts.size(), 1u);
    EXPECT_FALSE(app.fe().m_prompts[0].bOpen);
    EXPECT_EQ(app.fe().m_prompts[0].filterName, "lumoEdit Files (*.lumo)");
    EXPECT_EQ(app.fe().m_prompts[0].filterExt, ".lumo");
    EXPECT_EQ(ReadFile(dir / "copy.lumo"), bytes);
    EXPECT_EQ(app.fe().m_strTitle, "copy.lumo - lumoEdit");
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

TEST(Document, NewKeepsTheEntriesAndSaveThenAsksForAName)
{
    TempDir dir;
    WriteFile(dir / "in.lumo", EntryFileBytes(kSample));
    App app({(dir / "in.lumo").string()});
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(app.Command(ID_FILE_NEW));
    EXPECT_EQ(app.fe().m_strTitle, "Untitled - lumoEdit");
    EXPECT_EQ(EntriesOf(app.view()), kSample);
    EXPECT_EQ(app.view().m_nCount, 3u);

    app.fe().m_fileAnswers.push_back(std::nullopt);  // cancel: nothing is written
    app.Command(ID_FILE_SAVE);
    app.fe().m_fileAnswers.push_back((dir / "new.lumo").string());
    app.Command(ID_FILE_SAVE);
    ASSERT_EQ(app.fe().m_prompts.size(), 2u);
    EXPECT_EQ(app.fe().m_prompts[1].suggested, "Untitled.lumo");
    EXPECT_EQ(ReadFile(dir / "new.lumo"), EntryFileBytes(kSample));
}

TEST(Document, OpeningAMissingFileKeepsTheDocument)
{
    TempDir dir;
    WriteFile(dir / "in.lumo", EntryFileBytes(kSample));
    App app({(dir / "in.lumo").string()});
    ASSERT_TRUE(app.Start());
    EXPECT_FALSE(app.Open(dir / "nope.lumo"));
    EXPECT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(EntriesOf(app.view()), kSample);
    EXPECT_EQ(app.fe().m_strTitle, "in.lumo - lumoEdit");
}

TEST(Document, ADamagedFileKeepsWhatWasReadUnderNoName)
{
    TempDir dir;
    WriteFile(dir / "good.lumo", EntryFileBytes(kSample));
    std::string damaged = EntryFileBytes(kSample);
    damaged.resize(damaged.size() - 3);
    WriteFile(dir / "bad.lumo", damaged);

    App app({(dir / "good.lumo").string()});
    ASSERT_TRUE(app.Start());
    EXPECT_FALSE(app.Open(dir / "bad.lumo"));
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(app.fe().m_messages[0].text,
              "Cannot open \"" + (dir / "bad.lumo").string() +
                  "\":\nthe file is damaged: entry 3 of 3 ends inside the length of its extra text (at byte offset 100).");
    EXPECT_EQ(EntriesOf(app.view()), std::vector<Entry>(kSample.begin(), kSample.begin() + 2));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(app.fe().m_strTitle, "Untitled - lumoEdit");
    EXPECT_TRUE(app.doc().GetPathName().empty());
    EXPECT_EQ(ReadFile(dir / "bad.lumo"), damaged);
}

TEST(Document, StoreRefusesACountThatDisagreesWithTheEntries)
{
    TempDir dir;
    WriteFile(dir / "in.lumo", EntryFileBytes(kSample));
    App app({(dir / "in.lumo").string()});
    ASSERT_TRUE(app.Start());
    app.view().m_nCount = 5;
    EXPECT_FALSE(app.Command(ID_FILE_SAVE) && app.fe().m_messages.empty());
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_NE(app.fe().m_messages[0].text.find("disagrees"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "in.lumo"), EntryFileBytes(kSample));
}

}  // namespace
