// SPDX-License-Identifier: MIT
#include "Dialog.h"

#include "WinApp.h"

#include <stdexcept>

const CRuntimeClass CDialog::classCDialog{"CDialog", nullptr, &CObject::classCObject};

static CFrontEnd& FrontEnd()
{
    CFrontEnd* p = AfxGetFrontEnd();
    if (!p)
        throw std::logic_error("no front end");
    return *p;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(nIDC);
    else
        pDX->m_pDlgWnd->SetDlgItemText(nIDC, value);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_pParentWnd(pParentWnd), m_nIDTemplate(nIDTemplate) {}

const CCmdMap* CDialog::GetThisCmdMap()
{
    static constexpr CCmdEntry entries[] = {
        OnCommand<&CDialog::OnOK>(IDOK),
        OnCommand<&CDialog::OnCancel>(IDCANCEL),
    };
    static const CCmdMap map{CCmdTarget::GetThisCmdMap(), entries};
    return &map;
}

const CCmdMap* CDialog::GetCmdMap() const
{
    return GetThisCmdMap();
}

INT_PTR CDialog::DoModal()
{
    m_bRunning = true;
    INT_PTR nResult = IDCANCEL;
    try {
        nResult = FrontEnd().RunModalDialog(*this);
    } catch (...) {
        m_bRunning = false;
        throw;
    }
    m_bRunning = false;
    return nResult;
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    FrontEnd().EndDialog(*this, nResult);
}

bool CDialog::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return true;
}

CString CDialog::GetDlgItemText(int nID) const
{
    return FrontEnd().GetDlgItemText(*this, nID);
}

int CDialog::GetDlgItemText(int nID, CString& rString) const
{
    rString = GetDlgItemText(nID);
    return static_cast<int>(rString.size());
}

void CDialog::SetDlgItemText(int nID, const CString& strText)
{
    FrontEnd().SetDlgItemText(*this, nID, strText);
}

void CDialog::GotoDlgCtrl(int nID)
{
    FrontEnd().GotoDlgCtrl(*this, nID);
}

int CDialog::MessageBox(const CString& strText, const CString& strCaption, UINT nType)
{
    return FrontEnd().MessageBox(this, strText, strCaption.empty() ? AfxGetAppName() : strCaption, nType);
}
