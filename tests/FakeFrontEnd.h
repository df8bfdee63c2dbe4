// SPDX-License-Identifier: MIT
// A scripted stand-in for the windowing front end: dialogs are driven by
// scripts, message boxes and file pickers answer from queues, and everything
// shown is recorded.
#pragma once

#include "platform/Dialog.h"
#include "platform/FrontEnd.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class CFakeDialog {
public:
    explicit CFakeDialog(CDialog& dlg) : m_dlg(dlg) {}
    void SetText(int nID, const CString& text) { m_texts[nID] = text; }
    CString Text(int nID) const;
    // A click on a button (or Enter for IDOK, Escape for IDCANCEL).
    void Click(int nID) { m_dlg.OnCmdMsg(static_cast<UINT>(nID), CN_COMMAND, nullptr); }
    bool IsOpen() const { return !m_result.has_value(); }
    CDialog& Dialog() { return m_dlg; }

    CDialog& m_dlg;
    std::map<int, CString> m_texts;
    std::optional<int> m_result;
};

struct CRecordedMessage {
    CString text;
    CString caption;
    UINT type;
    bool bOwnedByDialog;
};

class CFakeFrontEnd : public CFrontEnd {
public:
    using DialogScript = std::function<void(CFakeDialog&)>;

    CFakeFrontEnd();
    ~CFakeFrontEnd() override;

    void CreateFrameWindow(CFrameWnd& frame, const CREATESTRUCT& cs, UINT nIDResource) override;
    void CreateViewWindow(CView& view, const CREATESTRUCT& cs, CFrameWnd& frame) override;
    void DestroyFrameWindow(CFrameWnd& frame) override;
    void ShowWindow(CFrameWnd& frame, int nCmdShow) override;
    void UpdateWindow(CFrameWnd&) override { ++m_nUpdates; }
    void SetWindowText(CFrameWnd&, const CString& strText) override { m_strTitle = strText; }
    void DragAcceptFiles(CFrameWnd&, bool bAccept) override { m_bAcceptsFiles = bAccept; }
    INT_PTR RunModalDialog(CDialog& dlg) override;
    void EndDialog(CDialog& dlg, int nResult) override;
    CString GetDlgItemText(const CDialog& dlg, int nID) override;
    void SetDlgItemText(CDialog& dlg, int nID, const CString& strText) override;
    int MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType) override;
    bool PromptFileName(CString& fileName, bool bOpen, const CString& strFilterName,
                        const CString& strFilterExt) override;
    int Run() override { return 0; }
    void Quit(int nExitCode) override { m_nQuitCode = nExitCode; }

    // Scripts for the next dialogs, in order; a dialog without one is cancelled.
    std::deque<DialogScript> m_dialogScripts;
    // Answers for the next message boxes; without one, OK or Cancel.
    std::deque<int> m_messageAnswers;
    // Paths for the next file pickers; nullopt cancels.
    std::deque<std::optional<CString>> m_fileAnswers;

    std::vector<CRecordedMessage> m_messages;
    std::vector<UINT> m_dialogsRun;
    struct Prompt {
        bool bOpen;
        CString suggested, filterName, filterExt;
    };
    std::vector<Prompt> m_prompts;
    CString m_strTitle;
    DWORD m_dwViewStyle = 0;
    bool m_bFrameExists = false;
    bool m_bShown = false;
    bool m_bAcceptsFiles = false;
    int m_nUpdates = 0;
    std::optional<int> m_nQuitCode;

private:
    std::vector<CFakeDialog*> m_running;
    CFakeDialog* Find(const CDialog& dlg) const;
};
