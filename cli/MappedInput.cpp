// SPDX-License-Identifier: MIT
#include "MappedInput.h"

#include "platform/Exceptions.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <algorithm>
#include <mutex>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo_cli {

namespace {

// Reading a mapped page past the end of a file that shrank raises SIGBUS.
// The handler puts 0 bytes in place of the rest of the file's mapping, notes
// the cut, and the read goes on; a fault anywhere else is left to the
// action that was there before. What it looks at is set before a mapping
// is read and cleared after, with atomics only.
struct CGuard {
    std::atomic<char*> base{nullptr};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> bCut{false};
    std::atomic<bool> bTaken{false};
};
constexpr int kGuards = 16;
CGuard g_guards[kGuards];
struct sigaction g_before {};

void OnBusError(int signal, siginfo_t* info, void* context)
{
    const auto* address = static_cast<const char*>(info->si_addr);
    for (CGuard& guard : g_guards) {
        char* const base = guard.base.load();
        const std::size_t size = guard.size.load();
        if (!base || address < base || address >= base + size)
            continue;
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        char* const from = base + static_cast<std::size_t>(address - base) / page * page;
        if (::mmap(from, static_cast<std::size_t>(base + size - from), PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            guard.bCut.store(true);
            return;
        }
        break;
    }
    // Not ours: as it would have been without this handler.
    if (g_before.sa_flags & SA_SIGINFO) {
        if (g_before.sa_sigaction) {
            g_before.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_before.sa_handler != SIG_DFL && g_before.sa_handler != SIG_IGN) {
        g_before.sa_handler(signal);
        return;
    }
    ::signal(signal, SIG_DFL);  // the fault happens again on return, and ends the process
}

void InstallHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_before);
    });
}

int TakeGuard(char* base, std::size_t size)
{
    InstallHandler();
    for (int i = 0; i < kGuards; ++i) {
        bool bFree = false;
        if (g_guards[i].bTaken.compare_exchange_strong(bFree, true)) {
            g_guards[i].bCut.store(false);
            g_guards[i].size.store(size);
            g_guards[i].base.store(base);
            return i;
        }
    }
    return -1;
}

}  // namespace

CMappedInput::CMappedInput(const std::string& path) : m_path(path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        CFileException::ThrowOsError(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        CFileException::ThrowOsError(error, path);
    }
    m_size = static_cast<std::size_t>(st.st_size);
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    // The file's pages on an anonymous mapping a page longer: 0 bytes after it.
    m_mapped = ((m_size + kPadding) / page + 1) * page;
    void* base = ::mmap(nullptr, m_mapped, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        ::close(fd);
        throw std::bad_alloc();
    }
    if (m_size > 0 && ::mmap(base, m_size, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
        const int error = errno;
        ::munmap(base, m_mapped);
        ::close(fd);
        CFileException::ThrowOsError(error, path);
    }
    ::close(fd);
    m_base = static_cast<char*>(base);
    m_nGuard = TakeGuard(m_base, m_mapped);
    if (m_nGuard < 0) {
        // More files open at once than the handler watches: none of lumo's
        // commands reads so many.
        ::munmap(m_base, m_mapped);
        throw std::bad_alloc();
    }
    ::madvise(m_base, m_mapped, MADV_SEQUENTIAL);
}

CMappedInput::~CMappedInput()
{
    CGuard& guard = g_guards[m_nGuard];
    guard.base.store(nullptr);
    guard.size.store(0);
    ::munmap(m_base, m_mapped);
    guard.bTaken.store(false);
}

void CMappedInput::Release(std::size_t offset)
{
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = std::min(offset, m_size) / page * page;
    if (end > m_released) {
        ::madvise(m_base + m_released, end - m_released, MADV_DONTNEED);
        m_released = end;
    }
}

void CMappedInput::Release(std::size_t from, std::size_t to) const
{
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    from = (from + page - 1) / page * page;
    to = std::min(to, m_size) / page * page;
    if (to > from)
        ::madvise(m_base + from, to - from, MADV_DONTNEED);
}

void CMappedInput::ThrowIfCut() const
{
    if (g_guards[m_nGuard].bCut.load())
        throw CFileException(CFileException::changedWhileRead, 0, m_path);
}

}  // namespace lumo_cli
