// SPDX-License-Identifier: MIT
// The entry tree: one top-level node per entry (its name), carrying the
// entry's position key as item data, with the data text as first child and
// the extra text, when there is one, as second child.
#pragma once

#include "platform/View.h"

class ClumoEditDoc;

class ClumoEditView : public CTreeView {
public:
    static const CRuntimeClass classClumoEditView;
    const CRuntimeClass* GetRuntimeClass() const override { return &classClumoEditView; }

    ClumoEditDoc* GetDocument() const;
    bool PreCreateWindow(CREATESTRUCT& cs) override;
    void OnInitialUpdate() override;

    // Edit commands.
    void OnAddItem();
    void OnRemoveItem();
    void OnMoveUp();
    void OnMoveDown();
    void OnUpdateAddItem(CCmdUI* pCmdUI);
    void OnUpdateRemoveItem(CCmdUI* pCmdUI);
    void OnUpdateMoveUp(CCmdUI* pCmdUI);
    void OnUpdateMoveDown(CCmdUI* pCmdUI);

    // Swaps the selected entry with its neighbour in the given relation
    // (TVGN_NEXT or TVGN_PREVIOUS), children included.
    void MoveSelected(UINT relation);
    static int ComparePositionKeys(LPARAM key1, LPARAM key2, LPARAM sortValue);

    const CCmdMap* GetCmdMap() const override;
    static const CCmdMap* GetThisCmdMap();

    UINT m_nCount = 0;  // number of entries, that is of top-level nodes
};
