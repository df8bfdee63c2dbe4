// SPDX-License-Identifier: MIT
// Running shell command lines from the tests: the built program with the
// shell's redirections, and gettext's and libxml2's command-line tools, which
// check that those tools accept what lumo writes and the other way round.
#pragma once

#include <string>

namespace lumo_cli_test {

// True when the program can be found on PATH.
bool HaveTool(const std::string& name);

struct CToolResult {
    int status;          // the exit status; -1 when it did not exit normally
    std::string output;  // standard output and standard error together
};
// Runs a shell command line.
CToolResult RunTool(const std::string& commandLine);

// A path or text quoted for the shell.
std::string Quoted(const std::string& text);
// Runs a command line with bash, where a failure anywhere in a pipeline
// counts; its exit status, or -1 when it did not exit normally.
int Shell(const std::string& commandLine);

}  // namespace lumo_cli_test

// Skips the test when a tool is missing; `make test` installs them all.
#define REQUIRE_TOOL(name)                                                      \
    do {                                                                        \
        if (!lumo_cli_test::HaveTool(name))                                     \
            GTEST_SKIP() << (name) << " is not installed (Debian package: gettext or libxml2-utils)"; \
    } while (0)
