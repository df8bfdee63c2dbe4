// SPDX-License-Identifier: MIT
// Re-sorting after edits the way the entry commands make them: keys
// renumbered in order after a removal, a node appended with a placeholder
// key and then given its own, two keys swapped, and runs of changes far
// longer than the few the control tracks one by one. Whatever the mix, a
// sort must give exactly what a stable sort of the whole level gives.
#include "platform/TreeCtrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

int CompareAscending(LPARAM a, LPARAM b, LPARAM)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

struct Model {
    CTreeCtrl tree;
    std::vector<std::pair<HTREEITEM, LPARAM>> nodes;  // display order with data

    void Append(LPARAM data)
    {
        HTREEITEM h = tree.AppendItem("n" + std::to_string(nodes.size()), data);
        tree.AppendItem("child", 0, h);
        nodes.emplace_back(h, data);
    }
    void Set(std::size_t i, LPARAM data)
    {
        ASSERT_TRUE(tree.SetItemData(nodes[i].first, static_cast<DWORD_PTR>(data)));
        nodes[i].second = data;
    }
    // SetItemDataFrom on node i: it and the nodes after it get first, first + 1, ...
    void Number(std::size_t i, LPARAM first)
    {
        const UINT n = tree.SetItemDataFrom(nodes[i].first, static_cast<DWORD_PTR>(first));
        ASSERT_EQ(n, nodes.size() - i);
        for (std::size_t j = i; j < nodes.size(); ++j)
            nodes[j].second = first + static_cast<LPARAM>(j - i);
    }
    void Sort()
    {
        TVSORTCB sort{TVI_ROOT, &CompareAscending, 0};
        ASSERT_TRUE(tree.SortChildrenCB(&sort));
        std::stable_sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    }
    void ExpectSame()
    {
        std::vector<HTREEITEM> actual;
        for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h))
            actual.push_back(h);
        std::vector<HTREEITEM> expected;
        for (const auto& [h, data] : nodes)
            expected.push_back(h);
        ASSERT_EQ(actual, expected);
        for (UINT row = 0; row < nodes.size(); ++row) {
            ASSERT_EQ(tree.GetItemRow(nodes[row].first), row);
            ASSERT_EQ(tree.GetChildAt(TVI_ROOT, row), nodes[row].first);
            ASSERT_EQ(tree.GetItemData(nodes[row].first), static_cast<DWORD_PTR>(nodes[row].second));
        }
    }
};

TEST(TreeCtrlResort, RemoveRenumberAndSwapLikeTheEntryCommands)
{
    Model m;
    for (LPARAM key = 0; key < 500; ++key)
        m.Append(key);
    m.Sort();
    m.ExpectSame();
    std::mt19937 rng(5);
    for (int step = 0; step < 60; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const auto i = static_cast<std::size_t>(rng() % m.nodes.size());
        switch (step % 3) {
        case 0: {
            // Remove: the keys below move up by one, in order (one by one, or in one pass).
            ASSERT_TRUE(m.tree.DeleteItem(m.nodes[i].first));
            m.nodes.erase(m.nodes.begin() + static_cast<std::ptrdiff_t>(i));
            if (step % 2 == 0) {
                for (std::size_t j = i; j < m.nodes.size(); ++j)
                    m.Set(j, static_cast<LPARAM>(j));
            } else if (i < m.nodes.size()) {
                m.Number(i, static_cast<LPARAM>(i));
            }
            break;
        }
        case 1: {
            // Add: appended with key 0, then given the next key.
            m.Append(0);
            m.Set(m.nodes.size() - 1, static_cast<LPARAM>(m.nodes.size() - 1));
            break;
        }
        default:
            break;
        }
        // Move: swap the keys of two neighbours and sort.
        const auto a = static_cast<std::size_t>(rng() % (m.nodes.size() - 1));
        const LPARAM ka = m.nodes[a].second, kb = m.nodes[a + 1].second;
        m.Set(a, kb);
        m.Set(a + 1, ka);
        m.Sort();
        m.ExpectSame();
    }
}

