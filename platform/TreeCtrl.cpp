// SPDX-License-Identifier: MIT
#include "TreeCtrl.h"

#include <algorithm>
#include <new>

CTreeCtrl::CTreeCtrl()
{
    m_blocks.emplace_back(kBlockSize);
    m_blockFill.push_back(1);
    m_blockPool.push_back(1);
    m_pools[1].block = 0;
    N(kRootId) = Node{0, kFree, kNone, kNone, kNone, kNone, 0, 0, {}};
}

CTreeCtrl::~CTreeCtrl() = default;

CTreeCtrl::Id CTreeCtrl::AllocateSlow(Id parent)
{
    const std::uint8_t nPool = parent == kRootId ? 0 : 1;
    Pool& pool = m_pools[nPool];
    if (pool.freeList != kNone) {
        const Id id = pool.freeList;
        pool.freeList = N(id).next;
        return id;
    }
    if (pool.block == kNoBlock || m_blockFill[pool.block] == kBlockSize) {
        if (m_blocks.size() >= kMaxBlocks)
            throw std::bad_alloc();
        // Room in all three lists first, so a failure changes nothing.
        m_blockFill.reserve(m_blocks.size() + 1);
        m_blockPool.reserve(m_blocks.size() + 1);
        m_blocks.emplace_back(kBlockSize);
        m_blockFill.push_back(0);
        m_blockPool.push_back(nPool);
        pool.block = static_cast<std::uint32_t>(m_blocks.size() - 1);
    }
    return static_cast<Id>((std::size_t{pool.block} << kBlockBits) | m_blockFill[pool.block]++);
}

void CTreeCtrl::Release(Id id)
{
    Pool& pool = m_pools[m_blockPool[id >> kBlockBits]];
    N(id) = Node{0, kFree, pool.freeList, kNone, kNone, kNone, 0, 0, {}};
    pool.freeList = id;
}

HTREEITEM CTreeCtrl::InsertItem(UINT nMask, LPCTSTR lpszItem, int, int, UINT, UINT, LPARAM lParam, HTREEITEM hParent,
                                HTREEITEM hInsertAfter)
{
    const Id parent = Index(hParent == nullptr ? TVI_ROOT : hParent);
    if (parent == kInvalid)
        return nullptr;
    const Node& p = N(parent);
    if (hInsertAfter != TVI_LAST && !(p.lastChild != kNone && hInsertAfter == Handle(p.lastChild)))
        return nullptr;
    const std::string_view text = (nMask & TVIF_TEXT) && lpszItem ? std::string_view(lpszItem) : std::string_view();
    return Append(parent, text, (nMask & TVIF_PARAM) ? lParam : 0);
}

HTREEITEM CTreeCtrl::AppendItem(std::string_view text, LPARAM lParam, HTREEITEM hParent)
{
    const Id parent = Index(hParent == nullptr ? TVI_ROOT : hParent);
    if (parent == kInvalid)
        return nullptr;
    return Append(parent, text, lParam);
}

HTREEITEM CTreeCtrl::Append(Id parent, std::string_view text, LPARAM lParam)
{
    // Take all memory first, so a failure leaves the tree as it was.
    const Id id = Allocate(parent);
    CTextArena::Ref ref;
    try {
        ref = m_texts.Add(text);
    } catch (...) {
        Release(id);
        throw;
    }

    Node& p = N(parent);
    const std::uint32_t row = p.childCount;
    if (m_pObserver)
        m_pObserver->OnItemInserting(ParentHandle(parent), row);
    // Linked in as the last child.
    const Id last = p.lastChild;
    N(id) = Node{lParam, parent, kNone, last, kNone, kNone, 0, row, ref};
    if (last != kNone)
        N(last).next = id;
    else
        p.firstChild = id;
    p.lastChild = id;
    ++p.childCount;
    // The root's row index is kept from its ninth child on, built as the
    // entries come in: a view asks for rows right after a load, and making
    // the index then would mean a walk over all of them.
    std::vector<Id>* index = ChildIndexOf(parent);
    try {
        if (index)
            index->push_back(id);
        else if (parent == kRootId && p.childCount == kWalkLimit + 1)
            ChildAtWithoutIndex(parent, 0);
    } catch (const std::bad_alloc&) {
        m_childIndex.Erase(parent);  // made again when asked for
    }
    ++m_nLive;
    MarkDirty(id);
    if (m_pObserver)
        m_pObserver->OnItemInserted(Handle(id));
    return Handle(id);
}

void CTreeCtrl::ForgetParentState(Id parent)
{
    m_childIndex.Erase(parent);
    m_sortStates.Erase(parent);
    m_staleRows.Erase(parent);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    return InsertItem(TVIF_TEXT, lpszItem, 0, 0, 0, 0, 0, hParent, hInsertAfter);
}

