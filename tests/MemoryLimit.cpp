// SPDX-License-Identifier: MIT
// The editor under an address-space limit (ulimit -v), opening a file of
// 200,000 entries and drawing it: at every limit it either shows the file or
// says there is not enough memory, never crashes. Each limit is a run of the
// built program in a child process; a search finds the lowest limit at which
// the file shows, and the band below it, where the load just fits but the
// view may not, is tried step by step.
#include "Harness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

enum class EOutcome { shown, refused, notLoaded, failed };

struct CRun {
    EOutcome outcome;
    std::string detail;
};

CRun RunUnderLimit(const fs::path& dir, const fs::path& file, std::size_t nLimitKB)
{
    int out[2];
    if (::pipe(out) != 0)
        return {EOutcome::failed, "pipe failed"};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 2);
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        const struct rlimit limit {nLimitKB * 1024, nLimitKB * 1024};
        ::setrlimit(RLIMIT_AS, &limit);
        ::alarm(30);  // survives exec: a hang ends as SIGALRM
        const std::string shot = (dir / "shot.png").string();
        const char* argv[] = {LUMO_EDITOR_BINARY, "-platform", "offscreen", "--screenshot", shot.c_str(),
                              file.c_str(), nullptr};
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::_exit(126);
    }
    ::close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::string detail = std::to_string(nLimitKB) + " KB: status " + std::to_string(status) + ": " + text;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {EOutcome::shown, detail};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1 && text.find("there is not enough memory") != std::string::npos)
        return {EOutcome::refused, detail};
    // The dynamic loader could not map the libraries: the program never ran.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && text.find("error while loading shared libraries") != std::string::npos)
        return {EOutcome::notLoaded, detail};
    return {EOutcome::failed, detail};
}

TEST(MemoryLimit, EveryLimitShowsTheFileOrRefusesIt)
{
    TempDir dir;
    const fs::path file = dir / "many.lumo";
    std::vector<Entry> entries;
    entries.reserve(200000);
    for (int i = 0; i < 200000; ++i)
        entries.push_back({"STR_" + std::to_string(1000000 + i), "Text " + std::to_string(i), ""});
    WriteFile(file, EntryFileBytes(entries));

    std::map<std::size_t, CRun> runs;
    auto run = [&](std::size_t nKB) -> EOutcome {
        auto it = runs.find(nKB);
        if (it == runs.end())
            it = runs.emplace(nKB, RunUnderLimit(dir.Path(), file, nKB)).first;
        EXPECT_NE(it->second.outcome, EOutcome::failed) << it->second.detail;
        return it->second.outcome;
    };

    // The lowest limit, to 1 MB, at which the file shows.
    std::size_t lo = 32 << 10, hi = 4 << 20;
    ASSERT_EQ(run(hi), EOutcome::shown) << runs.at(hi).detail;
    while (hi - lo > 1024) {
        const std::size_t mid = lo + (hi - lo) / 2;
        (run(mid) == EOutcome::shown ? hi : lo) = mid;
    }
    // Below it the load itself may fit while what the view needs does not.
    int nRefused = 0;
    for (std::size_t nKB = hi - 1024; nKB + (48 << 10) >= hi && nKB > (32 << 10); nKB -= 2048)
        nRefused += run(nKB) == EOutcome::refused;
    EXPECT_GT(nRefused, 0) << "no limit was low enough to be refused";
    std::size_t nFailed = 0;
    for (const auto& [nKB, r] : runs)
        nFailed += r.outcome == EOutcome::failed;
    EXPECT_EQ(nFailed, 0u) << "of " << runs.size() << " limits tried; the file shows from " << hi << " KB";
}

}  // namespace
