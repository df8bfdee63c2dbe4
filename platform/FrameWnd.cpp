// SPDX-License-Identifier: MIT
#include "FrameWnd.h"

#include "DocTemplate.h"
#include "Exceptions.h"
#include "Document.h"
#include "View.h"
#include "WinApp.h"

#include <stdexcept>

const CRuntimeClass CFrameWnd::classCFrameWnd{"CFrameWnd", nullptr, &CObject::classCObject};

static CFrontEnd& FrontEnd()
{
    CFrontEnd* p = AfxGetFrontEnd();
    if (!p)
        throw std::logic_error("no front end");
    return *p;
}

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd()
{
    DestroyWindow();
}

bool CFrameWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.style == 0)
        cs.style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;
    return true;
}

bool CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CCreateContext* pContext)
{
    m_nIDResource = nIDResource;
    CREATESTRUCT cs;
    cs.style = dwDefaultStyle;
    if (!PreCreateWindow(cs))
        return false;
    m_dwStyle = cs.style;
    FrontEnd().CreateFrameWindow(*this, cs, nIDResource);
    m_bCreated = true;
    return OnCreateClient(pContext);
}

bool CFrameWnd::OnCreateClient(CCreateContext* pContext)
{
    if (!pContext || !pContext->m_pNewViewClass)
        return true;
    std::unique_ptr<CObject> pObject(pContext->m_pNewViewClass->CreateObject());
    auto* pView = dynamic_cast<CView*>(pObject.get());
    if (!pView)
        return false;
    pObject.release();
    m_pViewActive.reset(pView);
    pView->m_pFrame = this;
    CREATESTRUCT cs;
    if (!pView->PreCreateWindow(cs))
        return false;
    pView->m_dwStyle = cs.style;
    if (pContext->m_pCurrentDoc)
        pContext->m_pCurrentDoc->AddView(pView);
    FrontEnd().CreateViewWindow(*pView, cs, *this);
    return true;
}

void CFrameWnd::InitialUpdateFrame(CDocument*, bool bMakeVisible)
{
    if (m_pViewActive)
        m_pViewActive->OnInitialUpdate();
    OnUpdateFrameTitle();
    if (bMakeVisible)
        ShowWindow(SW_SHOW);
}

CDocument* CFrameWnd::GetActiveDocument() const
{
    return m_pViewActive ? m_pViewActive->GetDocument() : nullptr;
}

void CFrameWnd::OnUpdateFrameTitle()
{
    if (!m_bCreated)
        return;
    CString appTitle;
    if (CWinApp* pApp = AfxGetApp()) {
        if (CSingleDocTemplate* pTemplate = pApp->GetDocTemplate())
            pTemplate->GetDocString(appTitle, CSingleDocTemplate::windowTitle);
        if (appTitle.empty())
            appTitle = pApp->m_strAppName;
    }
    CString title = appTitle;
    if (CDocument* pDoc = GetActiveDocument(); pDoc && (m_dwStyle & FWS_ADDTOTITLE))
        title = pDoc->GetTitle() + " - " + appTitle;
    FrontEnd().SetWindowText(*this, title);
}

bool CFrameWnd::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI)
{
    if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode, pCmdUI))
        return true;
    if (CCmdTarget::OnCmdMsg(nID, nCode, pCmdUI))
        return true;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID, nCode, pCmdUI);
}

bool CFrameWnd::IsCommandEnabled(UINT nID)
{
    CCmdUI state(nID);
    state.DoUpdate(this);
    return state.m_bEnabled;
}

bool CFrameWnd::OnCommand(UINT nID)
{
    if (!IsCommandEnabled(nID))
        return false;
    try {
        return OnCmdMsg(nID, CN_COMMAND, nullptr);
    } catch (const std::exception& e) {
        // A command that fails (out of memory, say) says so and the program goes on.
        AfxMessageBox("The command could not be completed:\n" + AfxDescribeException(e) + ".",
                      MB_OK | MB_ICONEXCLAMATION);
        return true;
    }
}

void CFrameWnd::OnDropFiles(const std::vector<CString>& files)
{
    if (files.empty())
        return;
    if (CWinApp* pApp = AfxGetApp())
        pApp->OpenDocumentFile(files.front().c_str());
}

bool CFrameWnd::OnClose()
{
    CWinApp* pApp = AfxGetApp();
    if (pApp && !pApp->SaveAllModified())
        return false;
    DestroyWindow();
    if (pApp)
        pApp->OnMainWindowClosed(this);
    return true;
}

void CFrameWnd::DestroyWindow()
{
    if (m_bCreated) {
        m_bCreated = false;
        if (CFrontEnd* p = AfxGetFrontEnd())
            p->DestroyFrameWindow(*this);
    }
}

void CFrameWnd::ShowWindow(int nCmdShow)
{
    FrontEnd().ShowWindow(*this, nCmdShow);
    // What a load found worth telling is told once the window shows the
    // entries it is about, and can own the message.
    if (nCmdShow != SW_HIDE)
        FrontEnd().RunWhenPainted(*this, [this] {
            if (CDocument* pDoc = GetActiveDocument())
                pDoc->ShowLoadWarning();
        });
}

void CFrameWnd::UpdateWindow()
{
    FrontEnd().UpdateWindow(*this);
}

void CFrameWnd::DragAcceptFiles(bool bAccept)
{
    FrontEnd().DragAcceptFiles(*this, bAccept);
}
