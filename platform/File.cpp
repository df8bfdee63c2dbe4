// SPDX-License-Identifier: MIT
#include "File.h"

#include "Archive.h"
#include "Exceptions.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

long long Nanoseconds(const struct timespec& t)
{
    return static_cast<long long>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

CFileIdentity IdentityOf(const struct stat& st)
{
    CFileIdentity identity;
    identity.nDevice = static_cast<ULONGLONG>(st.st_dev);
    identity.nInode = static_cast<ULONGLONG>(st.st_ino);
    identity.nSize = static_cast<ULONGLONG>(st.st_size);
    identity.nMode = static_cast<unsigned>(st.st_mode);
    identity.nUid = static_cast<unsigned>(st.st_uid);
    identity.nGid = static_cast<unsigned>(st.st_gid);
    identity.nLinks = static_cast<ULONGLONG>(st.st_nlink);
#if defined(__APPLE__)
    identity.nModifiedNs = Nanoseconds(st.st_mtimespec);
    identity.nChangedNs = Nanoseconds(st.st_ctimespec);
#else
    identity.nModifiedNs = Nanoseconds(st.st_mtim);
    identity.nChangedNs = Nanoseconds(st.st_ctim);
#endif
    return identity;
}

// Six characters from 62 give 56 billion names: nobody can take them all
// beforehand, and the bytes come from the kernel, so nobody can guess them.
constexpr std::size_t kRandomChars = 6;

std::string RandomChars()
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string chars;
    while (chars.size() < kRandomChars) {
        unsigned char bytes[16];
        const ssize_t n = ::getrandom(bytes, sizeof bytes, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw CFileException(CFileException::generic, errno, "/dev/urandom");
        }
        // 248 = 4 × 62: bytes above it would favour the first characters.
        for (ssize_t i = 0; i < n && chars.size() < kRandomChars; ++i)
            if (bytes[i] < 248)
                chars += kAlphabet[bytes[i] % 62];
    }
    return chars;
}

// The temporary file's name: hidden, beside the target, and never longer than
// a name may be there, however long the target's name is.
std::string TempFileName(const fs::path& dir, const std::string& targetName, const std::string& random)
{
    long nameMax = 255;
    if (const long n = ::pathconf(dir.c_str(), _PC_NAME_MAX); n > 0)
        nameMax = n;
    const std::string suffix = "." + random + ".tmp";
    const std::size_t room = static_cast<std::size_t>(std::max<long>(nameMax - 1 - static_cast<long>(suffix.size()), 1));
    std::size_t keep = std::min(targetName.size(), room);
    // Cut between characters, not inside one (names are UTF-8 here).
    while (keep > 0 && keep < targetName.size() && (static_cast<unsigned char>(targetName[keep]) & 0xC0) == 0x80)
        --keep;
    return "." + targetName.substr(0, keep) + suffix;
}

