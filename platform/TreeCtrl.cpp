#include "TreeCtrl.h"

#include <algorithm>
#include <new>

CTreeCtrl::CTreeCtrl()
{
    m_blocks.emplace_back(new Node[std::size_t{1} << kBlockBits]);
    N(kRootId) = Node{0, kFree, kNone, kNone, kNone, kNone, 0, 0, {}};
}

CTreeCtrl::~CTreeCtrl() = default;

CTreeCtrl::Id CTreeCtrl::Index(HTREEITEM h) const
{
    if (h == TVI_ROOT)
        return kRootId;
    const auto value = reinterpret_cast<std::uintptr_t>(h);
    if (value == 0 || value >= m_nAllocated)
        return kInvalid;
    const auto id = static_cast<Id>(value);
    return N(id).parent == kFree ? kInvalid : id;
}

CTreeCtrl::Id CTreeCtrl::Allocate()
{
    if (m_freeList != kNone) {
        const Id id = m_freeList;
        m_freeList = N(id).next;
        return id;
    }
    // Handles must stay clear of the TVI_ special values.
    if (m_nAllocated >= 0xFFFF0000u)
        throw std::bad_alloc();
    if ((m_nAllocated >> kBlockBits) >= m_blocks.size())
        m_blocks.emplace_back(new Node[std::size_t{1} << kBlockBits]);
    return m_nAllocated++;
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
    const Id id = Allocate();
    CTextArena::Ref ref;
    try {
        ref = m_texts.Add(text);
    } catch (...) {
        N(id).parent = kFree;
        N(id).next = m_freeList;
        m_freeList = id;
        throw;
    }

    const std::uint32_t row = N(parent).childCount;
    if (m_pObserver)
        m_pObserver->OnItemInserting(ParentHandle(parent), row);
    Node& n = N(id);
    n = Node{lParam, parent, kNone, kNone, kNone, kNone, 0, row, ref};
    LinkAfter(id, parent, N(parent).lastChild);
    if (std::vector<Id>* index = ChildIndexOf(parent)) {
        try {
            index->push_back(id);
        } catch (const std::bad_alloc&) {
            m_childIndex.erase(parent);  // rebuilt on demand
            m_lastIndexParent = kInvalid;
        }
    }
    ++m_nLive;
    MarkDirty(id);
    if (m_pObserver)
        m_pObserver->OnItemInserted(Handle(id));
    return Handle(id);
}

std::vector<CTreeCtrl::Id>* CTreeCtrl::ChildIndexOf(Id parent) const
{
    if (parent == m_lastIndexParent)
        return m_pLastIndex;
    if (m_childIndex.empty())
        return nullptr;
    auto it = m_childIndex.find(parent);
    if (it == m_childIndex.end())
        return nullptr;
    m_lastIndexParent = parent;
    m_pLastIndex = &it->second;
    return m_pLastIndex;
}

void CTreeCtrl::ForgetParentState(Id parent)
{
    m_childIndex.erase(parent);
    m_sortStates.erase(parent);
    EraseStaleRows(parent);
    if (m_lastIndexParent == parent)
        m_lastIndexParent = kInvalid;
    if (m_lastSortParent == parent)
        m_lastSortParent = kInvalid;
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

CTreeCtrl::StaleRows* CTreeCtrl::StaleRowsOf(Id parent) const
{
    if (parent == m_lastStaleParent)
        return m_pLastStale;
    if (m_staleRows.empty())
        return nullptr;
    auto it = m_staleRows.find(parent);
    if (it == m_staleRows.end())
        return nullptr;
    m_lastStaleParent = parent;
    m_pLastStale = &it->second;
    return m_pLastStale;
}

void CTreeCtrl::EraseStaleRows(Id parent) const
{
    m_staleRows.erase(parent);
    if (m_lastStaleParent == parent)
        m_lastStaleParent = kInvalid;
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
        EraseStaleRows(parent);
    else
        *stale = {id, row};
}

void CTreeCtrl::CatchUpRows(Id id)
{
    // A walk over the siblings in order (as when keys are renumbered after a
    // delete) brings the rows up to date on the way, at no extra cost.
    StaleRows* stale = StaleRowsOf(N(id).parent);
    if (stale == nullptr || stale->first != id)
        return;
    N(id).row = stale->row;
    if (N(id).next == kNone)
        EraseStaleRows(N(id).parent);
    else
        *stale = {N(id).next, stale->row + 1};
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

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const
{
    const Id id = Index(hItem);
    return id == kInvalid || id == kRootId ? 0 : static_cast<DWORD_PTR>(N(id).lParam);
}

std::string_view CTreeCtrl::GetItemTextView(HTREEITEM hItem) const
{
    const Id id = Index(hItem);
    return id == kInvalid || id == kRootId ? std::string_view() : m_texts.Get(N(id).text);
}

CString CTreeCtrl::GetItemText(HTREEITEM hItem) const
{
    return CString(GetItemTextView(hItem));
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const
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

bool CTreeCtrl::DeleteItem(HTREEITEM hItem)
{
    if (hItem == TVI_ROOT || hItem == nullptr) {
        const bool bHadCaret = m_caret != kNone;
        if (m_pObserver)
            m_pObserver->OnAllDeleting();
        m_blocks.resize(1);
        m_blocks.shrink_to_fit();
        N(kRootId) = Node{0, kFree, kNone, kNone, kNone, kNone, 0, 0, {}};
        m_nAllocated = 1;
        m_freeList = kNone;
        m_nLive = 0;
        m_caret = kNone;
        m_texts.Clear();
        m_childIndex.clear();
        m_sortStates.clear();
        m_staleRows.clear();
        m_lastIndexParent = m_lastSortParent = m_lastStaleParent = kInvalid;
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
            m_staleRows[parent] = {next, row};
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
        n = Node{0, kFree, m_freeList, kNone, kNone, kNone, 0, 0, {}};
        m_freeList = id;
        --m_nLive;
    }
}

void CTreeCtrl::CompactTexts()
{
    m_texts.Compact([this](auto&& visit) {
        for (Id id = 1; id < m_nAllocated; ++id)
            if (N(id).parent != kFree)
                visit(N(id).text);
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

UINT CTreeCtrl::GetChildCount(HTREEITEM hParent) const
{
    const Id id = Index(hParent == nullptr ? TVI_ROOT : hParent);
    return id == kInvalid ? 0 : N(id).childCount;
}

HTREEITEM CTreeCtrl::GetChildAt(HTREEITEM hParent, UINT nRow) const
{
    const Id parent = Index(hParent == nullptr ? TVI_ROOT : hParent);
    if (parent == kInvalid || nRow >= N(parent).childCount)
        return nullptr;
    constexpr UINT kWalkLimit = 8;
    if (N(parent).childCount <= kWalkLimit) {
        Id id = N(parent).firstChild;
        for (UINT i = 0; i < nRow; ++i)
            id = N(id).next;
        return Handle(id);
    }
    std::vector<Id>* index = ChildIndexOf(parent);
    if (!index) {
        std::vector<Id> ids;
        ids.reserve(N(parent).childCount);
        for (Id id = N(parent).firstChild; id != kNone; id = N(id).next)
            ids.push_back(id);
        index = &m_childIndex.emplace(parent, std::move(ids)).first->second;
    }
    return Handle((*index)[nRow]);
}

UINT CTreeCtrl::GetItemRow(HTREEITEM hItem) const
{
    const Id id = Index(hItem);
    if (id == kInvalid || id == kRootId)
        return 0;
    EnsureRows(N(id).parent, id);
    return N(id).row;
}
