// SPDX-License-Identifier: MIT
// A view shows its document inside a frame; commands reach the view first,
// then its document.
#pragma once

#include "TreeCtrl.h"
#include "Wnd.h"

class CDocument;
class CFrameWnd;

class CView : public CWnd {
public:
    static const CRuntimeClass classCView;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCView; }
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrame() const { return m_pFrame; }
    bool PreCreateWindow(CREATESTRUCT& cs) override;
    virtual void OnInitialUpdate() {}
    bool OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) override;

    CDocument* m_pDocument = nullptr;
    CFrameWnd* m_pFrame = nullptr;
};

// A view whose window is a tree-view control.
class CTreeView : public CView {
public:
    static const CRuntimeClass classCTreeView;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCTreeView; }

    CTreeCtrl& GetTreeCtrl() { return m_tree; }
    const CTreeCtrl& GetTreeCtrl() const { return m_tree; }

private:
    CTreeCtrl m_tree;
};
