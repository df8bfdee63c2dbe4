// SPDX-License-Identifier: MIT
#include "platform/TreeCtrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

HTREEITEM Add(CTreeCtrl& tree, const std::string& text, HTREEITEM parent = TVI_ROOT, LPARAM data = 0)
{
    HTREEITEM h = tree.InsertItem(TVIF_TEXT, text.c_str(), 0, 0, 0, 0, 0, parent, TVI_LAST);
    if (data)
        tree.SetItem(h, TVIF_PARAM, nullptr, 0, 0, 0, 0, data);
    return h;
}

std::vector<std::string> TopLevelTexts(const CTreeCtrl& tree)
{
    std::vector<std::string> texts;
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h))
        texts.push_back(tree.GetItemText(h));
    return texts;
}

int CompareAscending(LPARAM a, LPARAM b, LPARAM)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

int CompareModulo(LPARAM a, LPARAM b, LPARAM m)
{
    return static_cast<int>(a % m) - static_cast<int>(b % m);
}

// Rows and the row index must agree with the sibling order.
void ExpectRowsConsistent(const CTreeCtrl& tree)
{
    UINT row = 0;
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h), ++row) {
        ASSERT_EQ(tree.GetItemRow(h), row);
        ASSERT_EQ(tree.GetChildAt(TVI_ROOT, row), h);
    }
    ASSERT_EQ(tree.GetChildCount(TVI_ROOT), row);
}

TEST(TreeCtrl, NodeLayoutNavigationAndCount)
{
    CTreeCtrl tree;
    EXPECT_EQ(tree.GetCount(), 0u);
    EXPECT_EQ(tree.GetRootItem(), nullptr);
    EXPECT_EQ(tree.GetSelectedItem(), nullptr);

    HTREEITEM a = Add(tree, "A", TVI_ROOT, 7);
    HTREEITEM aData = Add(tree, "data", a);
    HTREEITEM aExtra = Add(tree, "extra", a);
    HTREEITEM b = Add(tree, "B");
    EXPECT_EQ(tree.GetCount(), 4u);  // data and extra nodes count too

    EXPECT_EQ(tree.GetNextItem(nullptr, TVGN_ROOT), a);
    EXPECT_EQ(tree.GetNextItem(a, TVGN_NEXT), b);
    EXPECT_EQ(tree.GetNextItem(b, TVGN_PREVIOUS), a);
    EXPECT_EQ(tree.GetNextItem(a, TVGN_PREVIOUS), nullptr);
    EXPECT_EQ(tree.GetNextItem(a, TVGN_PARENT), nullptr);
    EXPECT_EQ(tree.GetNextItem(a, TVGN_CHILD), aData);
    EXPECT_EQ(tree.GetNextItem(aData, TVGN_NEXT), aExtra);
    EXPECT_EQ(tree.GetNextItem(aExtra, TVGN_NEXT), nullptr);
    EXPECT_EQ(tree.GetNextItem(aExtra, TVGN_PARENT), a);
    EXPECT_EQ(tree.GetNextItem(b, TVGN_CHILD), nullptr);

    EXPECT_EQ(tree.GetItemData(a), 7u);
    EXPECT_EQ(tree.GetItemData(aData), 0u);  // inserted with the text alone
    EXPECT_EQ(tree.GetItemText(aExtra), "extra");

    // Set-item-data replaces the data and nothing else.
    EXPECT_TRUE(tree.SetItem(aData, TVIF_PARAM, nullptr, 0, 0, 0, 0, 42));
    EXPECT_EQ(tree.GetItemData(aData), 42u);
    EXPECT_EQ(tree.GetItemText(aData), "data");

    // Only appending is supported.
    EXPECT_EQ(tree.InsertItem(TVIF_TEXT, "x", 0, 0, 0, 0, 0, TVI_ROOT, TVI_FIRST), nullptr);
    EXPECT_EQ(tree.InsertItem(TVIF_TEXT, "x", 0, 0, 0, 0, 0, TVI_ROOT, b) != nullptr, true);
}

