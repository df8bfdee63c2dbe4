// SPDX-License-Identifier: MIT
// lumo's commands for git: merge (the merge driver), textconv (the text form
// git diff shows) and git-setup. Each has an options struct and a run
// function that work without the command line; ParseArguments and the table
// below turn arguments into them until the commands join lumo's own table.
#pragma once

#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

using CommandFunction = int (*)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct CGitCommand {
    const char* name;
    const char* help;
    CommandFunction run;  // parses the arguments after the name, then runs
};

// The command of that name, or nullptr.
const CGitCommand* FindGitCommand(std::string_view name);

// Arguments in the usual GNU style: --name VALUE, --name=VALUE, -o VALUE,
// -oVALUE, flags, operands, "--" ends the options. -h and --help set help.
struct CParsedArguments {
    std::vector<std::string> operands;
    std::map<std::string, std::string> values;  // by long name, "--output" for -o
    std::map<std::string, bool> flags;
    bool help = false;
};
// valueOptions and flagOptions are long names ("--name"); "-o" stands for
// "--output". Throws CUsageError for an unknown option, a missing value or
// an option given twice.
CParsedArguments ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                                const std::vector<std::string>& flagOptions);

}  // namespace lumo_cli
