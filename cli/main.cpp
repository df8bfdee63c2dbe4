// SPDX-License-Identifier: MIT
#include "Cli.h"

#include "platform/Exceptions.h"
#include "platform/File.h"

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>

#include <unistd.h>

int main(int argc, char** argv)
{
    // Under a file size limit (ulimit -f) a write past it would kill lumo and
    // leave its temporary file; ignored, the write fails and is reported.
    std::signal(SIGXFSZ, SIG_IGN);
    // Ctrl+C, kill or a closed terminal during a save: no temporary file stays.
    AfxRemoveTempFileOnSignals();
    // A file written as asked, with something to know: another owner, say.
    AfxSetReplaceNoteHandler([](const CString& strFileName, const CString& strNote) {
        std::cerr << "lumo: warning: " << strFileName << " was saved, but " << strNote << '\n';
    });
    // Under a memory limit that leaves the process hardly room to start, the
    // C++ library may have had none for the exception it throws when memory
    // runs out, and would abort instead: a start with less than a margin is
    // refused here, before anything can throw.
    if (void* margin = std::malloc(std::size_t(1) << 20)) {
        std::free(margin);
    } else {
        static const char kMessage[] = "lumo: there is not enough memory\n";
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        return lumo_cli::exitUsage;
    }
    try {
        // It allocates the streams' buffers, so under a memory limit it may throw too.
        std::ios::sync_with_stdio(false);
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const int status = lumo_cli::Run(args, std::cout, std::cerr);
        // Help and version text too must reach their reader.
        if (status == lumo_cli::exitOk && !std::cout.flush()) {
            std::cerr << "lumo: cannot write to standard output\n";
            return lumo_cli::exitUsage;
        }
        return status;
    } catch (const std::bad_alloc&) {
        std::cerr << "lumo: there is not enough memory\n";
    } catch (const std::exception& e) {
        std::cerr << "lumo: " << AfxDescribeException(e) << '\n';
    }
    return lumo_cli::exitUsage;
}
