// SPDX-License-Identifier: MIT
#include "Document.h"

#include "AfxRes.h"
#include "Archive.h"
#include "DocTemplate.h"
#include "Exceptions.h"
#include "File.h"
#include "FrameWnd.h"
#include "View.h"
#include "WinApp.h"

#include <filesystem>

const CRuntimeClass CDocument::classCDocument{"CDocument", nullptr, &CObject::classCObject};

namespace {
// The same file by name (both made absolute), whether or not it exists.
bool IsSamePath(const CString& a, const CString& b)
{
    std::error_code ec;
    const std::filesystem::path pa = std::filesystem::absolute(a, ec).lexically_normal();
    const std::filesystem::path pb = std::filesystem::absolute(b, ec).lexically_normal();
    return !a.empty() && pa == pb;
}

// How messages name a file: the whole path, in one form however it was given.
CString ShownPath(const CString& strPath)
{
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(strPath, ec);
    return ec ? strPath : path.lexically_normal().string();
}
}  // namespace

const CCmdMap* CDocument::GetThisCmdMap()
{
    static constexpr CCmdEntry entries[] = {
        OnCommand<&CDocument::OnFileSave>(ID_FILE_SAVE),
        OnCommand<&CDocument::OnFileSaveAs>(ID_FILE_SAVE_AS),
    };
    static const CCmdMap map{CCmdTarget::GetThisCmdMap(), entries};
    return &map;
}

const CCmdMap* CDocument::GetCmdMap() const
{
    return GetThisCmdMap();
}

void CDocument::SetTitle(const CString& strTitle)
{
    m_strTitle = strTitle;
    UpdateFrameTitles();
}

void CDocument::SetPathName(const CString& strPathName)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(strPathName, ec);
    if (ec)
        path = strPathName;
    m_strPathName = path.lexically_normal().string();
    SetTitle(path.filename().string());
}

void CDocument::UpdateFrameTitles()
{
    for (CView* pView : m_viewList)
        if (CFrameWnd* pFrame = pView->GetParentFrame())
            pFrame->OnUpdateFrameTitle();
}

POSITION CDocument::GetFirstViewPosition() const
{
    return m_viewList.empty() ? nullptr : reinterpret_cast<POSITION>(std::uintptr_t{1});
}

CView* CDocument::GetNextView(POSITION& rPosition) const
{
    const auto index = reinterpret_cast<std::uintptr_t>(rPosition);
    if (index == 0 || index > m_viewList.size())
        return rPosition = nullptr, nullptr;
    rPosition = index < m_viewList.size() ? reinterpret_cast<POSITION>(index + 1) : nullptr;
    return m_viewList[index - 1];
}

void CDocument::AddView(CView* pView)
{
    m_viewList.push_back(pView);
    pView->m_pDocument = this;
}

void CDocument::RemoveView(CView* pView)
{
    std::erase(m_viewList, pView);
    if (pView->m_pDocument == this)
        pView->m_pDocument = nullptr;
}

bool CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    m_strLoadWarning.clear();
    RememberFileIdentity(nullptr);
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(LPCTSTR lpszPathName)
{
    CFile file;
    try {
        file.Open(lpszPathName, CFile::modeRead);
    } catch (const std::exception& e) {
        ReportSaveLoadException(lpszPathName, &e, false);
        return false;
    }
    DeleteContents();
    m_strLoadWarning.clear();
    SetModifiedFlag(true);  // dirty while the contents are replaced
    try {
        CArchive ar(&file, CArchive::load);
        Serialize(ar);
        ar.Close();
    } catch (const std::exception& e) {
        m_strLoadWarning.clear();
        // What was read stays on screen as an untitled document: the title
        // says so before the message does.
        m_strPathName.clear();
        if (m_pDocTemplate)
            m_pDocTemplate->SetDefaultTitle(this);
        ReportSaveLoadException(lpszPathName, &e, false);
        DeleteContents();
        return false;
    }
    RememberFileIdentity(&file.GetIdentity());
    SetModifiedFlag(false);
    return true;
}

