// SPDX-License-Identifier: MIT
#include "AddItemDlg.h"

#include "res/resource.h"

const CRuntimeClass CAddItemDlg::classCAddItemDlg{"CAddItemDlg", nullptr, &CDialog::classCDialog};

CAddItemDlg::CAddItemDlg(CWnd* pParent) : CDialog(IDD_ADDITEM, pParent) {}

const CCmdMap* CAddItemDlg::GetThisCmdMap()
{
    static constexpr CCmdEntry entries[] = {
        OnCommand<&CAddItemDlg::OnBnClickedOk>(IDOK),
    };
    static const CCmdMap map{CDialog::GetThisCmdMap(), entries};
    return &map;
}

const CCmdMap* CAddItemDlg::GetCmdMap() const
{
    return GetThisCmdMap();
}

void CAddItemDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_VALUE_NAME, m_strName);
    DDX_Text(pDX, IDC_VALUE_DATA, m_strData);
}

void CAddItemDlg::OnBnClickedOk()
{
    CString name;
    GetDlgItemText(IDC_VALUE_NAME, name);
    if (name.empty()) {
        MessageBox("Please fill the item value field.");
        // The click on OK took the focus: give it back to the field to fill.
        GotoDlgCtrl(IDC_VALUE_NAME);
        return;
    }
    CDialog::OnOK();
}
