// SPDX-License-Identifier: MIT
#include "File.h"

#include "Archive.h"
#include "Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include <sys/stat.h>
#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#define LUMO_POSIX 1
#endif

namespace fs = std::filesystem;

namespace {

CFileIdentity IdentityOf(const struct stat& st)
{
    CFileIdentity identity;
    identity.nDevice = static_cast<ULONGLONG>(st.st_dev);
    identity.nInode = static_cast<ULONGLONG>(st.st_ino);
    identity.nSize = static_cast<ULONGLONG>(st.st_size);
#if defined(__APPLE__)
    identity.nModifiedNs = static_cast<long long>(st.st_mtimespec.tv_sec) * 1000000000 + st.st_mtimespec.tv_nsec;
#elif defined(LUMO_POSIX)
    identity.nModifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#else
    identity.nModifiedNs = static_cast<long long>(st.st_mtime) * 1000000000;
#endif
    return identity;
}

// The temporary file's name: hidden, beside the target, and never longer than
// a name may be there, however long the target's name is.
std::string TempFileName(const fs::path& dir, const std::string& targetName, unsigned nNumber)
{
    long nameMax = 255;
#ifdef LUMO_POSIX
    if (const long n = ::pathconf(dir.c_str(), _PC_NAME_MAX); n > 0)
        nameMax = n;
#endif
    const std::string suffix = "." + std::to_string(nNumber) + ".tmp";
    const std::size_t room = static_cast<std::size_t>(std::max<long>(nameMax - 1 - static_cast<long>(suffix.size()), 1));
    std::size_t keep = std::min(targetName.size(), room);
    // Cut between characters, not inside one (names are UTF-8 here).
    while (keep > 0 && keep < targetName.size() && (static_cast<unsigned char>(targetName[keep]) & 0xC0) == 0x80)
        --keep;
    return "." + targetName.substr(0, keep) + suffix;
}

}  // namespace

