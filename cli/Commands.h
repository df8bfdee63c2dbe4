// SPDX-License-Identifier: MIT
// The commands behind lumo_cli::Run, each given the arguments after its name.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

struct Entry;

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The help of a command ("" for the program's own); nullptr for no such command.
const char* HelpText(std::string_view command);

// Writes "lumo COMMAND: message" and the hint to the command's help; returns exitUsage.
int UsageError(std::ostream& err, std::string_view command, const std::string& message);
// "lumo: FILE: reason" for a file that could not be read or written.
void FileError(std::ostream& err, const std::string& path, const std::exception& e);
// Writes an entry file (or stream); on failure says why and that the target
// was left as it was. Returns the exit status.
int WriteEntriesOrReport(const std::string& path, const std::vector<Entry>& entries, std::ostream& err);

}  // namespace lumo_cli
