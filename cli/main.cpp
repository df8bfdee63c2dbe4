// SPDX-License-Identifier: MIT
#include "Cli.h"

#include "platform/Exceptions.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <new>

int main(int argc, char** argv)
{
    // Under a file size limit (ulimit -f) a write past it would kill lumo and
    // leave its temporary file; ignored, the write fails and is reported.
    std::signal(SIGXFSZ, SIG_IGN);
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
