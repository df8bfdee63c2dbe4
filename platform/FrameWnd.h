// SPDX-License-Identifier: MIT
// The main window: it holds the menu and the view, and routes commands
// view -> document -> frame -> application.
#pragma once

#include "Wnd.h"

#include <memory>
#include <vector>

class CDocument;
class CView;

struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
};

class CFrameWnd : public CWnd {
public:
    static const CRuntimeClass classCFrameWnd;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCFrameWnd; }
    CFrameWnd();
    ~CFrameWnd() override;

    bool PreCreateWindow(CREATESTRUCT& cs) override;
    // Creates the window (through the front end) and its view.
    virtual bool LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CCreateContext* pContext);
    virtual bool OnCreateClient(CCreateContext* pContext);
    void InitialUpdateFrame(CDocument* pDoc, bool bMakeVisible);
    virtual void OnUpdateFrameTitle();

    CView* GetActiveView() const { return m_pViewActive.get(); }
    CDocument* GetActiveDocument() const;
    UINT GetResourceId() const { return m_nIDResource; }

    bool OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI) override;
    // Whether the command is enabled now (update handlers on the route).
    bool IsCommandEnabled(UINT nID);
    // Runs a command from a menu or a key: nothing happens when it is disabled.
    bool OnCommand(UINT nID);
    // Files dropped on the window: the first one is opened.
    void OnDropFiles(const std::vector<CString>& files);
    // The user asks to close the window; false when that was cancelled.
    bool OnClose();
    void DestroyWindow();

    void ShowWindow(int nCmdShow);
    void UpdateWindow();
    void DragAcceptFiles(bool bAccept = true);

private:
    std::unique_ptr<CView> m_pViewActive;
    UINT m_nIDResource = 0;
    bool m_bCreated = false;
};
