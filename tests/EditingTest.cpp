// SPDX-License-Identifier: MIT
// The four Edit commands, their enabling and the modified flag with the
// save-changes prompt, all driven the way the menu and the keys drive them:
// by command id through the frame.
#include "Harness.h"
#include "platform/AfxRes.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

const std::vector<Entry> kABC{{"A", "alpha", ""}, {"B", "beta", "b-extra"}, {"C", "gamma", ""}};

constexpr UINT kEditCommands[] = {ID_EDIT_ADDITEM, ID_EDIT_REMOVEITEM, ID_EDIT_MOVEUP, ID_EDIT_MOVEDOWN};

// Queues the Add Item dialog's next run: type the two fields, press OK.
void TypeNewEntry(App& app, const std::string& name, const std::string& data)
{
    app.fe().m_dialogScripts.push_back([name, data](CFakeDialog& dlg) {
        dlg.SetText(IDC_VALUE_NAME, name);
        dlg.SetText(IDC_VALUE_DATA, data);
        dlg.Click(IDOK);
    });
}

HTREEITEM EntryAt(App& app, UINT row)
{
    return app.tree().GetChildAt(TVI_ROOT, row);
}

void SelectChild(App& app, UINT row, UINT child)
{
    HTREEITEM h = app.tree().GetChildItem(EntryAt(app, row));
    for (UINT i = 0; i < child; ++i)
        h = app.tree().GetNextSiblingItem(h);
    ASSERT_NE(h, nullptr);
    app.tree().SelectItem(h);
}

std::vector<std::uint32_t> Iota(std::uint32_t n)
{
    std::vector<std::uint32_t> keys(n);
    for (std::uint32_t i = 0; i < n; ++i)
        keys[i] = i;
    return keys;
}

// The program started on a file holding the given entries.
struct Loaded {
    explicit Loaded(const std::vector<Entry>& entries, const std::string& name = "in.lumo")
        : path(dir / name), app({path.string()})
    {
        WriteFile(path, EntryFileBytes(entries));
        started = app.Start();
    }
    TempDir dir;
    fs::path path;
    App app;
    bool started = false;
};

// ---- moves -----------------------------------------------------------------

TEST(EditMove, MoveUpSwapsTheEntryWithItsChildrenAndKeepsItSelected)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.SelectEntry(1);
    HTREEITEM hB = EntryAt(app, 1);

    EXPECT_TRUE(app.Command(ID_EDIT_MOVEUP));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{kABC[1], kABC[0], kABC[2]}));
    EXPECT_EQ(KeysOf(app.view()), Iota(3));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(app.tree().GetSelectedItem(), hB);
    EXPECT_FALSE(app.Enabled(ID_EDIT_MOVEUP));
    EXPECT_TRUE(app.Enabled(ID_EDIT_MOVEDOWN));

    // Up again is refused and changes nothing.
    EXPECT_FALSE(app.Command(ID_EDIT_MOVEUP));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{kABC[1], kABC[0], kABC[2]}));
}

TEST(EditMove, MoveDownSwapsTheEntryWithItsChildrenAndKeepsItSelected)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.SelectEntry(1);
    HTREEITEM hB = EntryAt(app, 1);

    EXPECT_TRUE(app.Command(ID_EDIT_MOVEDOWN));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{kABC[0], kABC[2], kABC[1]}));
    EXPECT_EQ(KeysOf(app.view()), Iota(3));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(app.tree().GetSelectedItem(), hB);
    EXPECT_FALSE(app.Enabled(ID_EDIT_MOVEDOWN));
    EXPECT_TRUE(app.Enabled(ID_EDIT_MOVEUP));

    // Down then up is where it started, and saving writes the original bytes.
    EXPECT_TRUE(app.Command(ID_EDIT_MOVEUP));
    EXPECT_EQ(EntriesOf(app.view()), kABC);
    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_EQ(ReadFile(f.path), EntryFileBytes(kABC));
}

