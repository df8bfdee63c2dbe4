// The tree-view control as a data structure: nodes with a text and an item
// data value, in sibling order under their parents, and one selected node.
// Built for a million entries: nodes are 48 bytes in large blocks, texts
// live in a CTextArena, and every local operation stays local.
#pragma once

#include "AfxTypes.h"
#include "TextArena.h"

#include <memory>
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
    CString GetItemText(HTREEITEM hItem) const;
    // The text without a copy; valid until the tree next changes.
    std::string_view GetItemTextView(HTREEITEM hItem) const;

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
    static constexpr unsigned kBlockBits = 16;

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

    Id Allocate();
    void FreeSubtree(Id id);
    void Unlink(Id id);
    void LinkAfter(Id id, Id parent, Id after);  // after == kNone: first child
    HTREEITEM Append(Id parent, std::string_view text, LPARAM lParam);
    void MarkDirty(Id id);
    bool InOrderWithNeighbours(Id id, const SortState& state) const;
    SortState* SortStateOf(Id parent);
    std::vector<Id>* ChildIndexOf(Id parent) const;
    void ForgetParentState(Id parent);
    void Renumber(Id parent, Id from, std::uint32_t row, Id until);
    void EnsureRows(Id parent, Id upTo) const;  // upTo == kNone: all of them
    void CatchUpRows(Id id);  // the node's row, if it is the first stale one
    StaleRows* StaleRowsOf(Id parent) const;
    void EraseStaleRows(Id parent) const;
    void RemoveFromSortState(Id parent, Id id);
    bool SortIncremental(Id parent, SortState& state, PFNTVCOMPARE pfn, LPARAM lParam);
    void SortFull(Id parent, PFNTVCOMPARE pfn, LPARAM lParam);
    void CompactTexts();

    std::vector<std::unique_ptr<Node[]>> m_blocks;
    Id m_nAllocated = 1;       // node 0 is the root
    Id m_freeList = kNone;
    UINT m_nLive = 0;
    Id m_caret = kNone;
    CTextArena m_texts;
    mutable std::unordered_map<Id, std::vector<Id>> m_childIndex;  // row -> node, for parents with many children
    mutable std::unordered_map<Id, StaleRows> m_staleRows;
    std::unordered_map<Id, SortState> m_sortStates;
    // The last parent whose entry was found in each of the maps above: edits
    // come in runs under one parent, so most lookups end here. Reset whenever
    // an entry leaves its map.
    mutable Id m_lastStaleParent = kInvalid;
    mutable StaleRows* m_pLastStale = nullptr;
    Id m_lastSortParent = kInvalid;
    SortState* m_pLastSort = nullptr;
    mutable Id m_lastIndexParent = kInvalid;
    mutable std::vector<Id>* m_pLastIndex = nullptr;
    CTreeCtrlObserver* m_pObserver = nullptr;
};
