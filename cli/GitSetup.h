// SPDX-License-Identifier: MIT
// lumo git-setup: makes lumo git's diff and merge driver for entry files, by
// writing the two settings with git config, and (inside a repository) the
// attribute line that applies them to *.lumo files.
#pragma once

#include "CommandLine.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace lumo_cli {

struct CGitSetupOptions {
    bool bGlobal = false;      // --global: the user's git config, not the repository's
    bool bAttributes = false;  // --attributes: add the line to the repository's .gitattributes
    std::string program;       // how git should call lumo; empty: this program as the shell finds it
};

// The command git runs for lumo: "lumo" when that is this program on PATH,
// otherwise this program's own path, quoted for the shell where needed.
std::string LumoCommandForGit();

// Idempotent: a setting that is already right is left alone. Prints what it
// did. 0 when all is set, 2 when git is missing or fails, or outside a
// repository without --global.
int RunGitSetup(const CGitSetupOptions& options, std::ostream& out, std::ostream& err);

int RunGitSetupCommand(const CArguments& args, std::ostream& out, std::ostream& err);

extern const char* const kGitSetupHelp;

}  // namespace lumo_cli