TEST(TreeCtrl, TextsAreCopiedWholeWithAnyByte)
{
    CTreeCtrl tree;
    std::string high;
    for (int c = 1; c < 256; ++c)
        high += static_cast<char>(c);
    const std::string longText(3 << 20, 'x');  // bigger than a text chunk
    char buffer[] = "temporary";
    HTREEITEM h1 = Add(tree, high);
    HTREEITEM h2 = Add(tree, longText);
    HTREEITEM h3 = tree.InsertItem(buffer);
    buffer[0] = 'X';
    HTREEITEM h4 = Add(tree, "");
    EXPECT_EQ(tree.GetItemText(h1), high);
    EXPECT_EQ(tree.GetItemText(h2), longText);
    EXPECT_EQ(tree.GetItemText(h3), "temporary");
    EXPECT_EQ(tree.GetItemText(h4), "");
}

TEST(TreeCtrl, DeleteTakesDescendantsAndMovesSelection)
{
    CTreeCtrl tree;
    HTREEITEM a = Add(tree, "A");
    Add(tree, "a1", a);
    Add(tree, "a2", a);
    HTREEITEM b = Add(tree, "B");
    HTREEITEM bData = Add(tree, "b1", b);
    HTREEITEM c = Add(tree, "C");
    EXPECT_EQ(tree.GetCount(), 6u);

    ASSERT_TRUE(tree.SelectItem(bData));
    ASSERT_TRUE(tree.DeleteItem(b));  // the selection goes with it: the next sibling takes it
    EXPECT_EQ(tree.GetSelectedItem(), c);
    EXPECT_EQ(tree.GetCount(), 4u);
    EXPECT_FALSE(tree.IsValidItem(b));
    EXPECT_FALSE(tree.IsValidItem(bData));
    EXPECT_FALSE(tree.DeleteItem(b));  // a stale handle is refused, not followed
    EXPECT_EQ(tree.GetItemText(b), "");
    ExpectRowsConsistent(tree);

    ASSERT_TRUE(tree.DeleteItem(c));  // last one: the previous sibling takes it
    EXPECT_EQ(tree.GetSelectedItem(), a);
    ASSERT_TRUE(tree.DeleteItem(a));
    EXPECT_EQ(tree.GetSelectedItem(), nullptr);
    EXPECT_EQ(tree.GetCount(), 0u);

    Add(tree, "D");
    HTREEITEM e = Add(tree, "E");
    tree.SelectItem(e);
    EXPECT_TRUE(tree.DeleteAllItems());
    EXPECT_EQ(tree.GetCount(), 0u);
    EXPECT_EQ(tree.GetRootItem(), nullptr);
    EXPECT_EQ(tree.GetSelectedItem(), nullptr);
    EXPECT_FALSE(tree.IsValidItem(e));
}

TEST(TreeCtrl, SortKeepsChildrenAndSelection)
{
    CTreeCtrl tree;
    std::vector<HTREEITEM> nodes;
    for (int key : {3, 1, 2, 0}) {
        HTREEITEM h = Add(tree, "k" + std::to_string(key), TVI_ROOT, key);
        Add(tree, "child of " + std::to_string(key), h);
        nodes.push_back(h);
    }
    tree.SelectItem(nodes[0]);
    TVSORTCB sort{TVI_ROOT, &CompareAscending, 0};
    ASSERT_TRUE(tree.SortChildrenCB(&sort));
    EXPECT_EQ(TopLevelTexts(tree), (std::vector<std::string>{"k0", "k1", "k2", "k3"}));
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h))
        EXPECT_EQ(tree.GetItemText(tree.GetChildItem(h)), "child of " + tree.GetItemText(h).substr(1));
    EXPECT_EQ(tree.GetSelectedItem(), nodes[0]);
    EXPECT_EQ(tree.GetCount(), 8u);
    ExpectRowsConsistent(tree);
}

