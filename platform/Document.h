// SPDX-License-Identifier: MIT
// A document of the single-document framework: its file, title, modified
// flag and views, and the framework's New / Open / Save / Save As flows.
#pragma once

#include "CmdTarget.h"
#include "File.h"

#include <exception>
#include <vector>

class CArchive;
class CView;
class CSingleDocTemplate;

struct PositionTag;
using POSITION = PositionTag*;

class CDocument : public CCmdTarget {
public:
    static const CRuntimeClass classCDocument;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCDocument; }

    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const CString& strTitle);
    const CString& GetPathName() const { return m_strPathName; }
    // Sets the path and makes the file's name the title.
    virtual void SetPathName(const CString& strPathName);
    void ClearPathName() { m_strPathName.clear(); }

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }

    POSITION GetFirstViewPosition() const;
    CView* GetNextView(POSITION& rPosition) const;
    void AddView(CView* pView);
    void RemoveView(CView* pView);

    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(LPCTSTR lpszPathName);
    virtual bool OnSaveDocument(LPCTSTR lpszPathName);
    virtual void DeleteContents() {}
    virtual void Serialize(CArchive&) {}

    // Asks to save a modified document: Yes saves (false if that fails),
    // No goes on, Cancel stops. True when the caller may go on.
    virtual bool SaveModified();
    // Saves to lpszPathName, or asks for a name when it is null.
    virtual bool DoSave(LPCTSTR lpszPathName, bool bReplace = true);
    virtual bool DoFileSave();
    virtual void ReportSaveLoadException(LPCTSTR lpszPathName, const std::exception* e, bool bSaving);

    // A load may find something the user should know (bytes a save will not
    // keep): the document tells it once, when its window shows.
    void SetLoadWarning(const CString& strWarning) { m_strLoadWarning = strWarning; }
    const CString& GetLoadWarning() const { return m_strLoadWarning; }
    void ShowLoadWarning();
    // Whether the file at the document's path is still the one it loaded or
    // saved last. A file that is gone, or is no longer a file, counts as
    // unchanged: saving makes it anew, or says why it cannot.
    bool IsFileChangedOnDisk() const;

    void OnFileSave();
    void OnFileSaveAs();

    const CCmdMap* GetCmdMap() const override;
    static const CCmdMap* GetThisCmdMap();

    CSingleDocTemplate* m_pDocTemplate = nullptr;

protected:
    void UpdateFrameTitles();

    CString m_strTitle;
    CString m_strPathName;
    bool m_bModified = false;
    std::vector<CView*> m_viewList;

private:
    void RememberFileIdentity(const CFileIdentity* pIdentity);

    CString m_strLoadWarning;
    bool m_bHasIdentity = false;
    CFileIdentity m_identity;
};