void CDocument::ShowLoadWarning()
{
    if (m_strLoadWarning.empty())
        return;
    const CString text = "\"" + m_strPathName + "\":\n" + m_strLoadWarning;
    m_strLoadWarning.clear();
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

void CDocument::RememberFileIdentity(const CFileIdentity* pIdentity)
{
    m_bHasIdentity = pIdentity != nullptr;
    m_identity = pIdentity ? *pIdentity : CFileIdentity{};
}

bool CDocument::IsFileChangedOnDisk() const
{
    CFileIdentity now;
    return m_bHasIdentity && !m_strPathName.empty() && AfxGetFileIdentity(m_strPathName, now) &&
           !now.IsSameVersion(m_identity);
}

bool CDocument::OnSaveDocument(LPCTSTR lpszPathName)
{
    CString note;
    try {
        note = AfxReplaceFile(lpszPathName, [this](CArchive& ar) { Serialize(ar); });
    } catch (const std::exception& e) {
        ReportSaveLoadException(lpszPathName, &e, true);
        return false;
    }
    SetModifiedFlag(false);
    // Saved, but with something the user did not ask for (another owner, say).
    if (!note.empty())
        AfxMessageBox("\"" + CString(lpszPathName) + "\" was saved, but " + note + ".", MB_OK | MB_ICONEXCLAMATION);
    return true;
}

void CDocument::ReportSaveLoadException(LPCTSTR lpszPathName, const std::exception* e, bool bSaving)
{
    CString reason = e ? AfxDescribeException(*e) : CString("an unknown error occurred");
    // A file being saved need not exist: "not found" then means its folder is missing.
    const auto* pFileError = dynamic_cast<const CFileException*>(e);
    if (bSaving && pFileError && pFileError->m_cause == CFileException::fileNotFound) {
        const std::filesystem::path folder = std::filesystem::path(lpszPathName).parent_path();
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
            reason = "the folder " + folder.string() + " does not exist";
    }
    CString text = (bSaving ? "Cannot save \"" : "Cannot open \"") + ShownPath(lpszPathName) + "\":\n" + reason + ".";
    if (bSaving)
        text += "\nThe file on disk was not changed.";
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

bool CDocument::SaveModified()
{
    if (!IsModified())
        return true;
    const CString name = m_strTitle.empty() ? CString("Untitled") : m_strTitle;
    switch (AfxMessageBox("Save changes to " + name + "?", MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        return DoFileSave();
    case IDNO:
        return true;
    default:
        return false;
    }
}

bool CDocument::DoSave(LPCTSTR lpszPathName, bool bReplace)
{
    CString newName = lpszPathName ? CString(lpszPathName) : CString();
    if (newName.empty()) {
        CSingleDocTemplate* pTemplate = m_pDocTemplate;
        newName = m_strPathName;
        if (newName.empty()) {
            newName = m_strTitle;
            CString ext;
            if (pTemplate && pTemplate->GetDocString(ext, CSingleDocTemplate::filterExt) && !ext.empty() &&
                std::filesystem::path(newName).extension().empty())
                newName += ext;
        }
        if (!AfxGetApp() || !AfxGetApp()->DoPromptFileName(newName, false, pTemplate))
            return false;
    }
    // Another program may have written the file since we read it: replacing
    // it would lose that without a word.
    if (IsFileChangedOnDisk() && IsSamePath(newName, m_strPathName) &&
        AfxMessageBox(m_strPathName + " was changed by another program after it was opened. Overwrite it?",
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    if (!OnSaveDocument(newName.c_str()))
        return false;
    if (bReplace)
        SetPathName(newName);
    if (IsSamePath(newName, m_strPathName)) {
        CFileIdentity saved;
        RememberFileIdentity(AfxGetFileIdentity(m_strPathName, saved) ? &saved : nullptr);
    }
    return true;
}

bool CDocument::DoFileSave()
{
    return DoSave(m_strPathName.empty() ? nullptr : m_strPathName.c_str());
}

void CDocument::OnFileSave()
{
    DoFileSave();
}

void CDocument::OnFileSaveAs()
{
    DoSave(nullptr);
}