fs::path FolderOf(const fs::path& path)
{
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The file a save replaces: links are followed to the end of their chain,
// and a dangling link to the name it points at, so the link stays a link.
// Because we replace by renaming onto that name, the kernel's guard against
// links planted in shared folders (fs.protected_symlinks) never sees the
// link; its rule is applied here: in a sticky folder that everyone may write
// to, only a link of our own or of the folder's owner is followed.
fs::path ResolveLinks(const CString& strFileName)
{
    fs::path current(strFileName);
    for (int nHops = 0;; ++nHops) {
        struct stat lst {};
        if (::lstat(current.c_str(), &lst) != 0) {
            if (errno == ENOENT)
                return current;  // a new file; its folder is checked when the temporary file is made
            CFileException::ThrowOsError(errno, strFileName);
        }
        if (!S_ISLNK(lst.st_mode))
            return current;
        if (nHops == 40)  // the kernel's own limit
            throw CFileException(CFileException::linkLoop, ELOOP, strFileName);
        struct stat dst {};
        if (::stat(FolderOf(current).c_str(), &dst) == 0 && (dst.st_mode & S_ISVTX) && (dst.st_mode & S_IWOTH) &&
            lst.st_uid != ::geteuid() && lst.st_uid != dst.st_uid)
            throw CFileException(CFileException::unsafeLink, EACCES, strFileName);
        std::string target(static_cast<std::size_t>(std::max<off_t>(lst.st_size, 0)) + 256, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0)
            CFileException::ThrowOsError(errno, strFileName);
        target.resize(static_cast<std::size_t>(n));
        const fs::path next(target);
        current = next.is_absolute() ? next : FolderOf(current) / next;
    }
}

CString UserName(uid_t uid)
{
    char buffer[4096];
    struct passwd pw {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &pw, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    return std::to_string(uid);
}

CString GroupName(gid_t gid)
{
    char buffer[4096];
    struct group gr {};
    struct group* found = nullptr;
    if (::getgrgid_r(gid, &gr, buffer, sizeof buffer, &found) == 0 && found)
        return found->gr_name;
    return std::to_string(gid);
}

// The temporary file's name where a signal handler can read it: written into
// the buffer not in use, then published by its index, so a handler running
// in any thread sees either the old name or the new one, whole.
char g_tempNames[2][PATH_MAX + 1];
std::atomic<int> g_nTempName{-1};

void PublishTempName(const std::string& name)
{
    if (name.size() > PATH_MAX)
        return;
    const int nFree = g_nTempName.load() == 0 ? 1 : 0;
    std::memcpy(g_tempNames[nFree], name.c_str(), name.size() + 1);
    g_nTempName.store(nFree);
}

void ForgetTempName()
{
    g_nTempName.store(-1);
}

// While the temporary file is made and before its name is published, a
// signal waits: -1 while opening, the signal's number once one came.
std::atomic<int> g_nDeferredSignal{0};

extern "C" void RemoveTempFileAndDie(int nSignal)
{
    int expected = -1;
    if (g_nDeferredSignal.compare_exchange_strong(expected, nSignal))
        return;  // OpenReplacement ends the program once the name is known
    const int saved = errno;
    if (const int n = g_nTempName.load(); n >= 0)
        ::unlink(g_tempNames[n]);
    errno = saved;
    ::signal(nSignal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, nSignal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(nSignal);
}

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the index");

AfxReplaceNoteHandler g_noteHandler = nullptr;

}  // namespace

void AfxSetReplaceNoteHandler(AfxReplaceNoteHandler handler)
{
    g_noteHandler = handler;
}

void AfxRemoveTempFileOnSignals()
{
    for (const int nSignal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(nSignal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;  // nohup and the like want it ignored
        struct sigaction action {};
        action.sa_handler = &RemoveTempFileAndDie;
        sigemptyset(&action.sa_mask);
        ::sigaction(nSignal, &action, nullptr);
    }
}

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

    OpenReplacement(strFileName);
}

void CFile::OpenReplacement(const CString& strFileName)
{
    // Write beside the file the name leads to, so the rename stays on one file system.
    const fs::path target = ResolveLinks(strFileName);
    struct stat st {};
    const bool bExists = ::stat(target.c_str(), &st) == 0;
    if (bExists && S_ISDIR(st.st_mode))
        throw CFileException(CFileException::isDirectory, EISDIR, strFileName);
    if (bExists && !S_ISREG(st.st_mode))
        throw CFileException(CFileException::badPath, 0, strFileName);
    // A file marked read-only is not replaced, even where the user could.
    if (bExists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw CFileException(CFileException::readOnly, EACCES, strFileName);
    if (bExists && ::access(target.c_str(), W_OK) != 0)
        CFileException::ThrowOsError(errno, strFileName);

    // Made exclusively and private: nobody else can open it, or have put a
    // file or a link at its name, before it holds what it should. Its real
    // mode comes in Commit, once every byte is in.
    const fs::path dir = FolderOf(target);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const fs::path temp = dir / TempFileName(dir, target.filename().string(), RandomChars());
        g_nDeferredSignal.store(-1);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        const int err = errno;
        if (fd >= 0)
            PublishTempName(temp.string());
        if (const int nSignal = g_nDeferredSignal.exchange(0); nSignal > 0)
            RemoveTempFileAndDie(nSignal);
        if (fd >= 0)
            m_strTempName = temp.string();
        else if (err != EEXIST)
            CFileException::ThrowOsError(err, strFileName);
    }
    if (fd < 0)
        throw CFileException(CFileException::generic, EEXIST, strFileName);
    m_pFile = ::fdopen(fd, "wb");
    if (!m_pFile) {
        const int err = errno;
        ::close(fd);
        Abort();
        CFileException::ThrowOsError(err, strFileName);
    }
    std::setvbuf(m_pFile, nullptr, _IONBF, 0);
    // The replacement keeps the target's permissions; a new file gets the usual ones.
    m_bTargetExists = bExists;
    m_nTargetMode = bExists ? (st.st_mode & 07777) : [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<unsigned>(0666 & ~mask);
    }();
    m_nTargetUid = bExists ? st.st_uid : ::geteuid();
    m_nTargetGid = bExists ? st.st_gid : 0;
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

CString CFile::Commit()
{
    if (!m_pFile || !m_bReplacing)
        return {};
    const int fd = fileno(m_pFile);
    CString note;
    // Owner and group as the target's, where the system lets us (root may
    // give the file back to its owner; a user may keep its group if a
    // member). chown clears set-id bits, so the mode comes after it.
    if (m_bTargetExists && ::fchown(fd, m_nTargetUid, m_nTargetGid) != 0) {
        (void)!::fchown(fd, static_cast<uid_t>(-1), m_nTargetGid);
        struct stat now {};
        if (::fstat(fd, &now) == 0 && (now.st_uid != m_nTargetUid || now.st_gid != m_nTargetGid))
            note = "it now belongs to user " + UserName(now.st_uid) + " and group " + GroupName(now.st_gid) +
                   " (it belonged to user " + UserName(m_nTargetUid) + " and group " + GroupName(m_nTargetGid) +
                   "): a save writes a new file, and only the administrator may give a file to another " +
                   (now.st_uid != m_nTargetUid ? "user" : "group");
    }
    int err = 0;
    if (::fchmod(fd, m_nTargetMode) != 0)
        err = errno;
    if (err == 0 && std::fflush(m_pFile) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (std::fclose(m_pFile) != 0 && err == 0)
        err = errno;
    m_pFile = nullptr;
    if (err == 0 && ::rename(m_strTempName.c_str(), m_strTarget.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(m_strTempName.c_str());
        ForgetTempName();
        m_strTempName.clear();
        m_bReplacing = false;
        CFileException::ThrowOsError(err, m_strFileName);
    }
    ForgetTempName();
    m_strTempName.clear();
    m_bReplacing = false;

    // The new name is only safe from a power loss once the folder is on disk.
    // File systems that cannot sync a folder say EINVAL: nothing to tell.
    const fs::path dir = FolderOf(m_strTarget);
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int syncErr = dirFd < 0 ? errno : (::fsync(dirFd) != 0 ? errno : 0);
    if (dirFd >= 0)
        ::close(dirFd);
    if (syncErr != 0 && syncErr != EINVAL && syncErr != ENOTSUP) {
        note += note.empty() ? "" : "; and ";
        note += "its folder " + dir.string() + " could not be synced to the disk (" + std::strerror(syncErr) +
                "), so a power failure now could still lose the new file";
    }
    return note;
}

void CFile::Abort()
{
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    if (!m_strTempName.empty()) {
        ::unlink(m_strTempName.c_str());
        ForgetTempName();
        m_strTempName.clear();
    }
    m_bReplacing = false;
}

CString AfxReplaceFile(const CString& strFileName, const std::function<void(CArchive&)>& fill)
{
    CFile file;
    CString note;
    try {
        file.Open(strFileName, CFile::modeReplace);
        CArchive ar(&file, CArchive::store);
        fill(ar);
        ar.Close();
        note = file.Commit();
    } catch (...) {
        file.Abort();
        throw;
    }
    if (!note.empty() && g_noteHandler)
        g_noteHandler(strFileName, note);
    return note;
}
