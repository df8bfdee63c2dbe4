// SPDX-License-Identifier: MIT
#include "DocTemplate.h"

#include "Document.h"
#include "FrameWnd.h"
#include "Resources.h"
#include "WinApp.h"

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                                       const CRuntimeClass* pFrameClass, const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass)
{
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    CloseAllDocuments();
}

bool CSingleDocTemplate::GetDocString(CString& rString, DocStringIndex index) const
{
    const CString all = AfxLoadString(m_nIDResource);
    rString.clear();
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = all.find('\n', start);
        if (start == CString::npos)
            return false;
        ++start;
    }
    const std::size_t end = all.find('\n', start);
    rString = all.substr(start, end == CString::npos ? CString::npos : end - start);
    return true;
}

void CSingleDocTemplate::SetDefaultTitle(CDocument* pDocument)
{
    CString title;
    if (!GetDocString(title, docName) || title.empty())
        title = "Untitled";
    pDocument->SetTitle(title);
}

bool CSingleDocTemplate::CreateDocumentAndFrame()
{
    std::unique_ptr<CObject> pDocObject(m_pDocClass ? m_pDocClass->CreateObject() : nullptr);
    std::unique_ptr<CObject> pFrameObject(m_pFrameClass ? m_pFrameClass->CreateObject() : nullptr);
    auto* pDoc = dynamic_cast<CDocument*>(pDocObject.get());
    auto* pFrame = dynamic_cast<CFrameWnd*>(pFrameObject.get());
    if (!pDoc || !pFrame)
        return false;
    pDocObject.release();
    pFrameObject.release();
    m_pOnlyDoc.reset(pDoc);
    m_pFrame.reset(pFrame);
    pDoc->m_pDocTemplate = this;
    CCreateContext context{m_pViewClass, pDoc};
    if (!pFrame->LoadFrame(m_nIDResource, 0, &context)) {
        CloseAllDocuments();
        return false;
    }
    return true;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCTSTR lpszPathName, bool bMakeVisible)
{
    bool bCreated = false;
    if (m_pOnlyDoc) {
        if (!m_pOnlyDoc->SaveModified())
            return nullptr;
    } else {
        if (!CreateDocumentAndFrame())
            return nullptr;
        bCreated = true;
    }
    CDocument* pDoc = m_pOnlyDoc.get();

    if (lpszPathName == nullptr) {
        SetDefaultTitle(pDoc);
        if (!pDoc->OnNewDocument()) {
            if (bCreated)
                CloseAllDocuments();
            return nullptr;
        }
    } else {
        const bool bWasModified = pDoc->IsModified();
        pDoc->SetModifiedFlag(false);
        if (!pDoc->OnOpenDocument(lpszPathName)) {
            if (bCreated) {
                CloseAllDocuments();
            } else if (!pDoc->IsModified()) {
                // Nothing was read: the old document is as it was.
                pDoc->SetModifiedFlag(bWasModified);
            } else {
                // The load replaced part of the contents: what is left is a
                // new, untitled document, so Save cannot overwrite the file.
                SetDefaultTitle(pDoc);
                pDoc->OnNewDocument();
            }
            return nullptr;
        }
        pDoc->SetPathName(lpszPathName);
    }

    if (CWinApp* pApp = AfxGetApp(); pApp && bCreated && pApp->m_pMainWnd == nullptr)
        pApp->m_pMainWnd = m_pFrame.get();
    m_pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
    return pDoc;
}

bool CSingleDocTemplate::SaveAllModified()
{
    return !m_pOnlyDoc || m_pOnlyDoc->SaveModified();
}

void CSingleDocTemplate::CloseAllDocuments()
{
    if (CWinApp* pApp = AfxGetApp(); pApp && pApp->m_pMainWnd == m_pFrame.get() && m_pFrame)
        pApp->m_pMainWnd = nullptr;
    m_pFrame.reset();
    m_pOnlyDoc.reset();
}