void CTreeCtrl::LinkAfter(Id id, Id parent, Id after)
{
    Node& n = N(id);
    Node& p = N(parent);
    n.parent = parent;
    n.prev = after;
    n.next = after == kNone ? p.firstChild : N(after).next;
    if (n.prev != kNone)
        N(n.prev).next = id;
    else
        p.firstChild = id;
    if (n.next != kNone)
        N(n.next).prev = id;
    else
        p.lastChild = id;
    ++p.childCount;
}

void CTreeCtrl::Unlink(Id id)
{
    Node& n = N(id);
    Node& p = N(n.parent);
    if (n.prev != kNone)
        N(n.prev).next = n.next;
    else
        p.firstChild = n.next;
    if (n.next != kNone)
        N(n.next).prev = n.prev;
    else
        p.lastChild = n.prev;
    n.prev = n.next = kNone;
    --p.childCount;
}

void CTreeCtrl::Renumber(Id parent, Id from, std::uint32_t row, Id until)
{
    std::vector<Id>* index = ChildIndexOf(parent);
    for (Id id = from; id != kNone && id != until; id = N(id).next, ++row) {
        N(id).row = row;
        if (index)
            (*index)[row] = id;
    }
}

void CTreeCtrl::EnsureRows(Id parent, Id upTo) const
{
    StaleRows* stale = StaleRowsOf(parent);
    if (stale == nullptr)
        return;
    // Rows before `first` are right and smaller than its row; a stale row is
    // never smaller than the right one, so a node with a smaller row comes
    // before `first`.
    if (upTo != kNone && N(upTo).row < stale->row)
        return;
    auto& self = const_cast<CTreeCtrl&>(*this);
    std::uint32_t row = stale->row;
    Id id = stale->first;
    for (; id != kNone; id = N(id).next, ++row) {
        self.N(id).row = row;
        if (id == upTo) {
            id = N(id).next;
            ++row;
            break;
        }
    }
    if (id == kNone)
        m_staleRows.Erase(parent);
    else
        *stale = {id, row};
}

void CTreeCtrl::CatchUpRow(Id id, StaleRows& stale)
{
    N(id).row = stale.row;
    if (N(id).next == kNone)
        m_staleRows.Erase(N(id).parent);
    else
        stale = {N(id).next, stale.row + 1};
}

bool CTreeCtrl::SetItem(HTREEITEM hItem, UINT nMask, LPCTSTR, int, int, UINT, UINT, LPARAM lParam)
{
    const Id id = Index(hItem);
    if (id == kInvalid || id == kRootId || (nMask & ~TVIF_PARAM) != 0)
        return false;
    if (N(id).lParam != lParam) {
        N(id).lParam = lParam;
        MarkDirty(id);
    }
    CatchUpRows(id);
    return true;
}

bool CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData)
{
    return SetItem(hItem, TVIF_PARAM, nullptr, 0, 0, 0, 0, static_cast<LPARAM>(dwData));
}

UINT CTreeCtrl::SetItemDataFrom(HTREEITEM hFirst, DWORD_PTR dwFirst)
{
    const Id first = Index(hFirst);
    if (first == kInvalid || first == kRootId)
        return 0;
    const Id parent = N(first).parent;
    // With nothing waiting to be placed, the level stays sorted when each
    // numbered node is in order with the one before it (new data on both).
    // Anything else leaves the next sort a full one, with the same result.
    SortState* state = SortStateOf(parent);
    bool bInOrder = state != nullptr && !state->bOverflow && state->dirty.empty();
    StaleRows* stale = StaleRowsOf(parent);
    auto data = static_cast<LPARAM>(dwFirst);
    Id prev = N(first).prev;
    UINT nDone = 0;
    for (Id id = first; id != kNone; id = N(id).next, ++data, ++nDone) {
        Node& n = N(id);
        n.lParam = data;
        if (bInOrder && prev != kNone && state->pfn(N(prev).lParam, data, state->lParam) > 0)
            bInOrder = false;
        if (stale != nullptr && stale->first == id) {
            CatchUpRow(id, *stale);
            stale = StaleRowsOf(parent);  // gone after the last one
        }
        prev = id;
    }
    if (state != nullptr && !bInOrder) {
        state->bOverflow = true;
        state->dirty.clear();
    }
    return nDone;
}

CString CTreeCtrl::GetItemText(HTREEITEM hItem) const
{
    return CString(GetItemTextView(hItem));
}

