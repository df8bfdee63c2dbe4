// SPDX-License-Identifier: MIT
#include "Exceptions.h"

#include <cerrno>
#include <cstring>
#include <new>

CFileException::CFileException(Cause cause, int nOsError, CString strFileName)
    : m_cause(cause), m_lOsError(nOsError), m_strFileName(std::move(strFileName))
{
}

CFileException::Cause CFileException::OsErrorToCause(int nOsError)
{
    switch (nOsError) {
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return badPath;
    case EACCES:
    case EPERM:
        return accessDenied;
    case EISDIR:
        return isDirectory;
    case ELOOP:
        return linkLoop;
    case EROFS:
        return readOnly;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return diskFull;
    default:
        return generic;
    }
}

void CFileException::ThrowOsError(int nOsError, const CString& strFileName)
{
    throw CFileException(OsErrorToCause(nOsError), nOsError, strFileName);
}

CString CFileException::GetErrorMessage() const
{
    switch (m_cause) {
    case fileNotFound:
        return "the file does not exist";
    case badPath:
        return "the path is not valid";
    case accessDenied:
        return "permission denied";
    case isDirectory:
        return "it is a folder, not a file";
    case readOnly:
        return "the file or its folder is read-only";
    case diskFull:
        return m_lOsError == EFBIG ? "the file grew larger than allowed (file size limit)" : "the disk is full";
    case endOfFile:
        return "the file ended unexpectedly";
    case changedWhileRead:
        return "the file changed while it was being read";
    case linkLoop:
        return "it is a symbolic link that leads round in a loop (too many levels of symbolic links)";
    case unsafeLink:
        return "it is a symbolic link owned by another user in a folder that everyone may write to; "
               "it is not followed, so that no one else can choose which file is written";
    default:
        return m_lOsError != 0 ? CString(std::strerror(m_lOsError)) : CString("an unknown file error occurred");
    }
}

CString AfxDescribeException(const std::exception& e)
{
    if (const auto* pFrameworkError = dynamic_cast<const CException*>(&e))
        return pFrameworkError->GetErrorMessage();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return CMemoryException().GetErrorMessage();
    return e.what();
}
