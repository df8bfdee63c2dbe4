// SPDX-License-Identifier: MIT
// The tree-view control as a data structure: nodes with a text and an item
// data value, in sibling order under their parents, and one selected node.
// Built for a million entries: nodes are 48 bytes in large blocks, texts
// live in a CTextArena, and every local operation stays local.
#pragma once

#include "AfxTypes.h"
#include "TextArena.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// The one listener of a tree control (the widget that draws it). The
// "...ing" call comes before the change, the "...ed" call after it.
class CTreeCtrlObserver {
public:
    virtual ~CTreeCtrlObserver() = default;
    virtual void OnItemInserting(HTREEITEM hParent, UINT nRow) = 0;
    virtual void OnItemInserted(HTREEITEM hItem) = 0;
    virtual void OnItemDeleting(HTREEITEM hItem, HTREEITEM hParent, UINT nRow) = 0;
    virtual void OnItemDeleted() = 0;
    virtual void OnAllDeleting() = 0;
    virtual void OnAllDeleted() = 0;
    virtual void OnChildrenReordering(HTREEITEM hParent) = 0;
    virtual void OnChildrenReordered(HTREEITEM hParent) = 0;
    virtual void OnSelectionChanged(HTREEITEM hItem) = 0;
    // The node should be scrolled into view (its parents are expanded).
    virtual void OnEnsureVisible(HTREEITEM) {}
};

class CTreeCtrl {
public:
    CTreeCtrl();
    ~CTreeCtrl();
    CTreeCtrl(const CTreeCtrl&) = delete;
    CTreeCtrl& operator=(const CTreeCtrl&) = delete;

