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
// new inode), other programs change its size or modification time.
struct CFileIdentity {
    ULONGLONG nDevice = 0;
    ULONGLONG nInode = 0;
    ULONGLONG nSize = 0;
    long long nModifiedNs = 0;
    bool operator==(const CFileIdentity&) const = default;
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
    // Makes the written file the target. Throws on failure; the target is then untouched.
    void Commit();
    // Gives up: closes and removes the temporary file, if any. Never throws.
    void Abort();
    const CString& GetFilePath() const { return m_strFileName; }
    bool IsOpen() const { return m_pFile != nullptr; }
    // Of a file open for reading, as opened.
    const CFileIdentity& GetIdentity() const { return m_identity; }

private:
    std::FILE* m_pFile = nullptr;
    CString m_strFileName;
    CString m_strTarget;  // the file Commit replaces (links resolved)
    CString m_strTempName;
    ULONGLONG m_nLength = 0;
    CFileIdentity m_identity;
    bool m_bReplacing = false;
};

// Writes a file as the replacement of strFileName: fill writes into a storing
// archive, and only when all of it reached the disk does it become the file.
// Throws on failure, with the target as it was and no temporary file left.
void AfxReplaceFile(const CString& strFileName, const std::function<void(CArchive&)>& fill);
