// SPDX-License-Identifier: MIT
// The benchmark's own front end: no windows at all. Dialogs run a queued
// script that fills their controls and clicks a button; message boxes are
// recorded and answered with No (or OK), so nothing ever waits for a user.
#pragma once

#include "platform/Dialog.h"
#include "platform/FrontEnd.h"

#include <deque>
#include <functional>
#include <map>
#include <vector>

class CBenchFrontEnd : public CFrontEnd {
public:
    // What a dialog script may do with the running dialog.
    class CRunningDialog {
    public:
        explicit CRunningDialog(CDialog& dlg) : m_dlg(dlg) {}
        void SetText(int nID, const CString& strText) { m_texts[nID] = strText; }
        void Click(int nID) { m_dlg.OnCmdMsg(static_cast<UINT>(nID), CN_COMMAND, nullptr); }

    private:
        friend class CBenchFrontEnd;
        CDialog& m_dlg;
        std::map<int, CString> m_texts;
        bool m_bEnded = false;
        int m_nResult = IDCANCEL;
    };
    using DialogScript = std::function<void(CRunningDialog&)>;

    CBenchFrontEnd();
    ~CBenchFrontEnd() override;

    void CreateFrameWindow(CFrameWnd&, const CREATESTRUCT&, UINT) override {}
    void CreateViewWindow(CView&, const CREATESTRUCT&, CFrameWnd&) override {}
    void DestroyFrameWindow(CFrameWnd&) override {}
    void ShowWindow(CFrameWnd&, int) override {}
    void UpdateWindow(CFrameWnd&) override {}
    void SetWindowText(CFrameWnd&, const CString&) override {}
    void DragAcceptFiles(CFrameWnd&, bool) override {}
    INT_PTR RunModalDialog(CDialog& dlg) override;
    void EndDialog(CDialog& dlg, int nResult) override;
    CString GetDlgItemText(const CDialog& dlg, int nID) override;
    void SetDlgItemText(CDialog& dlg, int nID, const CString& strText) override;
    int MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType) override;
    bool PromptFileName(CString&, bool, const CString&, const CString&) override { return false; }
    int Run() override { return 0; }
    void Quit(int) override {}

    // Scripts for the next dialogs, in order; a dialog without one is cancelled.
    std::deque<DialogScript> m_dialogScripts;
    // Every message box shown, in order.
    std::vector<CString> m_messages;

private:
    CRunningDialog& Find(const CDialog& dlg) const;
    std::vector<CRunningDialog*> m_running;
};
