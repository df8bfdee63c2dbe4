#include "Cli.h"
#include "Commands.h"
#include "EntryIo.h"
#include "Options.h"
#include "StreamIo.h"

#include <algorithm>
#include <ostream>

namespace lumo_cli {

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    CCommandLine cl;
    try {
        cl = ParseCommandLine(args, optNone);
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
            const UINT nCount = ReadEntryInput(path, nullptr);
            out << path << ": ok, " << nCount << " entries\n";
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