TEST(EditMove, AnEntryCarriedAcrossTheWholeListKeepsItsTexts)
{
    std::vector<Entry> entries;
    for (int i = 0; i < 50; ++i)
        entries.push_back({"N" + std::to_string(i), "D" + std::to_string(i), i % 3 ? "" : "X" + std::to_string(i)});
    Loaded f(entries);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.SelectEntry(0);
    int steps = 0;
    while (steps < 60 && app.Command(ID_EDIT_MOVEDOWN))
        ++steps;
    EXPECT_EQ(steps, 49);
    std::vector<Entry> expected(entries.begin() + 1, entries.end());
    expected.push_back(entries[0]);
    EXPECT_EQ(EntriesOf(app.view()), expected);
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(app.tree().GetSelectedItem(), EntryAt(app, 49));
}

// ---- enabling --------------------------------------------------------------

TEST(EditEnabling, FollowsTheSelectedNode)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    struct Expect {
        bool add, remove, up, down;
    };
    auto check = [&](const char* what, Expect e) {
        SCOPED_TRACE(what);
        EXPECT_EQ(app.Enabled(ID_EDIT_ADDITEM), e.add);
        EXPECT_EQ(app.Enabled(ID_EDIT_REMOVEITEM), e.remove);
        EXPECT_EQ(app.Enabled(ID_EDIT_MOVEUP), e.up);
        EXPECT_EQ(app.Enabled(ID_EDIT_MOVEDOWN), e.down);
    };

    app.tree().SelectItem(nullptr);
    check("nothing selected", {true, false, false, false});
    app.SelectEntry(0);
    check("first entry", {true, true, false, true});
    app.SelectEntry(1);
    check("middle entry", {true, true, true, true});
    app.SelectEntry(2);
    check("last entry", {true, true, true, false});
    SelectChild(app, 1, 0);
    check("data node", {true, true, false, false});
    SelectChild(app, 1, 1);
    check("extra node", {true, true, false, false});
    SelectChild(app, 0, 0);
    check("data node of the first entry", {true, true, false, false});
}

TEST(EditEnabling, ASingleEntryCanMoveNeitherWay)
{
    Loaded f({{"only", "one", ""}});
    ASSERT_TRUE(f.started);
    f.app.SelectEntry(0);
    EXPECT_TRUE(f.app.Enabled(ID_EDIT_REMOVEITEM));
    EXPECT_FALSE(f.app.Enabled(ID_EDIT_MOVEUP));
    EXPECT_FALSE(f.app.Enabled(ID_EDIT_MOVEDOWN));
}

TEST(EditEnabling, AnEmptyTreeDisablesAllFourButNotTheFileCommands)
{
    App app;
    ASSERT_TRUE(app.Start());
    for (UINT id : kEditCommands)
        EXPECT_FALSE(app.Enabled(id)) << id;
    for (UINT id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_APP_ABOUT, ID_APP_EXIT})
        EXPECT_TRUE(app.Enabled(id)) << id;
}

// A command that its enable handler refuses does not run, whether it comes
// from the menu or from a key.
TEST(EditEnabling, DisabledCommandsDoNotRun)
{
    {
        App empty;
        ASSERT_TRUE(empty.Start());
        TypeNewEntry(empty, "sneaky", "x");
        EXPECT_FALSE(empty.Command(ID_EDIT_ADDITEM));
        EXPECT_TRUE(empty.fe().m_dialogsRun.empty());
        EXPECT_EQ(empty.fe().m_dialogScripts.size(), 1u);
        EXPECT_EQ(empty.tree().GetCount(), 0u);
        EXPECT_EQ(empty.view().m_nCount, 0u);
    }

    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.SelectEntry(0);
    EXPECT_FALSE(app.Command(ID_EDIT_MOVEUP));
    app.SelectEntry(2);
    EXPECT_FALSE(app.Command(ID_EDIT_MOVEDOWN));
    SelectChild(app, 1, 0);
    EXPECT_FALSE(app.Command(ID_EDIT_MOVEUP));
    EXPECT_FALSE(app.Command(ID_EDIT_MOVEDOWN));
    app.tree().SelectItem(nullptr);
    EXPECT_FALSE(app.Command(ID_EDIT_REMOVEITEM));
    EXPECT_EQ(EntriesOf(app.view()), kABC);
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_FALSE(app.doc().IsModified());
}

// ---- remove ----------------------------------------------------------------

TEST(EditRemove, OnADataOrExtraNodeChangesNothing)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    for (UINT child : {0u, 1u}) {
        SelectChild(app, 1, child);
        HTREEITEM hSelected = app.tree().GetSelectedItem();
        EXPECT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
        EXPECT_EQ(EntriesOf(app.view()), kABC);
        EXPECT_EQ(app.tree().GetCount(), 7u);
        EXPECT_EQ(app.view().m_nCount, 3u);
        EXPECT_EQ(app.tree().GetSelectedItem(), hSelected);
        EXPECT_FALSE(app.doc().IsModified());
    }
}

