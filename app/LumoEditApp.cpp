// SPDX-License-Identifier: MIT
#include "LumoEditApp.h"

#include "AboutDlg.h"
#include "MainFrm.h"
#include "document/LumoEditDoc.h"
#include "platform/AfxRes.h"
#include "platform/DocTemplate.h"
#include "platform/FrameWnd.h"
#include "res/LumoResources.h"
#include "res/resource.h"
#include "tree/LumoEditView.h"

ClumoEditApp::ClumoEditApp()
{
    AfxSetResourceSet(&LumoResources());
}

const CCmdMap* ClumoEditApp::GetThisCmdMap()
{
    static constexpr CCmdEntry entries[] = {
        OnCommand<&ClumoEditApp::OnAppAbout>(ID_APP_ABOUT),
        OnCommand<&CWinApp::OnFileNew>(ID_FILE_NEW),
        OnCommand<&CWinApp::OnFileOpen>(ID_FILE_OPEN),
    };
    static const CCmdMap map{CWinApp::GetThisCmdMap(), entries};
    return &map;
}

const CCmdMap* ClumoEditApp::GetCmdMap() const
{
    return GetThisCmdMap();
}

bool ClumoEditApp::InitInstance()
{
    // Common controls need no initialisation with our front end.
    CWinApp::InitInstance();

    auto* pTemplate = new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(ClumoEditDoc), RUNTIME_CLASS(CMainFrame),
                                             RUNTIME_CLASS(ClumoEditView));
    AddDocTemplate(pTemplate);

    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo))
        return false;

    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    m_pMainWnd->DragAcceptFiles(true);
    return true;
}

void ClumoEditApp::OnAppAbout()
{
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
