// SPDX-License-Identifier: MIT
#include "Cli.h"
#include "Commands.h"
#include "EntryIo.h"
#include "Options.h"
#include "StreamIo.h"
#include "checks/TranslationChecks.h"

#include <algorithm>
#include <ostream>

namespace lumo_cli {

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    // --against and --template check translations; their options are their own.
    if (IsTranslationCheck(args))
        return RunTranslationCheckCommand(args, out, err);
    // --strict is check's own: what a save would not keep counts as a fault.
    bool bStrict = false;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        if (args[i] == "--strict")
            bStrict = true;
        else
            rest.push_back(args[i]);
    }
    CCommandLine cl;
    try {
        cl = ParseCommandLine(rest, optNone);
    } catch (const CUsageError& e) {
        return UsageError(err, "check", e.what());
    }
    if (cl.help) {
        out << HelpText("check");
        return exitOk;
    }
    if (cl.operands.empty())
        return UsageError(err, "check", "name at least one entry file to check");

    int status = exitOk;
    for (const std::string& path : cl.operands) {
        try {
            CIrregularRecords notes;
            const UINT nCount = ReadEntryInput(path, nullptr, &notes);
            out << path << ": ok, " << nCount << " entries";
            // Bytes the editor would not keep are worth a word, in the editor's words.
            if (const std::string lost = DescribeLostBytes(notes); !lost.empty()) {
                out << "; " << lost;
                if (bStrict)
                    status = std::max<int>(status, exitRefused);
            }
            out << '\n';
        } catch (const CEntryFileException& e) {
            out << path << ": " << DescribeDamage(e) << '\n';
            status = std::max<int>(status, exitRefused);
        } catch (const std::exception& e) {
            out.flush();  // keep the order of the lines when both streams go to one place
            FileError(err, path, e);
            status = exitUsage;
        }
    }
    if (!out.flush()) {
        err << "lumo: cannot write to standard output\n";
        return exitUsage;
    }
    return status;
}

}  // namespace lumo_cli