TEST(EditRemove, RemovingTheOnlyEntryLeavesAnEmptyTree)
{
    Loaded f({{"only", "one", "extra"}});
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.SelectEntry(0);
    EXPECT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
    EXPECT_EQ(app.tree().GetCount(), 0u);
    EXPECT_EQ(app.view().m_nCount, 0u);
    EXPECT_EQ(app.tree().GetSelectedItem(), nullptr);
    for (UINT id : kEditCommands)
        EXPECT_FALSE(app.Enabled(id)) << id;

    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_EQ(ReadFile(f.path), Le32(0));
}

TEST(EditRemove, KeepsTheKeysContiguousSoLaterCommandsStayRight)
{
    const std::vector<Entry> five{{"A", "a", ""}, {"B", "b", "bx"}, {"C", "c", ""}, {"D", "d", "dx"}, {"E", "e", ""}};
    Loaded f(five);
    ASSERT_TRUE(f.started);
    App& app = f.app;

    app.SelectEntry(1);  // B, from the middle
    ASSERT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(app.tree().GetSelectedItem(), EntryAt(app, 1));  // the selection goes to C, below

    app.SelectEntry(0);  // A, the first
    ASSERT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{five[2], five[3], five[4]}));

    // The new first and last entries are recognised as such.
    app.SelectEntry(0);
    EXPECT_FALSE(app.Enabled(ID_EDIT_MOVEUP));
    app.SelectEntry(2);
    EXPECT_FALSE(app.Enabled(ID_EDIT_MOVEDOWN));
    EXPECT_TRUE(app.Command(ID_EDIT_MOVEUP));
    EXPECT_EQ(EntriesOf(app.view()), (std::vector<Entry>{five[2], five[4], five[3]}));

    // Add takes the next free key and lands after everything else, and a
    // move of the new entry goes to its real neighbour.
    TypeNewEntry(app, "F", "f");
    ASSERT_TRUE(app.Command(ID_EDIT_ADDITEM));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    app.SelectEntry(3);
    EXPECT_TRUE(app.Command(ID_EDIT_MOVEUP));
    const std::vector<Entry> expected{five[2], five[4], {"F", "f", ""}, five[3]};
    EXPECT_EQ(EntriesOf(app.view()), expected);
    EXPECT_TRUE(TreeIsConsistent(app.view()));

    app.SelectEntry(3);  // the last one: the selection falls back to the entry above
    ASSERT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
    EXPECT_EQ(app.tree().GetSelectedItem(), EntryAt(app, 2));
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_EQ(ReadFile(f.path), EntryFileBytes({five[2], five[4], {"F", "f", ""}}));
}

// ---- add -------------------------------------------------------------------

TEST(EditAdd, AfterALoadAppendsKeyNWithOneChildAndSavesAnEmptyExtra)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.SelectEntry(1);
    HTREEITEM hSelected = app.tree().GetSelectedItem();

    TypeNewEntry(app, "D", "delta");
    EXPECT_TRUE(app.Command(ID_EDIT_ADDITEM));
    ASSERT_EQ(app.view().m_nCount, 4u);
    HTREEITEM hNew = EntryAt(app, 3);
    ASSERT_NE(hNew, nullptr);
    EXPECT_EQ(app.tree().GetItemText(hNew), "D");
    EXPECT_EQ(app.tree().GetItemData(hNew), 3u);
    HTREEITEM hData = app.tree().GetChildItem(hNew);
    ASSERT_NE(hData, nullptr);
    EXPECT_EQ(app.tree().GetItemText(hData), "delta");
    EXPECT_EQ(app.tree().GetItemData(hData), 0u);
    EXPECT_EQ(app.tree().GetNextSiblingItem(hData), nullptr);
    EXPECT_EQ(app.tree().GetCount(), 9u);
    EXPECT_EQ(app.tree().GetSelectedItem(), hSelected);
    EXPECT_TRUE(TreeIsConsistent(app.view()));

    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    const std::string bytes = ReadFile(f.path);
    EXPECT_EQ(bytes, EntryFileBytes({kABC[0], kABC[1], kABC[2], {"D", "delta", ""}}));
    const std::string tail = Record("D") + Record("delta") + std::string("\x01\x00\x00\x00\x00", 5);
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
    EXPECT_EQ(bytes.substr(0, 4), Le32(4));
}

