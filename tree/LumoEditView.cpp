// SPDX-License-Identifier: MIT
#include "LumoEditView.h"

#include "AddItemDlg.h"
#include "document/LumoEditDoc.h"
#include "res/resource.h"

#include <cstdint>

const CRuntimeClass ClumoEditView::classClumoEditView{"ClumoEditView", &CreateObjectOf<ClumoEditView>,
                                                      &CTreeView::classCTreeView};

const CCmdMap* ClumoEditView::GetThisCmdMap()
{
    static constexpr CCmdEntry entries[] = {
        OnCommand<&ClumoEditView::OnAddItem>(ID_EDIT_ADDITEM),
        OnUpdate<&ClumoEditView::OnUpdateAddItem>(ID_EDIT_ADDITEM),
        OnCommand<&ClumoEditView::OnRemoveItem>(ID_EDIT_REMOVEITEM),
        OnUpdate<&ClumoEditView::OnUpdateRemoveItem>(ID_EDIT_REMOVEITEM),
        OnCommand<&ClumoEditView::OnMoveUp>(ID_EDIT_MOVEUP),
        OnUpdate<&ClumoEditView::OnUpdateMoveUp>(ID_EDIT_MOVEUP),
        OnCommand<&ClumoEditView::OnMoveDown>(ID_EDIT_MOVEDOWN),
        OnUpdate<&ClumoEditView::OnUpdateMoveDown>(ID_EDIT_MOVEDOWN),
    };
    static const CCmdMap map{CCmdTarget::GetThisCmdMap(), entries};
    return &map;
}

const CCmdMap* ClumoEditView::GetCmdMap() const
{
    return GetThisCmdMap();
}

ClumoEditDoc* ClumoEditView::GetDocument() const
{
    return dynamic_cast<ClumoEditDoc*>(m_pDocument);
}

bool ClumoEditView::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.style |= TVS_HASBUTTONS | TVS_LINESATROOT;
    return CTreeView::PreCreateWindow(cs);
}

void ClumoEditView::OnInitialUpdate()
{
    CTreeView::OnInitialUpdate();
}

void ClumoEditView::OnAddItem()
{
    CAddItemDlg dlg;
    if (dlg.DoModal() != IDOK)
        return;
    CTreeCtrl& tree = GetTreeCtrl();
    const UINT key = m_nCount;
    HTREEITEM hItem = tree.InsertItem(TVIF_TEXT, dlg.m_strName.c_str(), 0, 0, 0, 0, 0, TVI_ROOT, TVI_LAST);
    tree.SetItem(hItem, TVIF_PARAM, nullptr, 0, 0, 0, 0, static_cast<LPARAM>(key));
    try {
        tree.InsertItem(TVIF_TEXT, dlg.m_strData.c_str(), 0, 0, 0, 0, 0, hItem, TVI_LAST);
    } catch (...) {
        tree.DeleteItem(hItem);  // an entry never stands without its data node
        throw;
    }
    ++m_nCount;
    // Appended last, it may be far below what is shown: let the user see it.
    tree.EnsureVisible(hItem);
    if (ClumoEditDoc* pDoc = GetDocument())
        pDoc->SetModifiedFlag(true);
}

void ClumoEditView::OnRemoveItem()
{
    CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM hSelected = tree.GetSelectedItem();
    if (!hSelected || tree.GetParentItem(hSelected))
        return;
    auto key = static_cast<DWORD_PTR>(tree.GetItemData(hSelected));
    HTREEITEM hNext = tree.GetNextSiblingItem(hSelected);
    tree.DeleteItem(hSelected);
    --m_nCount;
    // The entries below move up one place, so the keys stay 0 .. m_nCount - 1.
    if (hNext)
        tree.SetItemDataFrom(hNext, key);
    if (ClumoEditDoc* pDoc = GetDocument())
        pDoc->SetModifiedFlag(true);
}

void ClumoEditView::OnMoveUp()
{
    MoveSelected(TVGN_PREVIOUS);
}

void ClumoEditView::OnMoveDown()
{
    MoveSelected(TVGN_NEXT);
}

void ClumoEditView::MoveSelected(UINT relation)
{
    CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM hSelected = tree.GetSelectedItem();
    if (!hSelected)
        return;
    HTREEITEM hOther = hSelected;
    do {
        hOther = tree.GetNextItem(hOther, relation);
        if (!hOther)
            return;
    } while (tree.GetParentItem(hOther));

    const auto selectedKey = static_cast<LPARAM>(tree.GetItemData(hSelected));
    const auto otherKey = static_cast<LPARAM>(tree.GetItemData(hOther));
    tree.SetItem(hSelected, TVIF_PARAM, nullptr, 0, 0, 0, 0, otherKey);
    tree.SetItem(hOther, TVIF_PARAM, nullptr, 0, 0, 0, 0, selectedKey);
    TVSORTCB sort{TVI_ROOT, &ClumoEditView::ComparePositionKeys, 0};
    tree.SortChildrenCB(&sort);
    if (ClumoEditDoc* pDoc = GetDocument())
        pDoc->SetModifiedFlag(true);
}

int ClumoEditView::ComparePositionKeys(LPARAM key1, LPARAM key2, LPARAM)
{
    // The difference of the two keys; keys more than 2^31 apart keep their sign.
    const std::int64_t difference = static_cast<std::int64_t>(static_cast<std::uint32_t>(key1)) -
                                    static_cast<std::int64_t>(static_cast<std::uint32_t>(key2));
    if (difference > INT32_MAX)
        return INT32_MAX;
    if (difference < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(difference);
}

void ClumoEditView::OnUpdateAddItem(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(GetTreeCtrl().GetCount() > 0);
}

void ClumoEditView::OnUpdateRemoveItem(CCmdUI* pCmdUI)
{
    const CTreeCtrl& tree = GetTreeCtrl();
    pCmdUI->Enable(tree.GetCount() > 0 && tree.GetSelectedItem() != nullptr);
}

void ClumoEditView::OnUpdateMoveUp(CCmdUI* pCmdUI)
{
    const CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM hSelected = tree.GetSelectedItem();
    pCmdUI->Enable(tree.GetCount() > 0 && hSelected && !tree.GetParentItem(hSelected) &&
                   tree.GetItemData(hSelected) != 0);
}

void ClumoEditView::OnUpdateMoveDown(CCmdUI* pCmdUI)
{
    const CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM hSelected = tree.GetSelectedItem();
    pCmdUI->Enable(tree.GetCount() > 0 && hSelected && !tree.GetParentItem(hSelected) &&
                   tree.GetItemData(hSelected) != static_cast<DWORD_PTR>(m_nCount) - 1);
}
