// SPDX-License-Identifier: MIT
// Modal dialogs built from a dialog template, with data exchange between
// controls and members.
#pragma once

#include "Wnd.h"

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, bool bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    bool m_bSaveAndValidate;  // true: controls -> members
    CDialog* m_pDlgWnd;
};

// Exchanges the text of control nIDC with value.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

class CDialog : public CWnd {
public:
    static const CRuntimeClass classCDialog;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCDialog; }

    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Returns IDOK or IDCANCEL (the value given to EndDialog).
    virtual INT_PTR DoModal();
    // Called by the front end once the controls exist: fills them from the members.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult);
    bool UpdateData(bool bSaveAndValidate = true);

    CString GetDlgItemText(int nID) const;
    int GetDlgItemText(int nID, CString& rString) const;
    void SetDlgItemText(int nID, const CString& strText);
    // Puts the keyboard focus in control nID.
    void GotoDlgCtrl(int nID);
    // A message box owned by this dialog; without a caption it shows the application's title.
    int MessageBox(const CString& strText, const CString& strCaption = {}, UINT nType = MB_OK);

    UINT GetTemplateId() const { return m_nIDTemplate; }
    bool IsRunning() const { return m_bRunning; }

    const CCmdMap* GetCmdMap() const override;
    static const CCmdMap* GetThisCmdMap();

    CWnd* m_pParentWnd;

protected:
    virtual void DoDataExchange(CDataExchange*) {}

private:
    UINT m_nIDTemplate;
    bool m_bRunning = false;
};