// ---- long random edit sequences ------------------------------------------

// What the user sees, kept beside the program: the entries in order and the
// selected node as (row, child), child -1 for the entry node itself.
struct Model {
    std::vector<Entry> entries;
    std::optional<std::pair<std::size_t, int>> sel;

    bool EntrySelected() const { return sel && sel->second < 0; }
    bool AddEnabled() const { return !entries.empty(); }
    bool RemoveEnabled() const { return !entries.empty() && sel.has_value(); }
    bool UpEnabled() const { return EntrySelected() && sel->first > 0; }
    bool DownEnabled() const { return EntrySelected() && sel->first + 1 < entries.size(); }
};

std::string RandomText(std::mt19937& rng, bool bAllowEmpty)
{
    static const std::string kChars = "abcXYZ019 _.-\xE9\xFC\x80\x9F\xFF\t";
    std::uniform_int_distribution<int> lengthDist(bAllowEmpty ? 0 : 1, 12);
    const int length = rng() % 20 == 0 ? 300 : lengthDist(rng);
    std::string s;
    for (int i = 0; i < length; ++i)
        s += kChars[rng() % kChars.size()];
    return s;
}

std::optional<std::pair<std::size_t, int>> SelectionOf(App& app)
{
    CTreeCtrl& tree = app.tree();
    HTREEITEM h = tree.GetSelectedItem();
    if (!h)
        return std::nullopt;
    if (HTREEITEM hParent = tree.GetParentItem(h))
        return std::make_pair(static_cast<std::size_t>(tree.GetItemRow(hParent)), static_cast<int>(tree.GetItemRow(h)));
    return std::make_pair(static_cast<std::size_t>(tree.GetItemRow(h)), -1);
}