TEST(TreeCtrlResort, RandomRunsOfChangesMatchAStableSort)
{
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        Model m;
        const int n = 2 + static_cast<int>(rng() % 120);
        for (int i = 0; i < n; ++i)
            m.Append(static_cast<LPARAM>(rng() % 50));  // many ties
        m.tree.GetChildAt(TVI_ROOT, 0);  // the row index is kept from now on
        m.Sort();
        for (int step = 0; step < 15; ++step) {
            // From none to far more changes than the control tracks one by one.
            const int changes = static_cast<int>(rng() % (step % 4 == 0 ? 80 : 6));
            for (int c = 0; c < changes && !m.nodes.empty(); ++c) {
                const auto i = static_cast<std::size_t>(rng() % m.nodes.size());
                const LPARAM lo = i > 0 ? m.nodes[i - 1].second : 0;
                const LPARAM hi = i + 1 < m.nodes.size() ? m.nodes[i + 1].second : 60;
                switch (rng() % 5) {
                case 0:  // a value that keeps it between its neighbours (they may be out of order)
                    m.Set(i, lo <= hi ? lo + static_cast<LPARAM>(rng() % (hi - lo + 1)) : lo);
                    break;
                case 1:  // anything
                    m.Set(i, static_cast<LPARAM>(rng() % 60));
                    break;
                case 2: {  // out of order, then back
                    const LPARAM old = m.nodes[i].second;
                    m.Set(i, 1000);
                    m.Set(i, old);
                    break;
                }
                case 3:
                    if (rng() % 2 == 0)
                        m.Append(static_cast<LPARAM>(rng() % 60));
                    else  // numbered from a value that may break the order
                        m.Number(i, static_cast<LPARAM>(rng() % 60));
                    break;
                default:
                    ASSERT_TRUE(m.tree.DeleteItem(m.nodes[i].first));
                    m.nodes.erase(m.nodes.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            m.Sort();
            SCOPED_TRACE("round " + std::to_string(round) + " step " + std::to_string(step));
            m.ExpectSame();
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(TreeCtrlResort, RowAccessStaysRightThroughClearingAndRefilling)
{
    // The root's row index is made while entries are appended; clearing the
    // tree and filling it again, or removing from the middle, must not leave
    // a stale one behind.
    Model m;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(m.tree.DeleteAllItems());
        m.nodes.clear();
        for (LPARAM key = 0; key < 20 + 7 * round; ++key)
            m.Append(key);
        m.ExpectSame();
        ASSERT_TRUE(m.tree.DeleteItem(m.nodes[3].first));
        m.nodes.erase(m.nodes.begin() + 3);
        ASSERT_TRUE(m.tree.DeleteItem(m.nodes.back().first));
        m.nodes.pop_back();
        m.Append(100);
        m.ExpectSame();
        EXPECT_EQ(m.tree.GetChildAt(TVI_ROOT, static_cast<UINT>(m.nodes.size())), nullptr);
    }
}

TEST(TreeCtrlResort, SetItemDataFromNumbersTheRestOfTheLevelOnly)
{
    CTreeCtrl tree;
    std::vector<HTREEITEM> top;
    for (int i = 0; i < 12; ++i) {
        top.push_back(tree.AppendItem("e" + std::to_string(i), 100 + i));
        tree.AppendItem("data", 7, top.back());
    }
    ASSERT_TRUE(tree.DeleteItem(top[4]));  // the rows below are brought up to date on the way
    EXPECT_EQ(tree.SetItemDataFrom(top[5], 4), 7u);
    for (int i = 0; i < 12; ++i) {
        if (i == 4)
            continue;
        EXPECT_EQ(tree.GetItemData(top[i]), static_cast<DWORD_PTR>(i < 4 ? 100 + i : i - 1));
        EXPECT_EQ(tree.GetItemRow(top[i]), static_cast<UINT>(i < 4 ? i : i - 1));
        EXPECT_EQ(tree.GetItemData(tree.GetChildItem(top[i])), 7u);  // children untouched
    }
    EXPECT_EQ(tree.SetItemDataFrom(nullptr, 0), 0u);
    EXPECT_EQ(tree.SetItemDataFrom(TVI_ROOT, 0), 0u);
    EXPECT_EQ(tree.SetItemDataFrom(top[4], 0), 0u);  // deleted
}

TEST(TreeCtrlResort, AppendItemKeepsEveryByteAndTheData)
{
    CTreeCtrl tree;
    const std::string withNul("a\0b", 3);
    HTREEITEM h = tree.AppendItem(withNul, 42);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(tree.GetItemText(h), withNul);
    EXPECT_EQ(tree.GetItemData(h), 42u);
    HTREEITEM child = tree.AppendItem("", 7, h);
    EXPECT_EQ(tree.GetParentItem(child), h);
    EXPECT_EQ(tree.GetItemText(child), "");
    EXPECT_EQ(tree.GetCount(), 2u);
    const auto bogus = reinterpret_cast<HTREEITEM>(std::uintptr_t{999});
    EXPECT_EQ(tree.AppendItem("x", 0, bogus), nullptr);
    tree.DeleteItem(h);
    EXPECT_EQ(tree.AppendItem("x", 0, h), nullptr);  // a deleted parent
    EXPECT_EQ(tree.GetCount(), 0u);
}

}  // namespace
