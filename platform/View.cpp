// SPDX-License-Identifier: MIT
#include "View.h"

#include "Document.h"

const CRuntimeClass CView::classCView{"CView", nullptr, &CObject::classCObject};
const CRuntimeClass CTreeView::classCTreeView{"CTreeView", nullptr, &CView::classCView};

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

bool CView::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.style |= WS_CHILD | WS_VISIBLE | WS_BORDER;
    return true;
}

bool CView::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI)
{
    if (CCmdTarget::OnCmdMsg(nID, nCode, pCmdUI))
        return true;
    return m_pDocument != nullptr && m_pDocument->OnCmdMsg(nID, nCode, pCmdUI);
}
