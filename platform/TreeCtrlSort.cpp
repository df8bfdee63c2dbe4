// SPDX-License-Identifier: MIT
// Sorting one level of the tree.
//
// A full sort is a stable natural merge sort, linear on input that is already
// sorted or nearly so. On top of that, the control remembers the function and
// value of a parent's last sort and which children were inserted or got new
// item data since; sorting again with the same function then only takes those
// few nodes out and walks each from where it stood to its place. With ties
// broken by the old row, both paths give exactly the result of a stable sort.

#include "TreeCtrl.h"

#include <algorithm>

void CTreeCtrl::MarkDirtySlow(Id id, SortState& state)
{
    auto& dirty = state.dirty;
    const auto it = std::find(dirty.begin(), dirty.end(), id);
    if (InOrderWithNeighbours(id, state)) {
        if (it != dirty.end())
            dirty.erase(it);
        return;
    }
    if (it != dirty.end())
        return;
    if (dirty.size() >= kMaxDirty) {
        state.bOverflow = true;
        dirty.clear();
        return;
    }
    dirty.push_back(id);  // capacity reserved when the state was made
}

void CTreeCtrl::RemoveFromSortState(Id parent, Id id)
{
    SortState* state = SortStateOf(parent);
    if (state == nullptr)
        return;
    auto& dirty = state->dirty;
    dirty.erase(std::remove(dirty.begin(), dirty.end(), id), dirty.end());
}

bool CTreeCtrl::SortChildrenCB(LPTVSORTCB pSort)
{
    if (pSort == nullptr || pSort->lpfnCompare == nullptr)
        return false;
    const Id parent = Index(pSort->hParent == nullptr ? TVI_ROOT : pSort->hParent);
    if (parent == kInvalid)
        return false;
    EnsureRows(parent, kNone);  // rows break ties and bound what moved

    SortState* known = SortStateOf(parent);
    const bool bKnown = known != nullptr && !known->bOverflow && known->pfn == pSort->lpfnCompare &&
                        known->lParam == pSort->lParam;
    if (!(bKnown && known->dirty.empty())) {
        if (!(bKnown && SortIncremental(parent, *known, pSort->lpfnCompare, pSort->lParam)))
            SortFull(parent, pSort->lpfnCompare, pSort->lParam);
    }

    SortState& state = known != nullptr ? *known : m_sortStates.Make(parent, SortState{});
    state.pfn = pSort->lpfnCompare;
    state.lParam = pSort->lParam;
    state.bOverflow = false;
    state.dirty.clear();
    state.dirty.reserve(kMaxDirty);
    return true;
}

bool CTreeCtrl::SortIncremental(Id parent, SortState& state, PFNTVCOMPARE pfn, LPARAM lParam)
{
    std::vector<Id> moved = state.dirty;
    std::sort(moved.begin(), moved.end(), [this](Id a, Id b) { return N(a).row < N(b).row; });
    const auto isMoved = [&moved](Id id) { return std::find(moved.begin(), moved.end(), id) != moved.end(); };
    // Rows stay as they were until the end, so they break ties as a stable sort would.
    const auto compare = [&](Id a, Id b) {
        const int c = pfn(N(a).lParam, N(b).lParam, lParam);
        if (c != 0)
            return c;
        return N(a).row < N(b).row ? -1 : N(a).row > N(b).row ? 1 : 0;
    };
    struct Anchor {
        Id prev, next;
    };
    std::vector<Anchor> anchors(moved.size());

    if (m_pObserver)
        m_pObserver->OnChildrenReordering(ParentHandle(parent));

    // Take the changed nodes out; what is left is still in order.
    for (std::size_t i = 0; i < moved.size(); ++i) {
        anchors[i].prev = N(moved[i]).prev;
        Unlink(moved[i]);
    }
    for (std::size_t i = 0; i < moved.size(); ++i)
        anchors[i].next = anchors[i].prev != kNone ? N(anchors[i].prev).next : N(parent).firstChild;

    // Put each back where it belongs, walking from where it stood.
    for (std::size_t i = 0; i < moved.size(); ++i) {
        const Id id = moved[i];
        Id left = anchors[i].prev;
        Id right = left != kNone ? N(left).next : N(parent).firstChild;
        bool bWentLeft = false;
        while (left != kNone && compare(left, id) > 0) {
            right = left;
            left = N(left).prev;
            bWentLeft = true;
        }
        if (!bWentLeft) {
            while (right != kNone && compare(id, right) > 0) {
                left = right;
                right = N(right).next;
            }
        }
        LinkAfter(id, parent, left);
    }

    // Only the rows between the leftmost and the rightmost unchanged node
    // next to a moved node (before or after the sort) can have changed.
    const auto rowOf = [this](Id id) { return static_cast<std::int64_t>(N(id).row); };
    Id from = kNone, until = kNone;
    bool bFromHead = false, bToEnd = false;
    const auto widen = [&](Id lo, Id hi) {
        if (lo == kNone)
            bFromHead = true;
        else if (from == kNone || rowOf(lo) < rowOf(from))
            from = lo;
        if (hi == kNone)
            bToEnd = true;
        else if (until == kNone || rowOf(hi) > rowOf(until))
            until = hi;
    };
    for (std::size_t i = 0; i < moved.size(); ++i) {
        widen(anchors[i].prev, anchors[i].next);
        Id lo = N(moved[i]).prev;
        while (lo != kNone && isMoved(lo))
            lo = N(lo).prev;
        Id hi = N(moved[i]).next;
        while (hi != kNone && isMoved(hi))
            hi = N(hi).next;
        widen(lo, hi);
    }
    const Id start = bFromHead || from == kNone ? N(parent).firstChild : N(from).next;
    const std::uint32_t startRow = bFromHead || from == kNone ? 0 : N(from).row + 1;
    Renumber(parent, start, startRow, bToEnd ? kNone : until);

    if (m_pObserver)
        m_pObserver->OnChildrenReordered(ParentHandle(parent));
    return true;
}

