// SPDX-License-Identifier: MIT
// The single-document template: one document, one frame and one view, made
// from their run-time classes and tied to one resource id (menu,
// accelerators, icon and document string).
#pragma once

#include "CmdTarget.h"

#include <memory>

class CDocument;
class CFrameWnd;

class CSingleDocTemplate : public CCmdTarget {
public:
    enum DocStringIndex {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName,
    };

    CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                       const CRuntimeClass* pViewClass);
    ~CSingleDocTemplate() override;

    // One field of the document string (resource nIDResource, fields split at '\n').
    bool GetDocString(CString& rString, DocStringIndex index) const;

    // Null path: File New on the one document. A path: opens that file into it.
    // Asks to save changes first. Returns the document, or null on failure.
    CDocument* OpenDocumentFile(LPCTSTR lpszPathName, bool bMakeVisible = true);
    void SetDefaultTitle(CDocument* pDocument);
    bool SaveAllModified();
    void CloseAllDocuments();

    CDocument* GetDocument() const { return m_pOnlyDoc.get(); }
    CFrameWnd* GetFrame() const { return m_pFrame.get(); }
    UINT GetResourceId() const { return m_nIDResource; }

private:
    bool CreateDocumentAndFrame();

    UINT m_nIDResource;
    const CRuntimeClass* m_pDocClass;
    const CRuntimeClass* m_pFrameClass;
    const CRuntimeClass* m_pViewClass;
    std::unique_ptr<CFrameWnd> m_pFrame;  // destroyed before the document (its view refers to it)
    std::unique_ptr<CDocument> m_pOnlyDoc;
};
