// SPDX-License-Identifier: MIT
#include "WinApp.h"

#include "AfxRes.h"
#include "DocTemplate.h"
#include "Document.h"
#include "File.h"
#include "FrameWnd.h"
#include "Resources.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <thread>

#include <sys/resource.h>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CString AfxGetAppName()
{
    if (g_pApp && !g_pApp->m_strAppName.empty())
        return g_pApp->m_strAppName;
    return AfxLoadString(AFX_IDS_APP_TITLE);
}

int AfxMessageBox(const CString& strText, UINT nType)
{
    CFrontEnd* pFrontEnd = AfxGetFrontEnd();
    if (!pFrontEnd)
        throw std::logic_error("no front end");
    return pFrontEnd->MessageBox(g_pApp ? g_pApp->m_pMainWnd : nullptr, strText, AfxGetAppName(), nType);
}

void CCommandLineInfo::ParseParam(const CString& strParam, bool bFlag, bool)
{
    if (!bFlag && m_nShellCommand == FileNew) {
        m_nShellCommand = FileOpen;
        m_strFileName = strParam;
    }
}

CWinApp::CWinApp(LPCTSTR lpszAppName)
{
    if (lpszAppName)
        m_strAppName = lpszAppName;
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    m_pTemplate.reset();
    if (g_pApp == this)
        g_pApp = nullptr;
}

const CCmdMap* CWinApp::GetThisCmdMap()
{
    static constexpr CCmdEntry entries[] = {
        OnCommand<&CWinApp::OnAppExit>(ID_APP_EXIT),
    };
    static const CCmdMap map{CCmdTarget::GetThisCmdMap(), entries};
    return &map;
}

const CCmdMap* CWinApp::GetCmdMap() const
{
    return GetThisCmdMap();
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* pTemplate)
{
    m_pTemplate.reset(pTemplate);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo)
{
    bool bOptionsEnded = false;
    for (std::size_t i = 0; i < m_arguments.size(); ++i) {
        const CString& arg = m_arguments[i];
        const bool bLast = i + 1 == m_arguments.size();
        if (!bOptionsEnded && arg == "--") {
            bOptionsEnded = true;
            continue;
        }
        const bool bFlag = !bOptionsEnded && arg.size() > 1 && arg[0] == '-';
        rCmdInfo.ParseParam(bFlag ? arg.substr(1) : arg, bFlag, bLast);
    }
}

bool CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo)
{
    if (rCmdInfo.m_nShellCommand == CCommandLineInfo::FileOpen)
        return OpenDocumentFile(rCmdInfo.m_strFileName.c_str()) != nullptr;
    OnFileNew();
    return m_pMainWnd != nullptr;
}

CDocument* CWinApp::OpenDocumentFile(LPCTSTR lpszFileName)
{
    return m_pTemplate ? m_pTemplate->OpenDocumentFile(lpszFileName) : nullptr;
}

bool CWinApp::DoPromptFileName(CString& fileName, bool bOpenFileDialog, CSingleDocTemplate* pTemplate)
{
    CString filterName, filterExt;
    if (pTemplate) {
        pTemplate->GetDocString(filterName, CSingleDocTemplate::filterName);
        pTemplate->GetDocString(filterExt, CSingleDocTemplate::filterExt);
    }
    CFrontEnd* pFrontEnd = AfxGetFrontEnd();
    return pFrontEnd && pFrontEnd->PromptFileName(fileName, bOpenFileDialog, filterName, filterExt);
}

bool CWinApp::SaveAllModified()
{
    return !m_pTemplate || m_pTemplate->SaveAllModified();
}

void CWinApp::CloseAllDocuments()
{
    if (m_pTemplate)
        m_pTemplate->CloseAllDocuments();
    m_pMainWnd = nullptr;
}

void CWinApp::OnFileNew()
{
    if (m_pTemplate)
        m_pTemplate->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen()
{
    CString fileName;
    if (!DoPromptFileName(fileName, true, m_pTemplate.get()))
        return;
    OpenDocumentFile(fileName.c_str());
}

void CWinApp::OnAppExit()
{
    if (m_pMainWnd)
        m_pMainWnd->OnClose();
}

void CWinApp::OnMainWindowClosed(CFrameWnd* pFrame)
{
    if (pFrame == m_pMainWnd) {
        if (CFrontEnd* pFrontEnd = AfxGetFrontEnd())
            pFrontEnd->Quit(0);
    }
}

int CWinApp::Run()
{
    CFrontEnd* pFrontEnd = AfxGetFrontEnd();
    const int nResult = pFrontEnd ? pFrontEnd->Run() : 0;
    const int nExit = ExitInstance();
    return nResult != 0 ? nResult : nExit;
}

int AfxWinMain(int argc, char** argv)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return 1;
    // Closing the terminal or a kill during a save must not leave its temporary file.
    AfxRemoveTempFileOnSignals();
    pApp->m_arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (pApp->m_strAppName.empty())
        pApp->m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
    bool bStarted = false;
    try {
        // Qt is built without exceptions: a small allocation that fails
        // while the window is made is a null pointer written through, not an
        // exception, and a painting thread that cannot get its stack leaves
        // the first paint waiting forever. Starting needs a few megabytes and
        // a stack per core (up to 8); without them, say so now.
        struct rlimit stack {};
        const std::size_t nStack = ::getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY
                                       ? std::min<std::size_t>(stack.rlim_cur, std::size_t(64) << 20)
                                       : std::size_t(32) << 20;
        const std::size_t nThreads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
        void* pMargin = std::malloc((std::size_t(16) << 20) + nThreads * nStack);  // never touched
        if (!pMargin)
            throw std::bad_alloc();
        std::free(pMargin);
        bStarted = pApp->InitInstance();
    } catch (const std::bad_alloc&) {
        // Too little memory for the window itself (a load that fails says so itself).
        try {
            AfxMessageBox("Cannot start " + pApp->m_strAppName + ":\nthere is not enough memory.", MB_OK | MB_ICONEXCLAMATION);
        } catch (const std::bad_alloc&) {
            std::fputs("there is not enough memory\n", stderr);
        }
    }
    if (!bStarted) {
        pApp->ExitInstance();
        pApp->CloseAllDocuments();
        return 1;
    }
    const int nResult = pApp->Run();
    pApp->CloseAllDocuments();
    return nResult;
}