void CTreeCtrl::SortFull(Id parent, PFNTVCOMPARE pfn, LPARAM lParam)
{
    struct Item {
        LPARAM key;
        Id id;
    };
    const std::size_t count = N(parent).childCount;
    // A level already in order (the usual case) is only walked once.
    bool bSorted = true;
    for (Id id = N(parent).firstChild; id != kNone && N(id).next != kNone; id = N(id).next) {
        if (pfn(N(N(id).next).lParam, N(id).lParam, lParam) < 0) {
            bSorted = false;
            break;
        }
    }
    if (bSorted)
        return;

    std::vector<Item> items;
    items.reserve(count);
    for (Id id = N(parent).firstChild; id != kNone; id = N(id).next)
        items.push_back({N(id).lParam, id});
    const auto less = [pfn, lParam](const Item& a, const Item& b) { return pfn(a.key, b.key, lParam) < 0; };

    // Runs of non-decreasing items; a sorted level is one run and needs nothing more.
    std::vector<std::size_t> runs{0};
    for (std::size_t i = 1; i < count; ++i)
        if (less(items[i], items[i - 1]))
            runs.push_back(i);
    if (runs.size() == 1)
        return;
    runs.push_back(count);

    std::vector<Item> buffer(count);
    // Merge neighbouring runs pairwise until one is left; std::merge is stable.
    while (runs.size() > 2) {
        std::vector<std::size_t> merged{0};
        std::size_t r = 0;
        for (; r + 2 < runs.size(); r += 2) {
            std::merge(items.begin() + runs[r], items.begin() + runs[r + 1], items.begin() + runs[r + 1],
                       items.begin() + runs[r + 2], buffer.begin() + runs[r], less);
            merged.push_back(runs[r + 2]);
        }
        if (r + 1 < runs.size()) {
            std::copy(items.begin() + runs[r], items.begin() + runs[r + 1], buffer.begin() + runs[r]);
            merged.push_back(runs[r + 1]);
        }
        items.swap(buffer);
        runs.swap(merged);
    }

    if (m_pObserver)
        m_pObserver->OnChildrenReordering(ParentHandle(parent));
    Node& p = N(parent);
    Id prev = kNone;
    for (std::size_t i = 0; i < count; ++i) {
        Node& n = N(items[i].id);
        n.prev = prev;
        n.next = i + 1 < count ? items[i + 1].id : kNone;
        n.row = static_cast<std::uint32_t>(i);
        prev = items[i].id;
    }
    p.firstChild = items.front().id;
    p.lastChild = items.back().id;
    if (std::vector<Id>* index = ChildIndexOf(parent))
        for (std::size_t i = 0; i < count; ++i)
            (*index)[i] = items[i].id;
    if (m_pObserver)
        m_pObserver->OnChildrenReordered(ParentHandle(parent));
}
