// SPDX-License-Identifier: MIT
// The "Input Item Properties" dialog: the name and data text of a new entry.
#pragma once

#include "platform/Dialog.h"

class CAddItemDlg : public CDialog {
public:
    static const CRuntimeClass classCAddItemDlg;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCAddItemDlg; }

    explicit CAddItemDlg(CWnd* pParent = nullptr);

    // OK refuses to close while the name field is empty.
    void OnBnClickedOk();

    const CCmdMap* GetCmdMap() const override;
    static const CCmdMap* GetThisCmdMap();

    CString m_strName;
    CString m_strData;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
