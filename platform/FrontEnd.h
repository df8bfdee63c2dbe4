// SPDX-License-Identifier: MIT
// What the framework needs of a windowing front end. The Qt front end
// implements it for the program; tests implement it with a scripted fake.
#pragma once

#include "AfxTypes.h"

#include <functional>

class CWnd;
class CFrameWnd;
class CView;
class CDialog;

class CFrontEnd {
public:
    virtual ~CFrontEnd() = default;

    // Main window.
    virtual void CreateFrameWindow(CFrameWnd& frame, const CREATESTRUCT& cs, UINT nIDResource) = 0;
    virtual void CreateViewWindow(CView& view, const CREATESTRUCT& cs, CFrameWnd& frame) = 0;
    virtual void DestroyFrameWindow(CFrameWnd& frame) = 0;
    virtual void ShowWindow(CFrameWnd& frame, int nCmdShow) = 0;
    virtual void UpdateWindow(CFrameWnd& frame) = 0;
    virtual void SetWindowText(CFrameWnd& frame, const CString& strText) = 0;
    virtual void DragAcceptFiles(CFrameWnd& frame, bool bAccept) = 0;
    // Runs fn once the frame's window has drawn what it holds, so that a
    // message shown then stands over a finished window; at once where nothing
    // is drawn. Not at all when the window goes first.
    virtual void RunWhenPainted(CFrameWnd&, std::function<void()> fn) { fn(); }

    // Modal dialogs, built from the dialog's template. RunModalDialog calls
    // the dialog's OnInitDialog, then routes button clicks to the dialog's
    // commands until EndDialog; it returns the value given to EndDialog.
    virtual INT_PTR RunModalDialog(CDialog& dlg) = 0;
    virtual void EndDialog(CDialog& dlg, int nResult) = 0;
    virtual CString GetDlgItemText(const CDialog& dlg, int nID) = 0;
    virtual void SetDlgItemText(CDialog& dlg, int nID, const CString& strText) = 0;
    // Puts the keyboard focus in a control of a running dialog.
    virtual void GotoDlgCtrl(CDialog&, int) {}

    // pOwner may be null. Returns IDOK, IDYES, IDNO or IDCANCEL.
    virtual int MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType) = 0;

    // The open or save file picker; fileName holds the suggested name on the
    // way in and the chosen path on the way out. False when cancelled.
    virtual bool PromptFileName(CString& fileName, bool bOpen, const CString& strFilterName,
                                const CString& strFilterExt) = 0;

    // The event loop.
    virtual int Run() = 0;
    virtual void Quit(int nExitCode) = 0;
};

// The program's front end; set once at start (tests set their fake).
CFrontEnd* AfxGetFrontEnd();
void AfxSetFrontEnd(CFrontEnd* pFrontEnd);