void RunRandomEdits(unsigned seed, std::size_t initialCount, int steps)
{
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    Model m;
    for (std::size_t i = 0; i < initialCount; ++i)
        m.entries.push_back({RandomText(rng, false), RandomText(rng, true), rng() % 2 ? RandomText(rng, false) : ""});
    Loaded f(m.entries);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    ASSERT_EQ(EntriesOf(app.view()), m.entries);

    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        if (m.entries.empty()) {
            // Nothing can be added to an empty tree: start over from a file.
            for (UINT id : kEditCommands)
                ASSERT_FALSE(app.Enabled(id));
            m.entries = {{"again", RandomText(rng, true), "x"}, {RandomText(rng, false), "", ""}};
            WriteFile(f.dir / "again.lumo", EntryFileBytes(m.entries));
            if (app.doc().IsModified())
                app.fe().m_messageAnswers.push_back(IDNO);  // the removals are not kept
            ASSERT_TRUE(app.Open(f.dir / "again.lumo"));
            m.sel.reset();
        }
        ASSERT_EQ(app.Enabled(ID_EDIT_ADDITEM), m.AddEnabled());
        ASSERT_EQ(app.Enabled(ID_EDIT_REMOVEITEM), m.RemoveEnabled());
        ASSERT_EQ(app.Enabled(ID_EDIT_MOVEUP), m.UpEnabled());
        ASSERT_EQ(app.Enabled(ID_EDIT_MOVEDOWN), m.DownEnabled());

        const unsigned op = rng() % 100;
        if (op < 30) {  // select something: an entry, one of its children or nothing
            const std::size_t n = m.entries.size();
            const std::size_t row = rng() % n;
            const unsigned what = rng() % 10;
            if (what == 0) {
                app.tree().SelectItem(nullptr);
                m.sel.reset();
            } else if (what < 7) {
                app.SelectEntry(static_cast<UINT>(row));
                m.sel = std::make_pair(row, -1);
            } else {
                const int child = (what == 9 && !m.entries[row].extra.empty()) ? 1 : 0;
                SelectChild(app, static_cast<UINT>(row), static_cast<UINT>(child));
                m.sel = std::make_pair(row, child);
            }
        } else if (op < 50) {
            const Entry e{RandomText(rng, false), RandomText(rng, true), ""};
            TypeNewEntry(app, e.name, e.data);
            ASSERT_TRUE(app.Command(ID_EDIT_ADDITEM));
            m.entries.push_back(e);
        } else if (op < 62) {
            ASSERT_EQ(app.Command(ID_EDIT_REMOVEITEM), m.RemoveEnabled());
            if (m.EntrySelected()) {
                const std::size_t row = m.sel->first;
                m.entries.erase(m.entries.begin() + static_cast<std::ptrdiff_t>(row));
                // The selection goes to the entry below, else the one above.
                if (row < m.entries.size())
                    m.sel = std::make_pair(row, -1);
                else if (row > 0)
                    m.sel = std::make_pair(row - 1, -1);
                else
                    m.sel.reset();
            }
        } else if (op < 81) {
            const bool bEnabled = m.UpEnabled();
            ASSERT_EQ(app.Command(ID_EDIT_MOVEUP), bEnabled);
            if (bEnabled) {
                std::swap(m.entries[m.sel->first], m.entries[m.sel->first - 1]);
                --m.sel->first;
            }
        } else {
            const bool bEnabled = m.DownEnabled();
            ASSERT_EQ(app.Command(ID_EDIT_MOVEDOWN), bEnabled);
            if (bEnabled) {
                std::swap(m.entries[m.sel->first], m.entries[m.sel->first + 1]);
                ++m.sel->first;
            }
        }
        ASSERT_TRUE(TreeIsConsistent(app.view()));
        ASSERT_EQ(SelectionOf(app), m.sel);
        ASSERT_EQ(EntriesOf(app.view()), m.entries);
    }
    for (const CRecordedMessage& msg : app.fe().m_messages)
        EXPECT_EQ(msg.text.rfind("Save changes to ", 0), 0u) << msg.text;

    // Store and load again, byte for byte.
    const fs::path out = f.dir / "out.lumo";
    app.fe().m_fileAnswers.push_back(out.string());
    ASSERT_TRUE(app.Command(ID_FILE_SAVE_AS));
    ASSERT_EQ(ReadFile(out), EntryFileBytes(m.entries));
    EXPECT_FALSE(app.doc().IsModified());
    const std::size_t messages = app.fe().m_messages.size();
    ASSERT_TRUE(app.Open(out));
    EXPECT_EQ(app.fe().m_messages.size(), messages);  // nothing to ask about after the save
    EXPECT_EQ(EntriesOf(app.view()), m.entries);
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_EQ(ReadFile(out), EntryFileBytes(m.entries));
}

TEST(EditRandom, SmallListsEmptiedAndRefilledKeepTheKeysAndRoundTrip)
{
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u})
        RunRandomEdits(seed, 3, 1500);
}

// Enough entries that one removal or a run of moves renumbers many of them.
TEST(EditRandom, LargerListsKeepTheKeysAndRoundTrip)
{
    for (unsigned seed : {11u, 12u, 13u})
        RunRandomEdits(seed, 120, 3000);
}

// ---- the modified flag -----------------------------------------------------

TEST(ModifiedFlag, SetByEachEditThatChangesSomethingOnly)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    EXPECT_FALSE(app.doc().IsModified());

    // Things that change nothing.
    app.fe().m_dialogScripts.push_back([](CFakeDialog& dlg) {
        dlg.SetText(IDC_VALUE_NAME, "typed");
        dlg.Click(IDCANCEL);
    });
    app.Command(ID_EDIT_ADDITEM);
    SelectChild(app, 1, 0);
    app.Command(ID_EDIT_REMOVEITEM);
    app.Command(ID_EDIT_MOVEUP);
    app.Command(ID_EDIT_MOVEDOWN);
    app.SelectEntry(0);
    app.Command(ID_EDIT_MOVEUP);
    app.SelectEntry(2);
    app.Command(ID_EDIT_MOVEDOWN);
    app.Command(ID_APP_ABOUT);
    EXPECT_EQ(EntriesOf(app.view()), kABC);
    EXPECT_FALSE(app.doc().IsModified());

    // Each change on its own, cleared by a save in between.
    auto changes = [&](const char* what, auto&& edit) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(app.Command(ID_FILE_SAVE));
        ASSERT_FALSE(app.doc().IsModified());
        edit();
        EXPECT_TRUE(app.doc().IsModified());
    };
    changes("move up", [&] {
        app.SelectEntry(2);
        ASSERT_TRUE(app.Command(ID_EDIT_MOVEUP));
    });
    changes("move down", [&] {
        app.SelectEntry(0);
        ASSERT_TRUE(app.Command(ID_EDIT_MOVEDOWN));
    });
    changes("add", [&] {
        TypeNewEntry(app, "D", "");
        ASSERT_TRUE(app.Command(ID_EDIT_ADDITEM));
    });
    changes("remove", [&] {
        app.SelectEntry(3);
        ASSERT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
    });
}

