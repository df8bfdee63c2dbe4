// SPDX-License-Identifier: MIT
#include "FakeFrontEnd.h"

#include "platform/FrameWnd.h"
#include "platform/View.h"

#include <stdexcept>

CString CFakeDialog::Text(int nID) const
{
    auto it = m_texts.find(nID);
    return it == m_texts.end() ? CString() : it->second;
}

CFakeFrontEnd::CFakeFrontEnd()
{
    AfxSetFrontEnd(this);
}

CFakeFrontEnd::~CFakeFrontEnd()
{
    if (AfxGetFrontEnd() == this)
        AfxSetFrontEnd(nullptr);
}

void CFakeFrontEnd::CreateFrameWindow(CFrameWnd&, const CREATESTRUCT&, UINT)
{
    m_bFrameExists = true;
}

void CFakeFrontEnd::CreateViewWindow(CView&, const CREATESTRUCT& cs, CFrameWnd&)
{
    m_dwViewStyle = cs.style;
}

void CFakeFrontEnd::DestroyFrameWindow(CFrameWnd&)
{
    m_bFrameExists = false;
    m_bShown = false;
}

void CFakeFrontEnd::ShowWindow(CFrameWnd&, int nCmdShow)
{
    m_bShown = nCmdShow != SW_HIDE;
}

CFakeDialog* CFakeFrontEnd::Find(const CDialog& dlg) const
{
    for (CFakeDialog* p : m_running)
        if (&p->m_dlg == &dlg)
            return p;
    return nullptr;
}

INT_PTR CFakeFrontEnd::RunModalDialog(CDialog& dlg)
{
    m_dialogsRun.push_back(dlg.GetTemplateId());
    CFakeDialog fake(dlg);
    m_running.push_back(&fake);
    struct Pop {
        std::vector<CFakeDialog*>& v;
        ~Pop() { v.pop_back(); }
    } pop{m_running};
    dlg.OnInitDialog();
    if (!m_dialogScripts.empty()) {
        DialogScript script = std::move(m_dialogScripts.front());
        m_dialogScripts.pop_front();
        script(fake);
    }
    if (fake.IsOpen())
        fake.Click(IDCANCEL);  // what is left open is closed like with Escape
    return fake.m_result.value_or(IDCANCEL);
}

void CFakeFrontEnd::EndDialog(CDialog& dlg, int nResult)
{
    if (CFakeDialog* p = Find(dlg))
        p->m_result = nResult;
}

CString CFakeFrontEnd::GetDlgItemText(const CDialog& dlg, int nID)
{
    CFakeDialog* p = Find(dlg);
    if (!p)
        throw std::logic_error("dialog is not running");
    return p->Text(nID);
}

void CFakeFrontEnd::SetDlgItemText(CDialog& dlg, int nID, const CString& strText)
{
    CFakeDialog* p = Find(dlg);
    if (!p)
        throw std::logic_error("dialog is not running");
    p->SetText(nID, strText);
}

int CFakeFrontEnd::MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType)
{
    m_messages.push_back({strText, strCaption, nType, dynamic_cast<CDialog*>(pOwner) != nullptr});
    if (!m_messageAnswers.empty()) {
        const int answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return answer;
    }
    return (nType & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
}

bool CFakeFrontEnd::PromptFileName(CString& fileName, bool bOpen, const CString& strFilterName,
                                   const CString& strFilterExt)
{
    m_prompts.push_back({bOpen, fileName, strFilterName, strFilterExt});
    if (m_fileAnswers.empty() || !m_fileAnswers.front()) {
        if (!m_fileAnswers.empty())
            m_fileAnswers.pop_front();
        return false;
    }
    fileName = *m_fileAnswers.front();
    m_fileAnswers.pop_front();
    return true;
}
