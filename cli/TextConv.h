// SPDX-License-Identifier: MIT
// lumo textconv FILE: an entry file as text for git diff, git log -p and git
// show (git's textconv). One entry per line, in file order:
//   STR_MENU_START: "Start Game"
//   STR_MENU_QUIT: "Quit", extra text "Shown on the title screen only"
// with names and texts shown as lumo diff shows them (UTF-8; quotes,
// backslashes, line breaks and control characters escaped). No numbers, no
// brackets, no separators: adding, removing or moving an entry changes only
// its own line, so git's line diff is an entry diff. A file that holds more
// than its entries, or is damaged, ends with a line starting with "# lumo:"
// that says so, after the entries that could be read.
#pragma once

#include "CommandLine.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

struct CTextConvOptions {
    std::string input;  // a file, or "-" for standard input
};

// The text form of an entry file's bytes, written to out.
void WriteTextForm(std::string_view bytes, std::ostream& out);

// 0, also for a damaged file (so that git diff and git log -p go on past it;
// the last line says what is wrong), 2 when the file cannot be read.
int RunTextConv(const CTextConvOptions& options, std::ostream& out, std::ostream& err);

int RunTextConvCommand(const CArguments& args, std::ostream& out, std::ostream& err);

extern const char* const kTextConvHelp;

}  // namespace lumo_cli