TEST(ModifiedFlag, ClearedByLoadingAndSaving)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    App& app = f.app;
    app.SelectEntry(0);
    ASSERT_TRUE(app.Command(ID_EDIT_MOVEDOWN));
    ASSERT_TRUE(app.doc().IsModified());
    const fs::path copy = f.dir / "copy.lumo";
    app.fe().m_fileAnswers.push_back(copy.string());
    ASSERT_TRUE(app.Command(ID_FILE_SAVE_AS));
    EXPECT_FALSE(app.doc().IsModified());
    EXPECT_EQ(ReadFile(copy), EntryFileBytes({kABC[1], kABC[0], kABC[2]}));

    app.SelectEntry(0);
    ASSERT_TRUE(app.Command(ID_EDIT_REMOVEITEM));
    ASSERT_TRUE(app.doc().IsModified());
    app.fe().m_messageAnswers.push_back(IDNO);
    ASSERT_TRUE(app.Open(f.path));
    EXPECT_FALSE(app.doc().IsModified());
    EXPECT_EQ(EntriesOf(app.view()), kABC);
}

// ---- the save-changes prompt -----------------------------------------------

// A document changed by a move, so that the prompt has something to ask about.
struct Changed : Loaded {
    Changed() : Loaded(kABC, "work.lumo")
    {
        app.SelectEntry(0);
        app.Command(ID_EDIT_MOVEDOWN);
    }
    const std::vector<Entry> moved{kABC[1], kABC[0], kABC[2]};
    const std::vector<Entry> other{{"O", "other", ""}};

    ::testing::AssertionResult AskedOnce(const std::string& title)
    {
        const auto& msgs = app.fe().m_messages;
        if (msgs.size() != 1)
            return ::testing::AssertionFailure() << msgs.size() << " message boxes";
        if (msgs[0].text != "Save changes to " + title + "?")
            return ::testing::AssertionFailure() << "asked \"" << msgs[0].text << "\"";
        if ((msgs[0].type & MB_TYPEMASK) != MB_YESNOCANCEL || msgs[0].caption != "lumoEdit")
            return ::testing::AssertionFailure() << "type " << msgs[0].type << ", caption " << msgs[0].caption;
        return ::testing::AssertionSuccess();
    }
};

TEST(SavePrompt, NotAskedWhenNothingChanged)
{
    Loaded f(kABC);
    ASSERT_TRUE(f.started);
    WriteFile(f.dir / "other.lumo", EntryFileBytes({{"O", "", ""}}));
    ASSERT_TRUE(f.app.Command(ID_FILE_NEW));
    f.app.frame().OnDropFiles({(f.dir / "other.lumo").string()});
    EXPECT_EQ(EntriesOf(f.app.view()), (std::vector<Entry>{{"O", "", ""}}));
    f.app.Command(ID_APP_EXIT);
    EXPECT_EQ(f.app.fe().m_nQuitCode, 0);
    EXPECT_TRUE(f.app.fe().m_messages.empty());
}

