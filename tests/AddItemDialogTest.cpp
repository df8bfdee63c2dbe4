// SPDX-License-Identifier: MIT
// The Add Item dialog run by the Add Item command, and the About box.
#include "Harness.h"
#include "platform/AfxRes.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using namespace lumo_test;

namespace {

const std::vector<Entry> kOne{{"FIRST", "first", "x"}};

struct Loaded {
    Loaded() : app({(dir / "in.lumo").string()})
    {
        WriteFile(dir / "in.lumo", EntryFileBytes(kOne));
        started = app.Start();
    }
    TempDir dir;
    App app;
    bool started = false;
};

TEST(AddItemDialog, OkWithAnEmptyNameWarnsOnEveryClickAndStaysOpen)
{
    Loaded f;
    ASSERT_TRUE(f.started);
    App& app = f.app;
    std::vector<std::size_t> messagesAfterClick;
    std::vector<bool> openAfterClick;
    app.fe().m_dialogScripts.push_back([&](CFakeDialog& dlg) {
        dlg.SetText(IDC_VALUE_DATA, "kept data");
        for (int i = 0; i < 2; ++i) {
            dlg.Click(IDOK);
            messagesAfterClick.push_back(app.fe().m_messages.size());
            openAfterClick.push_back(dlg.IsOpen());
        }
        // What the user typed is still there.
        EXPECT_EQ(dlg.Text(IDC_VALUE_DATA), "kept data");
        EXPECT_EQ(dlg.Text(IDC_VALUE_NAME), "");
        dlg.SetText(IDC_VALUE_NAME, "NAMED");
        dlg.Click(IDOK);
        openAfterClick.push_back(dlg.IsOpen());
        EXPECT_EQ(dlg.m_result, IDOK);
    });
    EXPECT_TRUE(app.Command(ID_EDIT_ADDITEM));

    EXPECT_EQ(app.fe().m_dialogsRun, std::vector<UINT>{IDD_ADDITEM});
    EXPECT_EQ(messagesAfterClick, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(openAfterClick, (std::vector<bool>{true, true, false}));
    ASSERT_EQ(app.fe().m_messages.size(), 2u);
    for (const CRecordedMessage& msg : app.fe().m_messages) {
        EXPECT_EQ(msg.text, "Please fill the item value field.");
        EXPECT_EQ(msg.caption, "lumoEdit");
        EXPECT_EQ(msg.type, MB_OK);
        EXPECT_TRUE(msg.bOwnedByDialog);
    }
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{kOne[0], {"NAMED", "kept data", ""}}));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
}

TEST(AddItemDialog, ABlankNameAndAnEmptyDataFieldAreAccepted)
{
    Loaded f;
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.fe().m_dialogScripts.push_back([](CFakeDialog& dlg) {
        dlg.SetText(IDC_VALUE_NAME, " ");
        dlg.Click(IDOK);
        EXPECT_FALSE(dlg.IsOpen());
        EXPECT_EQ(dlg.m_result, IDOK);
    });
    EXPECT_TRUE(app.Command(ID_EDIT_ADDITEM));
    EXPECT_TRUE(app.fe().m_messages.empty());
    ASSERT_EQ(app.view().m_nCount, 2u);
    HTREEITEM hNew = app.tree().GetChildAt(TVI_ROOT, 1);
    EXPECT_EQ(app.tree().GetItemText(hNew), " ");
    HTREEITEM hData = app.tree().GetChildItem(hNew);
    ASSERT_NE(hData, nullptr);  // an empty data text still gets its node
    EXPECT_EQ(app.tree().GetItemText(hData), "");
    EXPECT_EQ(app.tree().GetNextSiblingItem(hData), nullptr);
    EXPECT_TRUE(TreeIsConsistent(app.view()));

    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_EQ(ReadFile(f.dir / "in.lumo"), EntryFileBytes({kOne[0], {" ", "", ""}}));
}

TEST(AddItemDialog, CancelAfterTypingInsertsNothing)
{
    Loaded f;
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.fe().m_dialogScripts.push_back([](CFakeDialog& dlg) {
        dlg.SetText(IDC_VALUE_NAME, "typed");
        dlg.SetText(IDC_VALUE_DATA, "data");
        dlg.Click(IDCANCEL);
        EXPECT_EQ(dlg.m_result, IDCANCEL);
    });
    // The dialog closed without a script (Escape) is the same.
    EXPECT_TRUE(app.Command(ID_EDIT_ADDITEM));
    EXPECT_TRUE(app.Command(ID_EDIT_ADDITEM));
    EXPECT_EQ(app.fe().m_dialogsRun, (std::vector<UINT>{IDD_ADDITEM, IDD_ADDITEM}));
    EXPECT_EQ(EntriesOf(app.view()), kOne);
    EXPECT_EQ(app.view().m_nCount, 1u);
    EXPECT_EQ(app.tree().GetCount(), 3u);
    EXPECT_TRUE(app.fe().m_messages.empty());
    EXPECT_FALSE(app.doc().IsModified());
}

// Every run starts with empty fields, whatever the last one held.
TEST(AddItemDialog, EachRunStartsEmpty)
{
    Loaded f;
    ASSERT_TRUE(f.started);
    App& app = f.app;
    std::vector<CString> seen;
    for (const char* name : {"ONE", "TWO"}) {
        app.fe().m_dialogScripts.push_back([&seen, name](CFakeDialog& dlg) {
            seen.push_back(dlg.Text(IDC_VALUE_NAME) + "|" + dlg.Text(IDC_VALUE_DATA));
            dlg.SetText(IDC_VALUE_NAME, name);
            dlg.SetText(IDC_VALUE_DATA, "d");
            dlg.Click(IDOK);
        });
        ASSERT_TRUE(app.Command(ID_EDIT_ADDITEM));
    }
    EXPECT_EQ(seen, (std::vector<CString>{"|", "|"}));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{kOne[0], {"ONE", "d", ""}, {"TWO", "d", ""}}));
}

TEST(About, RunsTheAboutBoxAndChangesNothing)
{
    {
        Loaded f;
        ASSERT_TRUE(f.started);
        App& app = f.app;
        app.SelectEntry(0);
        HTREEITEM hSelected = app.tree().GetSelectedItem();
        const CString title = app.fe().m_strTitle;
        EXPECT_TRUE(app.Command(ID_APP_ABOUT));
        EXPECT_EQ(app.fe().m_dialogsRun, std::vector<UINT>{IDD_ABOUTBOX});
        EXPECT_EQ(EntriesOf(app.view()), kOne);
        EXPECT_TRUE(TreeIsConsistent(app.view()));
        EXPECT_EQ(app.tree().GetSelectedItem(), hSelected);
        EXPECT_EQ(app.fe().m_strTitle, title);
        EXPECT_FALSE(app.doc().IsModified());
        EXPECT_TRUE(app.fe().m_messages.empty());
    }

    // Also on an empty, untitled document.
    App empty;
    ASSERT_TRUE(empty.Start());
    EXPECT_TRUE(empty.Enabled(ID_APP_ABOUT));
    EXPECT_TRUE(empty.Command(ID_APP_ABOUT));
    EXPECT_EQ(empty.fe().m_dialogsRun, std::vector<UINT>{IDD_ABOUTBOX});
    EXPECT_EQ(empty.tree().GetCount(), 0u);
    EXPECT_FALSE(empty.doc().IsModified());
}

}  // namespace
