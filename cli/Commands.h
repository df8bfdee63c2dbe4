// SPDX-License-Identifier: MIT
// The table of lumo's commands and what every command shares: the way an
// entry file comes in and is reported, the way an entry file goes out, and
// the wording of usage and file errors.
#pragma once

#include "CommandLine.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

struct Entry;
class CEntryStore;
struct CEntrySource;
}  // namespace lumo_cli
class CArchive;
struct CEntryFileNotes;
namespace lumo_cli {

struct CCommand {
    std::string name;
    std::string synopsis;  // for lumo --help: "check FILE..."
    std::string summary;   // for lumo --help, one or more lines
    std::string help;      // lumo COMMAND --help
    std::vector<COption> options;
    int (*run)(const CArguments& args, std::ostream& out, std::ostream& err);
};

// Every command, in the order lumo --help lists them. Adding a command is
// one row here and the file that runs it.
const std::vector<CCommand>& CommandTable();
const CCommand* FindCommand(std::string_view name);
// The program's own help: the commands' synopses from the table.
std::string MainHelp();

int RunCheck(const CArguments& args, std::ostream& out, std::ostream& err);
int RunExport(const CArguments& args, std::ostream& out, std::ostream& err);
int RunImport(const CArguments& args, std::ostream& out, std::ostream& err);
int RunDiff(const CArguments& args, std::ostream& out, std::ostream& err);

// Writes "lumo COMMAND: message" and the hint to the command's help; returns exitUsage.
int UsageError(std::ostream& err, std::string_view command, const std::string& message);
// "lumo: FILE: reason" for a file that could not be read or written.
void FileError(std::ostream& err, const std::string& path, const std::exception& e);

// What a command does with an entry file it reads, for the words of its messages.
struct CEntryPurpose {
    const char* nothingWas;  // "exported": "...; nothing was exported"
    const char* textsAre;    // "compared": "...; only the texts are compared"
    int nDamagedStatus;      // the exit status for a damaged file
};
// The one way in: reads an entry file (or stream) strictly, reports damage
// and prints the warnings for an empty file and for bytes no text holds.
// Returns exitOk, or the status to exit with once the message is printed.
int ReadEntriesOrReport(const std::string& path, std::vector<Entry>& entries, const CEntryPurpose& purpose,
                        std::ostream& err);
// The same for a reader that keeps the entries its own way: read gets the
// file's archive and the irregular records to fill.
int ReadEntryInputOrReport(const std::string& path, const CEntryPurpose& purpose, std::ostream& err,
                           const std::function<void(CArchive&, CEntryFileNotes&)>& read);
// Writes an entry file (or stream); on failure says why and that the target
// was left as it was. Returns the exit status.
int WriteEntriesOrReport(const std::string& path, const std::vector<Entry>& entries, std::ostream& err);
int WriteEntriesOrReport(const std::string& path, const CEntryStore& entries, std::ostream& err);
int WriteEntriesOrReport(const std::string& path, const CEntrySource& entries, std::ostream& err,
                         const std::function<void()>& beforeCommit);
// Refuses (status 2, usage error) an output that leads to one of the
// inputs; what names each input in the message ("the entry file").
// Returns exitOk when the output is safe.
int RefuseOutputThatIsInput(std::ostream& err, std::string_view command, const std::string& output,
                            const std::vector<std::pair<std::string, std::string>>& inputsAndWhat);

}  // namespace lumo_cli