TEST(SavePrompt, BeforeNew)
{
    {
        SCOPED_TRACE("Yes on a titled document saves it, then New keeps the entries");
        Changed c;
        c.app.fe().m_messageAnswers.push_back(IDYES);
        ASSERT_TRUE(c.app.Command(ID_FILE_NEW));
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_TRUE(c.app.fe().m_prompts.empty());
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(c.moved));
        EXPECT_EQ(c.app.fe().m_strTitle, "Untitled - lumoEdit");
        EXPECT_EQ(EntriesOf(c.app.view()), c.moved);
        EXPECT_TRUE(TreeIsConsistent(c.app.view()));
        EXPECT_FALSE(c.app.doc().IsModified());
    }
    {
        SCOPED_TRACE("No goes on without saving");
        Changed c;
        c.app.fe().m_messageAnswers.push_back(IDNO);
        ASSERT_TRUE(c.app.Command(ID_FILE_NEW));
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(kABC));
        EXPECT_EQ(c.app.fe().m_strTitle, "Untitled - lumoEdit");
        EXPECT_EQ(EntriesOf(c.app.view()), c.moved);
        EXPECT_FALSE(c.app.doc().IsModified());
    }
    {
        SCOPED_TRACE("Cancel stops New");
        Changed c;
        c.app.fe().m_messageAnswers.push_back(IDCANCEL);
        c.app.Command(ID_FILE_NEW);
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(kABC));
        EXPECT_EQ(c.app.fe().m_strTitle, "work.lumo - lumoEdit");
        EXPECT_EQ(c.app.doc().GetPathName(), fs::absolute(c.path).lexically_normal().string());
        EXPECT_TRUE(c.app.doc().IsModified());
    }
    {
        SCOPED_TRACE("Yes on an untitled document asks for a name first");
        Changed c;
        c.app.fe().m_messageAnswers.push_back(IDNO);
        ASSERT_TRUE(c.app.Command(ID_FILE_NEW));  // untitled now, entries still shown
        c.app.SelectEntry(0);
        ASSERT_TRUE(c.app.Command(ID_EDIT_MOVEDOWN));
        c.app.fe().m_messages.clear();
        c.app.fe().m_messageAnswers.push_back(IDYES);
        c.app.fe().m_fileAnswers.push_back((c.dir / "named.lumo").string());
        ASSERT_TRUE(c.app.Command(ID_FILE_NEW));
        EXPECT_TRUE(c.AskedOnce("Untitled"));
        ASSERT_EQ(c.app.fe().m_prompts.size(), 1u);
        EXPECT_FALSE(c.app.fe().m_prompts[0].bOpen);
        EXPECT_EQ(ReadFile(c.dir / "named.lumo"), EntryFileBytes(kABC));
        EXPECT_EQ(c.app.fe().m_strTitle, "Untitled - lumoEdit");
        EXPECT_FALSE(c.app.doc().IsModified());
    }
    {
        SCOPED_TRACE("Yes, then cancelling the name, stops New");
        Changed c;
        c.app.fe().m_messageAnswers.push_back(IDNO);
        ASSERT_TRUE(c.app.Command(ID_FILE_NEW));
        c.app.SelectEntry(0);
        ASSERT_TRUE(c.app.Command(ID_EDIT_MOVEDOWN));
        c.app.fe().m_messageAnswers.push_back(IDYES);
        c.app.fe().m_fileAnswers.push_back(std::nullopt);
        c.app.Command(ID_FILE_NEW);
        EXPECT_TRUE(c.app.doc().IsModified());
        EXPECT_EQ(std::distance(fs::directory_iterator(c.dir.Path()), fs::directory_iterator()), 1);
    }
}

TEST(SavePrompt, BeforeOpen)
{
    {
        SCOPED_TRACE("Yes saves, then opens");
        Changed c;
        WriteFile(c.dir / "other.lumo", EntryFileBytes(c.other));
        c.app.fe().m_fileAnswers.push_back((c.dir / "other.lumo").string());
        c.app.fe().m_messageAnswers.push_back(IDYES);
        ASSERT_TRUE(c.app.Command(ID_FILE_OPEN));
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(c.moved));
        EXPECT_EQ(EntriesOf(c.app.view()), c.other);
        EXPECT_EQ(c.app.fe().m_strTitle, "other.lumo - lumoEdit");
        EXPECT_FALSE(c.app.doc().IsModified());
    }
    {
        SCOPED_TRACE("No opens without saving");
        Changed c;
        WriteFile(c.dir / "other.lumo", EntryFileBytes(c.other));
        c.app.fe().m_fileAnswers.push_back((c.dir / "other.lumo").string());
        c.app.fe().m_messageAnswers.push_back(IDNO);
        ASSERT_TRUE(c.app.Command(ID_FILE_OPEN));
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(kABC));
        EXPECT_EQ(EntriesOf(c.app.view()), c.other);
        EXPECT_FALSE(c.app.doc().IsModified());
    }
    {
        SCOPED_TRACE("Cancel keeps the changed entries");
        Changed c;
        WriteFile(c.dir / "other.lumo", EntryFileBytes(c.other));
        c.app.fe().m_fileAnswers.push_back((c.dir / "other.lumo").string());
        c.app.fe().m_messageAnswers.push_back(IDCANCEL);
        c.app.Command(ID_FILE_OPEN);
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_EQ(EntriesOf(c.app.view()), c.moved);
        EXPECT_EQ(c.app.fe().m_strTitle, "work.lumo - lumoEdit");
        EXPECT_TRUE(c.app.doc().IsModified());
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(kABC));
    }
    {
        SCOPED_TRACE("No, then a file that cannot be opened, keeps the changes marked");
        Changed c;
        c.app.fe().m_fileAnswers.push_back((c.dir / "missing.lumo").string());
        c.app.fe().m_messageAnswers.push_back(IDNO);
        c.app.Command(ID_FILE_OPEN);
        EXPECT_EQ(c.app.fe().m_messages.size(), 2u);
        EXPECT_EQ(EntriesOf(c.app.view()), c.moved);
        EXPECT_TRUE(c.app.doc().IsModified());
    }
}

