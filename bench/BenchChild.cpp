// SPDX-License-Identifier: MIT
#include "BenchChild.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <stdexcept>
#include <string>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumo_bench {

namespace {

double ProcessCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

namespace {

// What the child sends back through its pipe.
struct CReply {
    bool bOk;
    CChildFigures figures;
    char message[512];
};

void WriteReply(int fd, const CReply& reply)
{
    const char* p = reinterpret_cast<const char*>(&reply);
    std::size_t n = sizeof reply;
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return;
        p += done;
        n -= static_cast<std::size_t>(done);
    }
}

}  // namespace

void FailChild(const char* message)
{
    std::fprintf(stderr, "lumo_bench: %s\n", message);
    std::fflush(stderr);
    ::_exit(3);
}

CChildFigures MeasureInChild(const std::function<void()>& work, const std::function<void()>& prepare)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
    std::fflush(nullptr);  // nothing buffered may be written twice
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::runtime_error(std::string("cannot fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(fds[0]);
        CReply reply{};
        try {
            if (prepare)
                prepare();
            // The heap the parent freed is still resident in the child: work
            // that reused it would show no growth. It goes back to the system
            // first, so the work's pages are its own, as in a fresh process.
            ::malloc_trim(0);
            reply.figures.bPeakReset = ResetPeakMemory();
            const std::uint64_t nBefore = ResidentBytes();
            // The work may use more than one thread: its processor time is the process's.
            const double cpuBefore = ProcessCpuMs();
            CStopwatch sw;
            work();
            reply.figures.time = sw.Stop();
            reply.figures.time.cpu = ProcessCpuMs() - cpuBefore;
            const std::uint64_t nPeak = PeakResidentBytes();
            reply.figures.nPeakGrowth = nPeak > nBefore ? nPeak - nBefore : 0;
            reply.bOk = true;
        } catch (const std::exception& e) {
            std::snprintf(reply.message, sizeof reply.message, "%s", e.what());
        }
        WriteReply(fds[1], reply);
        std::fflush(nullptr);
        ::_exit(0);  // no destructors or exit handlers of the parent's objects run twice
    }
    ::close(fds[1]);
    CReply reply{};
    std::size_t nRead = 0;
    while (nRead < sizeof reply) {
        const ssize_t n = ::read(fds[0], reinterpret_cast<char*>(&reply) + nRead, sizeof reply - nRead);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        nRead += static_cast<std::size_t>(n);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (nRead != sizeof reply) {
        const std::string how = WIFSIGNALED(status) ? "was killed by signal " + std::to_string(WTERMSIG(status))
                                                    : "ended with status " + std::to_string(WEXITSTATUS(status));
        throw std::runtime_error("the measuring process " + how);
    }
    if (!reply.bOk)
        throw std::runtime_error(reply.message);
    return reply.figures;
}

}  // namespace lumo_bench
