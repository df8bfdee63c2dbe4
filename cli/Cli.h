// SPDX-License-Identifier: MIT
// The lumo command line: check, export and import entry files without the
// editor. Run is the whole program minus main(), so tests drive it in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lumo_cli {

enum ExitStatus {
    exitOk = 0,
    exitRefused = 1,  // a file is damaged, or the import refused its input
    exitUsage = 2,    // a usage error, or a file could not be read or written
};

// args: the command line without the program name. Results go to out,
// messages to err.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumo_cli
