// SPDX-License-Identifier: MIT
#include "MainFrm.h"

const CRuntimeClass CMainFrame::classCMainFrame{"CMainFrame", &CreateObjectOf<CMainFrame>,
                                                &CFrameWnd::classCFrameWnd};

bool CMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    return CFrameWnd::PreCreateWindow(cs);
}
