// SPDX-License-Identifier: MIT
// The application object: one per program, started by AfxWinMain.
#pragma once

#include "CmdTarget.h"

#include <memory>
#include <vector>

class CDocument;
class CFrameWnd;
class CSingleDocTemplate;

class CCommandLineInfo {
public:
    enum { FileNew, FileOpen } m_nShellCommand = FileNew;
    CString m_strFileName;
    // Called for each argument; the first one that is not an option names the file.
    virtual void ParseParam(const CString& strParam, bool bFlag, bool bLast);
    virtual ~CCommandLineInfo() = default;
};

class CWinApp : public CCmdTarget {
public:
    // Without a name, the title comes from the string resource AFX_IDS_APP_TITLE.
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual bool InitInstance() { return true; }
    virtual int Run();
    virtual int ExitInstance() { return 0; }

    void AddDocTemplate(CSingleDocTemplate* pTemplate);  // takes ownership
    CSingleDocTemplate* GetDocTemplate() const { return m_pTemplate.get(); }

    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    bool ProcessShellCommand(CCommandLineInfo& rCmdInfo);
    virtual CDocument* OpenDocumentFile(LPCTSTR lpszFileName);
    bool DoPromptFileName(CString& fileName, bool bOpenFileDialog, CSingleDocTemplate* pTemplate);
    bool SaveAllModified();
    // Destroys the document, frame and view (at the end, while the front end still exists).
    void CloseAllDocuments();
    void OnMainWindowClosed(CFrameWnd* pFrame);

    void OnFileNew();
    void OnFileOpen();
    void OnAppExit();

    const CCmdMap* GetCmdMap() const override;
    static const CCmdMap* GetThisCmdMap();

    CFrameWnd* m_pMainWnd = nullptr;
    CString m_strAppName;
    std::vector<CString> m_arguments;  // the command line, without the program and the front end's options

private:
    std::unique_ptr<CSingleDocTemplate> m_pTemplate;
};

CWinApp* AfxGetApp();
CString AfxGetAppName();
// A message box with the application's title as caption, owned by the main window.
int AfxMessageBox(const CString& strText, UINT nType = MB_OK);
// Starts the program: sets the arguments, runs InitInstance, then the event loop.
int AfxWinMain(int argc, char** argv);