// The incremental re-sort must give exactly what a stable sort of the whole
// level gives, ties included, whatever happened since the last sort.
TEST(TreeCtrl, ResortAfterChangesMatchesStableSort)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round) {
        CTreeCtrl tree;
        const int n = 1 + static_cast<int>(rng() % 60);
        const LPARAM modulo = 1 + static_cast<LPARAM>(rng() % 12);  // small: many ties
        std::vector<std::pair<HTREEITEM, LPARAM>> model;  // display order with data
        for (int i = 0; i < n; ++i) {
            const auto data = static_cast<LPARAM>(rng() % 100);
            model.emplace_back(Add(tree, std::to_string(i), TVI_ROOT, data), data);
        }
        const auto sortModel = [&] {
            std::stable_sort(model.begin(), model.end(),
                             [&](const auto& a, const auto& b) { return CompareModulo(a.second, b.second, modulo) < 0; });
        };
        TVSORTCB sort{TVI_ROOT, &CompareModulo, modulo};
        for (int step = 0; step < 20; ++step) {
            // A few changes: new data, appends, removals.
            const int changes = static_cast<int>(rng() % 4);
            for (int c = 0; c < changes && !model.empty(); ++c) {
                const auto i = rng() % model.size();
                switch (rng() % 3) {
                case 0: {
                    const auto data = static_cast<LPARAM>(rng() % 100);
                    tree.SetItemData(model[i].first, static_cast<DWORD_PTR>(data));
                    model[i].second = data;
                    break;
                }
                case 1: {
                    const auto data = static_cast<LPARAM>(rng() % 100);
                    model.emplace_back(Add(tree, "new", TVI_ROOT, data), data);
                    break;
                }
                default:
                    tree.DeleteItem(model[i].first);
                    model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            ASSERT_TRUE(tree.SortChildrenCB(&sort));
            sortModel();
            std::vector<HTREEITEM> expected, actual;
            for (auto& [h, d] : model)
                expected.push_back(h);
            for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h))
                actual.push_back(h);
            ASSERT_EQ(actual, expected) << "round " << round << " step " << step;
            ExpectRowsConsistent(tree);
        }
    }
}

TEST(TreeCtrl, TextsSurviveHeavyDeletion)
{
    // Deleting most of a large tree makes the texts move to fresh storage;
    // what is left must read back the same.
    CTreeCtrl tree;
    std::vector<HTREEITEM> nodes;
    const std::string filler(200, 'f');
    for (int i = 0; i < 200000; ++i)
        nodes.push_back(Add(tree, std::to_string(i) + filler));
    for (int i = 0; i < 200000; ++i)
        if (i % 10 != 0)
            tree.DeleteItem(nodes[i]);
    EXPECT_EQ(tree.GetCount(), 20000u);
    int i = 0;
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h), i += 10)
        ASSERT_EQ(tree.GetItemText(h), std::to_string(i) + filler);
    ExpectRowsConsistent(tree);
}

TEST(TreeCtrl, RefusesForeignHandles)
{
    CTreeCtrl tree;
    HTREEITEM a = Add(tree, "A");
    const auto bogus = reinterpret_cast<HTREEITEM>(std::uintptr_t{123456});
    EXPECT_EQ(tree.InsertItem("x", bogus), nullptr);
    EXPECT_FALSE(tree.SelectItem(bogus));
    EXPECT_EQ(tree.GetNextItem(bogus, TVGN_NEXT), nullptr);
    EXPECT_EQ(tree.GetItemData(bogus), 0u);
    EXPECT_FALSE(tree.DeleteItem(bogus));
    EXPECT_EQ(tree.GetCount(), 1u);
    EXPECT_EQ(tree.GetRootItem(), a);
}

}  // namespace