TEST(SavePrompt, BeforeADroppedFile)
{
    for (int answer : {IDYES, IDNO, IDCANCEL}) {
        SCOPED_TRACE("answer " + std::to_string(answer));
        Changed c;
        WriteFile(c.dir / "dropped.lumo", EntryFileBytes(c.other));
        c.app.fe().m_messageAnswers.push_back(answer);
        c.app.frame().OnDropFiles({(c.dir / "dropped.lumo").string()});
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(answer == IDYES ? c.moved : kABC));
        EXPECT_EQ(EntriesOf(c.app.view()), answer == IDCANCEL ? c.moved : c.other);
        EXPECT_EQ(c.app.doc().IsModified(), answer == IDCANCEL);
    }
}

TEST(SavePrompt, BeforeExit)
{
    for (int answer : {IDYES, IDNO, IDCANCEL}) {
        SCOPED_TRACE("answer " + std::to_string(answer));
        Changed c;
        c.app.fe().m_messageAnswers.push_back(answer);
        c.app.Command(ID_APP_EXIT);
        EXPECT_TRUE(c.AskedOnce("work.lumo"));
        EXPECT_EQ(ReadFile(c.path), EntryFileBytes(answer == IDYES ? c.moved : kABC));
        if (answer == IDCANCEL) {
            EXPECT_FALSE(c.app.fe().m_nQuitCode.has_value());
            EXPECT_TRUE(c.app.fe().m_bFrameExists);
            EXPECT_EQ(EntriesOf(c.app.view()), c.moved);
        } else {
            EXPECT_EQ(c.app.fe().m_nQuitCode, 0);
            EXPECT_FALSE(c.app.fe().m_bFrameExists);
        }
    }
}

// A save that fails must not let the program quit and drop the changes.
TEST(SavePrompt, ExitStaysWhenTheSaveFails)
{
    Changed c;
    c.app.fe().m_messageAnswers.push_back(IDNO);
    ASSERT_TRUE(c.app.Command(ID_FILE_NEW));  // untitled: Yes must ask for a name
    c.app.SelectEntry(0);
    ASSERT_TRUE(c.app.Command(ID_EDIT_MOVEDOWN));
    c.app.fe().m_messages.clear();

    c.app.fe().m_messageAnswers.push_back(IDYES);
    c.app.fe().m_fileAnswers.push_back((c.dir / "no-such-folder" / "x.lumo").string());
    c.app.Command(ID_APP_EXIT);
    ASSERT_EQ(c.app.fe().m_messages.size(), 2u);
    EXPECT_EQ(c.app.fe().m_messages[0].text, "Save changes to Untitled?");
    EXPECT_NE(c.app.fe().m_messages[1].text.find("Cannot save"), std::string::npos);
    EXPECT_FALSE(c.app.fe().m_nQuitCode.has_value());
    EXPECT_TRUE(c.app.doc().IsModified());

    c.app.fe().m_messageAnswers.push_back(IDYES);
    c.app.fe().m_fileAnswers.push_back(std::nullopt);  // the name is not given
    c.app.Command(ID_APP_EXIT);
    EXPECT_FALSE(c.app.fe().m_nQuitCode.has_value());
    EXPECT_EQ(EntriesOf(c.app.view()), kABC);
}

}  // namespace