bool AfxGetFileIdentity(const CString& strFileName, CFileIdentity& identity)
{
    struct stat st {};
    if (::stat(strFileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    identity = IdentityOf(st);
    return true;
}

CFile::~CFile()
{
    Abort();
}

void CFile::Open(const CString& strFileName, OpenFlags nFlags)
{
    Abort();
    m_strFileName = strFileName;
    std::error_code ec;
    const fs::path path(strFileName);
    if (nFlags == modeRead) {
        if (fs::is_directory(path, ec))
            throw CFileException(CFileException::isDirectory, EISDIR, strFileName);
        errno = 0;
#ifdef LUMO_POSIX
        // Without O_NONBLOCK, opening a named pipe waits for a writer, maybe forever;
        // what is not a regular file is refused below, before anything is read.
        const int fd = ::open(strFileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            CFileException::ThrowOsError(errno, strFileName);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        m_pFile = ::fdopen(fd, "rb");
        if (!m_pFile) {
            const int err = errno;
            ::close(fd);
            CFileException::ThrowOsError(err, strFileName);
        }
#else
        m_pFile = std::fopen(strFileName.c_str(), "rb");
        if (!m_pFile)
            CFileException::ThrowOsError(errno, strFileName);
#endif
        std::setvbuf(m_pFile, nullptr, _IONBF, 0);  // the archive buffers
        struct stat st {};
        if (::fstat(fileno(m_pFile), &st) != 0) {
            const int err = errno;
            Abort();
            CFileException::ThrowOsError(err, strFileName);
        }
        if (!S_ISREG(st.st_mode)) {
            Abort();
            throw CFileException(S_ISDIR(st.st_mode) ? CFileException::isDirectory : CFileException::badPath, 0,
                                 strFileName);
        }
        m_nLength = static_cast<ULONGLONG>(st.st_size);
        m_identity = IdentityOf(st);
        return;
    }

    // Replace: write beside the target (links followed), so the rename stays on one file system.
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    struct stat st {};
    const bool bExists = ::stat(target.c_str(), &st) == 0;
    if (bExists && S_ISDIR(st.st_mode))
        throw CFileException(CFileException::isDirectory, EISDIR, strFileName);
    if (bExists && !S_ISREG(st.st_mode))
        throw CFileException(CFileException::badPath, 0, strFileName);
    // A file marked read-only is not replaced, even where the user could.
    if (bExists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw CFileException(CFileException::readOnly, EACCES, strFileName);
#ifdef LUMO_POSIX
    if (bExists && ::access(target.c_str(), W_OK) != 0)
        CFileException::ThrowOsError(errno, strFileName);
#endif

    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::random_device rd;
    for (int attempt = 0; attempt < 100 && !m_pFile; ++attempt) {
        const fs::path temp = dir / TempFileName(dir, target.filename().string(), rd() % 1000000);
        errno = 0;
        m_pFile = std::fopen(temp.c_str(), "wbx");  // exclusive: never touch someone else's file
        if (m_pFile)
            m_strTempName = temp.string();
        else if (errno != EEXIST)
            CFileException::ThrowOsError(errno, strFileName);
    }
    if (!m_pFile)
        throw CFileException(CFileException::generic, EEXIST, strFileName);
    std::setvbuf(m_pFile, nullptr, _IONBF, 0);
#ifdef LUMO_POSIX
    // The replacement keeps the target's permissions; a new file gets the usual ones.
    const mode_t mode = bExists ? (st.st_mode & 07777) : [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    // Owner and group too, where the system lets us (root may give the file
    // back to its owner; a user may keep its group if a member). chown clears
    // set-id bits, so the mode comes after it.
    if (bExists) {
        if (::fchown(fileno(m_pFile), st.st_uid, st.st_gid) != 0)
            (void)!::fchown(fileno(m_pFile), static_cast<uid_t>(-1), st.st_gid);
    }
    ::fchmod(fileno(m_pFile), mode);
#endif
    m_strTarget = target.string();
    m_bReplacing = true;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (!m_pFile || nCount == 0)
        return 0;
    const std::size_t n = std::fread(lpBuf, 1, nCount, m_pFile);
    if (n < nCount && std::ferror(m_pFile))
        CFileException::ThrowOsError(errno, m_strFileName);
    return static_cast<UINT>(n);
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    if (!m_pFile)
        throw CFileException(CFileException::generic, EBADF, m_strFileName);
    if (nCount == 0)
        return;
    errno = 0;
    if (std::fwrite(lpBuf, 1, nCount, m_pFile) != nCount)
        CFileException::ThrowOsError(errno != 0 ? errno : EIO, m_strFileName);
}

void CFile::Commit()
{
    if (!m_pFile || !m_bReplacing)
        return;
    int err = 0;
    if (std::fflush(m_pFile) != 0)
        err = errno;
#ifdef LUMO_POSIX
    if (err == 0 && ::fsync(fileno(m_pFile)) != 0)
        err = errno;
#endif
    if (std::fclose(m_pFile) != 0 && err == 0)
        err = errno;
    m_pFile = nullptr;
    if (err == 0) {
        std::error_code ec;
        fs::rename(m_strTempName, m_strTarget, ec);
        if (ec)
            err = ec.value();
    }
    if (err != 0) {
        std::error_code ignored;
        fs::remove(m_strTempName, ignored);
        m_strTempName.clear();
        m_bReplacing = false;
        CFileException::ThrowOsError(err, m_strFileName);
    }
    m_strTempName.clear();
    m_bReplacing = false;
}

void CFile::Abort()
{
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    if (!m_strTempName.empty()) {
        std::error_code ignored;
        fs::remove(m_strTempName, ignored);
        m_strTempName.clear();
    }
    m_bReplacing = false;
}

void AfxReplaceFile(const CString& strFileName, const std::function<void(CArchive&)>& fill)
{
    CFile file;
    try {
        file.Open(strFileName, CFile::modeReplace);
        CArchive ar(&file, CArchive::store);
        fill(ar);
        ar.Close();
        file.Commit();
    } catch (...) {
        file.Abort();
        throw;
    }
}
