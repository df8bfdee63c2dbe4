// SPDX-License-Identifier: MIT
#include "BenchFrontEnd.h"

#include <stdexcept>

CBenchFrontEnd::CBenchFrontEnd()
{
    AfxSetFrontEnd(this);
}

CBenchFrontEnd::~CBenchFrontEnd()
{
    if (AfxGetFrontEnd() == this)
        AfxSetFrontEnd(nullptr);
}

CBenchFrontEnd::CRunningDialog& CBenchFrontEnd::Find(const CDialog& dlg) const
{
    for (CRunningDialog* p : m_running)
        if (&p->m_dlg == &dlg)
            return *p;
    throw std::logic_error("the dialog is not running");
}

INT_PTR CBenchFrontEnd::RunModalDialog(CDialog& dlg)
{
    CRunningDialog running(dlg);
    m_running.push_back(&running);
    struct Pop {
        std::vector<CRunningDialog*>& v;
        ~Pop() { v.pop_back(); }
    } pop{m_running};
    dlg.OnInitDialog();
    if (!m_dialogScripts.empty()) {
        DialogScript script = std::move(m_dialogScripts.front());
        m_dialogScripts.pop_front();
        script(running);
    }
    if (!running.m_bEnded)
        running.Click(IDCANCEL);
    return running.m_bEnded ? running.m_nResult : IDCANCEL;
}

void CBenchFrontEnd::EndDialog(CDialog& dlg, int nResult)
{
    CRunningDialog& running = Find(dlg);
    running.m_bEnded = true;
    running.m_nResult = nResult;
}

CString CBenchFrontEnd::GetDlgItemText(const CDialog& dlg, int nID)
{
    const CRunningDialog& running = Find(dlg);
    auto it = running.m_texts.find(nID);
    return it == running.m_texts.end() ? CString() : it->second;
}

void CBenchFrontEnd::SetDlgItemText(CDialog& dlg, int nID, const CString& strText)
{
    Find(dlg).m_texts[nID] = strText;
}

int CBenchFrontEnd::MessageBox(CWnd*, const CString& strText, const CString&, UINT nType)
{
    m_messages.push_back(strText);
    return (nType & MB_TYPEMASK) == MB_OK ? IDOK : IDNO;
}