    // Appends a node as the last child of hParent (TVI_ROOT for a top-level
    // node). Only TVI_LAST is supported as the insert position: the program
    // only ever appends. The text is copied (TVIF_TEXT); image and state are
    // not kept, since the program shows neither.
    HTREEITEM InsertItem(UINT nMask, LPCTSTR lpszItem, int nImage, int nSelectedImage, UINT nState,
                         UINT nStateMask, LPARAM lParam, HTREEITEM hParent, HTREEITEM hInsertAfter);
    HTREEITEM InsertItem(LPCTSTR lpszItem, HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
    // Appends a node with this text (all of its bytes) and item data as the
    // last child of hParent: InsertItem with TVIF_TEXT | TVIF_PARAM, without
    // measuring the text again.
    HTREEITEM AppendItem(std::string_view text, LPARAM lParam, HTREEITEM hParent = TVI_ROOT);

    // With TVIF_PARAM replaces the item data; with TVIF_TEXT the text.
    bool SetItem(HTREEITEM hItem, UINT nMask, LPCTSTR lpszItem, int nImage, int nSelectedImage, UINT nState,
                 UINT nStateMask, LPARAM lParam);
    bool SetItemData(HTREEITEM hItem, DWORD_PTR dwData);
    DWORD_PTR GetItemData(HTREEITEM hItem) const;
    // Gives hFirst and each sibling after it consecutive item data: dwFirst,
    // dwFirst + 1, and so on; the same as SetItemData on each in turn, in one
    // pass. Returns how many nodes it numbered.
    UINT SetItemDataFrom(HTREEITEM hFirst, DWORD_PTR dwFirst);
    CString GetItemText(HTREEITEM hItem) const;
    // The text without a copy; valid until the tree next changes.
    std::string_view GetItemTextView(HTREEITEM hItem) const;
    // No item's text is longer than this (an upper bound, exact after a load).
    std::uint32_t GetLongestTextBound() const { return m_texts.LongestLength(); }

    HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const;
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetNextSiblingItem(HTREEITEM h) const { return GetNextItem(h, TVGN_NEXT); }
    HTREEITEM GetPrevSiblingItem(HTREEITEM h) const { return GetNextItem(h, TVGN_PREVIOUS); }
    HTREEITEM GetParentItem(HTREEITEM h) const { return GetNextItem(h, TVGN_PARENT); }
    HTREEITEM GetChildItem(HTREEITEM h) const { return GetNextItem(h, TVGN_CHILD); }
    HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
    bool ItemHasChildren(HTREEITEM h) const { return GetChildItem(h) != nullptr; }

    // Deletes a node with all its descendants; TVI_ROOT deletes every node.
    bool DeleteItem(HTREEITEM hItem);
    bool DeleteAllItems() { return DeleteItem(TVI_ROOT); }

    // Number of nodes at all levels.
    UINT GetCount() const { return m_nLive; }

    // Reorders the children of pSort->hParent (one level) by the comparison
    // function, which receives the two nodes' item data. Nodes keep their
    // children and the selection stays on the same node. Equal nodes keep
    // their order. Re-sorting after a few item data changes costs only as much
    // as the changed nodes move; a change that leaves a node in order with its
    // neighbours (as when keys are renumbered in order) costs nothing to place.
    // The comparison function must not change the tree; between sorts it may
    // be called with the nodes' item data as they change.
    bool SortChildrenCB(LPTVSORTCB pSort);

    bool SelectItem(HTREEITEM hItem);
    // Brings the node into view, as the control on screen sees fit; the
    // selection does not change.
    bool EnsureVisible(HTREEITEM hItem);

    // Row access for the widget: how many children, the child at a row, and
    // the row of a node among its siblings.
    UINT GetChildCount(HTREEITEM hParent) const;
    HTREEITEM GetChildAt(HTREEITEM hParent, UINT nRow) const;
    UINT GetItemRow(HTREEITEM hItem) const;  // amortised O(1)
    bool IsValidItem(HTREEITEM hItem) const { return hItem != TVI_ROOT && Index(hItem) != kInvalid; }

    void SetObserver(CTreeCtrlObserver* pObserver) { m_pObserver = pObserver; }
    CTreeCtrlObserver* GetObserver() const { return m_pObserver; }

private:
    using Id = std::uint32_t;
    static constexpr Id kNone = 0;  // "no node" in links: the invisible root is node 0 and never linked
    static constexpr Id kRootId = 0;
    static constexpr Id kInvalid = UINT32_MAX;  // what Index returns for a handle that names no node
    static constexpr Id kFree = UINT32_MAX;     // parent of a node on the free list
    static constexpr unsigned kBlockBits = 17;  // 131072 nodes, 6 MiB

    struct Node {
        LPARAM lParam;
        Id parent, next, prev, firstChild, lastChild;
        std::uint32_t childCount, row;
        CTextArena::Ref text;
    };
    static_assert(sizeof(Node) == 48);

    // What the last sort of a parent's children established, so that the next
    // sort with the same function only has to place the nodes changed since.
    struct SortState {
        PFNTVCOMPARE pfn = nullptr;
        LPARAM lParam = 0;
        bool bOverflow = false;
        std::vector<Id> dirty;
    };
    static constexpr std::size_t kMaxDirty = 32;

    // Rows are renumbered lazily after a delete: from `first` (at position
    // `row`) on, a parent's children may carry stale rows, never smaller than
    // the right ones; those before are right.
    struct StaleRows {
        Id first;
        std::uint32_t row;
    };

    Node& N(Id id) { return m_blocks[id >> kBlockBits][id & ((1u << kBlockBits) - 1)]; }
    const Node& N(Id id) const { return m_blocks[id >> kBlockBits][id & ((1u << kBlockBits) - 1)]; }
    Id Index(HTREEITEM h) const;  // kRootId for TVI_ROOT, kInvalid for null, foreign or deleted handles
    static HTREEITEM Handle(Id id) { return id == kNone ? nullptr : reinterpret_cast<HTREEITEM>(std::uintptr_t{id}); }
    HTREEITEM ParentHandle(Id parent) const { return parent == kRootId ? TVI_ROOT : Handle(parent); }

    Id Allocate(Id parent)
    {
        Pool& pool = m_pools[parent == kRootId ? 0 : 1];
        if (pool.freeList == kNone && pool.block != kNoBlock && m_blockFill[pool.block] < kBlockSize)
            return static_cast<Id>((std::size_t{pool.block} << kBlockBits) | m_blockFill[pool.block]++);
        return AllocateSlow(parent);
    }
    Id AllocateSlow(Id parent);
    void Release(Id id);  // back to its pool's free list
    void FreeSubtree(Id id);
    void Unlink(Id id);
    void LinkAfter(Id id, Id parent, Id after);  // after == kNone: first child
    HTREEITEM Append(Id parent, std::string_view text, LPARAM lParam);
    // A node was inserted or got new item data: unless it is still in order,
    // the next sort with the same function has to place it.
    void MarkDirty(Id id)
    {
        const Node& n = N(id);
        SortState* state = SortStateOf(n.parent);
        if (state == nullptr || state->bOverflow)
            return;
        // The usual case: nothing waits to be placed, and this node is in order.
        if (state->dirty.empty() &&
            (n.prev == kNone || state->pfn(N(n.prev).lParam, n.lParam, state->lParam) <= 0) &&
            (n.next == kNone || state->pfn(n.lParam, N(n.next).lParam, state->lParam) <= 0))
            return;
        MarkDirtySlow(id, *state);
    }
    void MarkDirtySlow(Id id, SortState& state);
    bool InOrderWithNeighbours(Id id, const SortState& state) const;
    // What is kept for some parents (row index, stale rows, sort state). In
    // practice only the root has any, so its entry is kept aside and finding
    // the entry of any other parent usually ends at an empty map.
    template <class T>
    class CParentMap {
    public:
        T* Find(Id parent)
        {
            if (parent == kRootId)
                return m_root ? &*m_root : nullptr;
            if (m_others.empty())
                return nullptr;
            auto it = m_others.find(parent);
            return it == m_others.end() ? nullptr : &it->second;
        }
        T& Make(Id parent, T value)
        {
            if (parent == kRootId)
                return m_root.emplace(std::move(value));
            return m_others.insert_or_assign(parent, std::move(value)).first->second;
        }
        void Erase(Id parent)
        {
            if (parent == kRootId)
                m_root.reset();
            else if (!m_others.empty())
                m_others.erase(parent);
        }
        void Clear()
        {
            m_root.reset();
            m_others.clear();
        }

    private:
        std::optional<T> m_root;
        std::unordered_map<Id, T> m_others;
    };

    SortState* SortStateOf(Id parent) { return m_sortStates.Find(parent); }
    std::vector<Id>* ChildIndexOf(Id parent) const { return m_childIndex.Find(parent); }
    StaleRows* StaleRowsOf(Id parent) const { return m_staleRows.Find(parent); }
    void ForgetParentState(Id parent);
    void Renumber(Id parent, Id from, std::uint32_t row, Id until);
    void EnsureRows(Id parent, Id upTo) const;  // upTo == kNone: all of them
    // Parents with more children than this get a row index when asked for a row.
    static constexpr UINT kWalkLimit = 8;
    HTREEITEM ChildAtWithoutIndex(Id parent, UINT nRow) const;  // walks a few, or makes the index
    // A walk over the siblings in order (as when keys are renumbered after a
    // delete) brings the rows up to date on the way, at no extra cost.
    void CatchUpRows(Id id)
    {
        StaleRows* stale = StaleRowsOf(N(id).parent);
        if (stale != nullptr && stale->first == id)
            CatchUpRow(id, *stale);
    }
    void CatchUpRow(Id id, StaleRows& stale);
    void RemoveFromSortState(Id parent, Id id);
    bool SortIncremental(Id parent, SortState& state, PFNTVCOMPARE pfn, LPARAM lParam);
    void SortFull(Id parent, PFNTVCOMPARE pfn, LPARAM lParam);
    void CompactTexts();

    // Nodes come from two pools of blocks: one for the children of the root
    // (the entries), one for all others. Walks along the top level, which
    // every edit of the entry list makes, then read consecutive memory.
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;
    static constexpr std::size_t kMaxBlocks = 0xFFFF0000u >> kBlockBits;  // handles stay clear of the TVI_ values
    static constexpr std::uint32_t kNoBlock = UINT32_MAX;
    struct Pool {
        Id freeList = kNone;
        std::uint32_t block = kNoBlock;  // the block new nodes are taken from
    };
    std::vector<CLargeArray<Node>> m_blocks;
    std::vector<std::uint32_t> m_blockFill;  // nodes taken from each block; the rest never held one
    std::vector<std::uint8_t> m_blockPool;
    Pool m_pools[2];  // [0]: children of the root, [1]: the root and all others
    UINT m_nLive = 0;
    Id m_caret = kNone;
    CTextArena m_texts;
    mutable CParentMap<std::vector<Id>> m_childIndex;  // row -> node, for parents with many children
    mutable CParentMap<StaleRows> m_staleRows;
    CParentMap<SortState> m_sortStates;
    CTreeCtrlObserver* m_pObserver = nullptr;
};

// The accessors every walk over the tree calls, inline.

inline CTreeCtrl::Id CTreeCtrl::Index(HTREEITEM h) const
{
    if (h == TVI_ROOT)
        return kRootId;
    const auto value = reinterpret_cast<std::uintptr_t>(h);
    if (value == 0 || value >= (m_blocks.size() << kBlockBits))
        return kInvalid;
    const auto id = static_cast<Id>(value);
    if ((id & (kBlockSize - 1)) >= m_blockFill[id >> kBlockBits])
        return kInvalid;
    return N(id).parent == kFree ? kInvalid : id;
}

inline HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const
{
    switch (nCode) {
    case TVGN_ROOT:
        return Handle(N(kRootId).firstChild);
    case TVGN_CARET:
        return Handle(m_caret);
    default:
        break;
    }
    const Id id = Index(hItem == nullptr && nCode == TVGN_CHILD ? TVI_ROOT : hItem);
    if (id == kInvalid)
        return nullptr;
    const Node& n = N(id);
    switch (nCode) {
    case TVGN_NEXT:
        return id == kRootId ? nullptr : Handle(n.next);
    case TVGN_PREVIOUS:
        return id == kRootId ? nullptr : Handle(n.prev);
    case TVGN_PARENT:
        return id == kRootId || n.parent == kRootId ? nullptr : Handle(n.parent);
    case TVGN_CHILD:
        return Handle(n.firstChild);
    default:
        return nullptr;
    }
}

inline DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const
{
    const Id id = Index(hItem);
    return id == kInvalid || id == kRootId ? 0 : static_cast<DWORD_PTR>(N(id).lParam);
}

inline std::string_view CTreeCtrl::GetItemTextView(HTREEITEM hItem) const
{
    const Id id = Index(hItem);
    return id == kInvalid || id == kRootId ? std::string_view() : m_texts.Get(N(id).text);
}

// Whether the node sorts between its neighbours, neither of which waits to be
// placed. The nodes not waiting are in order (the sort relies on that), so
// such a node can join them.
inline bool CTreeCtrl::InOrderWithNeighbours(Id id, const SortState& state) const
{
    const auto isDirty = [&state](Id other) {
        return !state.dirty.empty() && std::find(state.dirty.begin(), state.dirty.end(), other) != state.dirty.end();
    };
    const Node& n = N(id);
    if (n.prev != kNone && (isDirty(n.prev) || state.pfn(N(n.prev).lParam, n.lParam, state.lParam) > 0))
        return false;
    if (n.next != kNone && (isDirty(n.next) || state.pfn(n.lParam, N(n.next).lParam, state.lParam) > 0))
        return false;
    return true;
}

inline UINT CTreeCtrl::GetChildCount(HTREEITEM hParent) const
{
    const Id id = Index(hParent == nullptr ? TVI_ROOT : hParent);
    return id == kInvalid ? 0 : N(id).childCount;
}

inline HTREEITEM CTreeCtrl::GetChildAt(HTREEITEM hParent, UINT nRow) const
{
    const Id parent = Index(hParent == nullptr ? TVI_ROOT : hParent);
    if (parent == kInvalid || nRow >= N(parent).childCount)
        return nullptr;
    if (const std::vector<Id>* index = ChildIndexOf(parent))
        return Handle((*index)[nRow]);
    return ChildAtWithoutIndex(parent, nRow);
}

inline UINT CTreeCtrl::GetItemRow(HTREEITEM hItem) const
{
    const Id id = Index(hItem);
    if (id == kInvalid || id == kRootId)
        return 0;
    if (StaleRowsOf(N(id).parent) != nullptr)
        EnsureRows(N(id).parent, id);
    return N(id).row;
}