bool CTreeCtrl::DeleteItem(HTREEITEM hItem)
{
    if (hItem == TVI_ROOT || hItem == nullptr) {
        const bool bHadCaret = m_caret != kNone;
        if (m_pObserver)
            m_pObserver->OnAllDeleting();
        m_blocks.resize(1);
        m_blocks.shrink_to_fit();
        m_blockFill.assign(1, 1);
        m_blockPool.assign(1, 1);
        m_pools[0] = Pool{};
        m_pools[1] = Pool{kNone, 0};
        N(kRootId) = Node{0, kFree, kNone, kNone, kNone, kNone, 0, 0, {}};
        m_nLive = 0;
        m_caret = kNone;
        m_texts.Clear();
        m_childIndex.Clear();
        m_sortStates.Clear();
        m_staleRows.Clear();
        if (m_pObserver) {
            m_pObserver->OnAllDeleted();
            if (bHadCaret)
                m_pObserver->OnSelectionChanged(nullptr);
        }
        return true;
    }
    const Id id = Index(hItem);
    if (id == kInvalid)
        return false;

    // If the selection goes with this node, it moves to the next sibling,
    // else the previous one, else the parent.
    Id newCaret = m_caret;
    for (Id a = m_caret; a != kNone && a != kRootId; a = N(a).parent) {
        if (a == id) {
            const Node& n = N(id);
            newCaret = n.next != kNone ? n.next : n.prev != kNone ? n.prev : n.parent == kRootId ? kNone : n.parent;
            break;
        }
    }

    const Id parent = N(id).parent;
    const Id next = N(id).next;
    EnsureRows(parent, id);  // its own row, for the observer and the index
    const std::uint32_t row = N(id).row;
    if (m_pObserver)
        m_pObserver->OnItemDeleting(hItem, ParentHandle(parent), row);
    Unlink(id);
    RemoveFromSortState(parent, id);
    FreeSubtree(id);
    // The rows after it are renumbered when next asked for.
    if (next != kNone) {
        if (StaleRows* stale = StaleRowsOf(parent))
            *stale = {next, row};
        else
            m_staleRows.Make(parent, {next, row});
    }
    if (std::vector<Id>* index = ChildIndexOf(parent))
        index->erase(index->begin() + row);
    if (m_pObserver)
        m_pObserver->OnItemDeleted();
    if (newCaret != m_caret) {
        m_caret = newCaret;
        if (m_pObserver)
            m_pObserver->OnSelectionChanged(Handle(m_caret));
    }
    if (m_texts.WantsCompaction())
        CompactTexts();
    return true;
}

void CTreeCtrl::FreeSubtree(Id top)
{
    // Iterative, so a deep tree cannot exhaust the stack.
    Id pending = top;
    N(top).next = kNone;
    while (pending != kNone) {
        const Id id = pending;
        Node& n = N(id);
        pending = n.next;
        for (Id c = n.firstChild; c != kNone;) {
            const Id following = N(c).next;
            N(c).next = pending;
            pending = c;
            c = following;
        }
        if (n.firstChild != kNone)
            ForgetParentState(id);
        m_texts.Release(n.text);
        Release(id);
        --m_nLive;
    }
}

void CTreeCtrl::CompactTexts()
{
    m_texts.Compact([this](auto&& visit) {
        for (std::size_t b = 0; b < m_blocks.size(); ++b)
            for (std::uint32_t i = 0; i < m_blockFill[b]; ++i)
                if (m_blocks[b][i].parent != kFree)
                    visit(m_blocks[b][i].text);
    });
}

bool CTreeCtrl::SelectItem(HTREEITEM hItem)
{
    Id id = kNone;
    if (hItem != nullptr) {
        id = Index(hItem);
        if (id == kInvalid || id == kRootId)
            return false;
    }
    if (id != m_caret) {
        m_caret = id;
        if (m_pObserver)
            m_pObserver->OnSelectionChanged(Handle(id));
    }
    return true;
}

bool CTreeCtrl::EnsureVisible(HTREEITEM hItem)
{
    if (!IsValidItem(hItem))
        return false;
    if (m_pObserver)
        m_pObserver->OnEnsureVisible(hItem);
    return true;
}

HTREEITEM CTreeCtrl::ChildAtWithoutIndex(Id parent, UINT nRow) const
{
    if (N(parent).childCount <= kWalkLimit) {
        Id id = N(parent).firstChild;
        for (UINT i = 0; i < nRow; ++i)
            id = N(id).next;
        return Handle(id);
    }
    std::vector<Id> ids;
    ids.reserve(N(parent).childCount);
    for (Id id = N(parent).firstChild; id != kNone; id = N(id).next)
        ids.push_back(id);
    return Handle(m_childIndex.Make(parent, std::move(ids))[nRow]);
}
