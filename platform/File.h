// SPDX-License-Identifier: MIT
// A file opened for reading, or a file being written as the replacement of
// a target: written to a temporary file beside the target and renamed over it
// only by Commit, after everything reached the disk. Until then, and after a
// failure, the target stays exactly as it was.
#pragma once

#include "AfxTypes.h"

#include <cstdio>
#include <functional>

class CArchive;

// What tells one version of a file from another: a save replaces the file (a
// new inode), other programs change its size or modification time. A program
// that writes in place and puts the modification time back still moves the
// change time, which no program can set.
struct CFileIdentity {
    ULONGLONG nDevice = 0;
    ULONGLONG nInode = 0;
    ULONGLONG nSize = 0;
    long long nModifiedNs = 0;
    long long nChangedNs = 0;
    // What else moves the change time: chmod, chown, a new hard link.
    unsigned nMode = 0, nUid = 0, nGid = 0;
    ULONGLONG nLinks = 0;
    bool operator==(const CFileIdentity&) const = default;
    // The same bytes as far as the file system tells: a change time that
    // moved with the mode, owner or links (a chmod) does not count.
    bool IsSameVersion(const CFileIdentity& o) const
    {
        const bool bAttributesChanged = nMode != o.nMode || nUid != o.nUid || nGid != o.nGid || nLinks != o.nLinks;
        return nDevice == o.nDevice && nInode == o.nInode && nSize == o.nSize && nModifiedNs == o.nModifiedNs &&
               (nChangedNs == o.nChangedNs || bAttributesChanged);
    }
};

// False when there is no regular file to look at (it does not exist, say).
bool AfxGetFileIdentity(const CString& strFileName, CFileIdentity& identity);

class CFile {
public:
    enum OpenFlags { modeRead = 0, modeReplace = 1 };

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Throws CFileException naming the file and the reason.
    void Open(const CString& strFileName, OpenFlags nFlags);
    UINT Read(void* lpBuf, UINT nCount);  // bytes delivered; 0 at the end
    virtual void Write(const void* lpBuf, UINT nCount);
    ULONGLONG GetLength() const { return m_nLength; }  // of a file open for reading, as opened
    // Makes the written file the target. Throws on failure; the target is then
    // untouched. Returns what the user should know of a save that succeeded
    // (the owner could not be kept, the folder could not be synced), or "".
    CString Commit();
    // Gives up: closes and removes the temporary file, if any. Never throws.
    void Abort();
    const CString& GetFilePath() const { return m_strFileName; }
    bool IsOpen() const { return m_pFile != nullptr; }
    // Of a file open for reading, as opened.
    const CFileIdentity& GetIdentity() const { return m_identity; }

private:
    void OpenReplacement(const CString& strFileName);

    std::FILE* m_pFile = nullptr;
    CString m_strFileName;
    CString m_strTarget;  // the file Commit replaces (links resolved)
    CString m_strTempName;
    ULONGLONG m_nLength = 0;
    CFileIdentity m_identity;
    bool m_bReplacing = false;
    bool m_bTargetExists = false;
    unsigned m_nTargetMode = 0;      // the mode the replacement gets
    unsigned m_nTargetUid = 0, m_nTargetGid = 0;
};

// Writes a file as the replacement of strFileName: fill writes into a storing
// archive, and only when all of it reached the disk does it become the file.
// Throws on failure, with the target as it was and no temporary file left.
// Returns what Commit returns; the note handler, if one is set, hears it too.
CString AfxReplaceFile(const CString& strFileName, const std::function<void(CArchive&)>& fill);

// Where a program without windows tells its user what a save's note says.
using AfxReplaceNoteHandler = void (*)(const CString& strFileName, const CString& strNote);
void AfxSetReplaceNoteHandler(AfxReplaceNoteHandler handler);

// SIGINT, SIGTERM and SIGHUP during a save remove the temporary file, then
// end the program as the signal would have. Signals that were ignored when
// the program started stay ignored. A program calls this once, early.
void AfxRemoveTempFileOnSignals();
