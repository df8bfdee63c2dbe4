// SPDX-License-Identifier: MIT
// The Qt 6 Widgets front end of the framework.
#pragma once

#include "platform/FrontEnd.h"

#include <QPointer>

class CMainWindow;
class CQtDialog;
class QWidget;
class QIcon;
class QFileDialog;

class CQtFrontEnd : public CFrontEnd {
public:
    CQtFrontEnd();
    ~CQtFrontEnd() override;

    void CreateFrameWindow(CFrameWnd& frame, const CREATESTRUCT& cs, UINT nIDResource) override;
    void CreateViewWindow(CView& view, const CREATESTRUCT& cs, CFrameWnd& frame) override;
    void DestroyFrameWindow(CFrameWnd& frame) override;
    void ShowWindow(CFrameWnd& frame, int nCmdShow) override;
    void UpdateWindow(CFrameWnd& frame) override;
    void SetWindowText(CFrameWnd& frame, const CString& strText) override;
    void DragAcceptFiles(CFrameWnd& frame, bool bAccept) override;
    void RunWhenPainted(CFrameWnd& frame, std::function<void()> fn) override;
    INT_PTR RunModalDialog(CDialog& dlg) override;
    void EndDialog(CDialog& dlg, int nResult) override;
    CString GetDlgItemText(const CDialog& dlg, int nID) override;
    void SetDlgItemText(CDialog& dlg, int nID, const CString& strText) override;
    void GotoDlgCtrl(CDialog& dlg, int nID) override;
    int MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType) override;
    bool PromptFileName(CString& fileName, bool bOpen, const CString& strFilterName,
                        const CString& strFilterExt) override;
    int Run() override;
    void Quit(int nExitCode) override;

    static CMainWindow* WindowOf(const CFrameWnd& frame);
    // The Open or Save As dialog, at a size that shows each file's name,
    // size, type and date.
    static void PrepareFileDialog(QFileDialog& dialog);
    static CQtDialog* DialogOf(const CDialog& dlg);

    // Nobody answers in an unattended run (a script): a message box, a
    // dialog or a file picker is written to standard error instead, gets its
    // cancel-like answer and is remembered, so that the run can stop and fail.
    void SetUnattended(bool bUnattended) { m_bUnattended = bUnattended; }
    bool IsUnattended() const { return m_bUnattended; }
    bool WasAnswerNeeded() const { return m_bAnswerNeeded; }

protected:
    QWidget* WidgetOf(CWnd* pWnd) const;
    // Writes what would have waited for an answer to standard error.
    void ReportUnanswered(const CString& strText);

private:
    bool m_bUnattended = false;
    bool m_bAnswerNeeded = false;
};

// An icon from the program's resources (all its sizes).
QIcon LoadIconResource(UINT nID);
