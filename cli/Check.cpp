// SPDX-License-Identifier: MIT
// lumo check FILE...: one line per file, sound, sound with bytes no entry
// holds, or damaged.
#include "Cli.h"
#include "Commands.h"
#include "EntryIo.h"
#include "MergeMarkers.h"
#include "StreamIo.h"
#include "Text.h"
#include "checks/TranslationChecks.h"

#include <algorithm>
#include <ostream>

namespace lumo_cli {

namespace {

// Texts that still hold git's conflict markers: an unresolved merge, which
// must not slip into a release. Empty when there are none.
std::string DescribeConflictMarkers(const std::vector<Entry>& entries)
{
    std::size_t nTexts = 0;
    std::string first;
    for (std::size_t i = 0; i < entries.size(); ++i)
        for (const auto& [text, what] : {std::pair{&entries[i].data, "data"}, {&entries[i].extra, "extra"}})
            if (HoldsConflictMarkers(*text) && nTexts++ == 0)
                first = std::string("the ") + what + " text of entry " + std::to_string(i + 1) + " (" +
                        ShownEntryName(entries[i].name) + ")";
    if (nTexts == 0)
        return {};
    return nTexts == 1 ? first + " holds merge conflict markers"
                       : std::to_string(nTexts) + " texts hold merge conflict markers, the first " + first;
}

}  // namespace

int RunCheck(const CArguments& args, std::ostream& out, std::ostream& err)
{
    // --against and --template check translations against their source.
    if (IsTranslationCheck(args))
        return RunTranslationCheckCommand(args, out, err);
    if (HasTranslationCheckOnlyOptions(args))
        return UsageError(err, "check",
                          "--checks, --skip, --placeholder, --max-length, --max-growth and --format go with --against "
                          "or --template");
    // What a save would not keep counts as a fault with --strict.
    const bool bStrict = args.Has("--strict");
    if (args.operands.empty())
        return UsageError(err, "check", "name at least one entry file to check");
    std::vector<std::pair<std::string, std::string>> inputs;
    for (const std::string& path : args.operands)
        inputs.emplace_back(path, "the entry file");
    if (const int status = RefuseOutputThatIsInput(err, "check", "", inputs); status != exitOk)
        return status;

    int status = exitOk;
    for (const std::string& path : args.operands) {
        // A name that holds a line break or an escape sequence could forge a line.
        const std::string shown = Shown(path);
        try {
            CIrregularRecords notes;
            std::vector<Entry> entries;
            const UINT nCount = ReadEntryInput(path, &entries, &notes);
            out << shown << ": ok, " << nCount << " entries";
            // Bytes the editor would not keep are worth a word, in the editor's words.
            if (const std::string lost = DescribeLostBytes(notes); !lost.empty()) {
                out << "; " << lost;
                if (bStrict)
                    status = std::max<int>(status, exitRefused);
            }
            if (const std::string markers = DescribeConflictMarkers(entries); !markers.empty()) {
                out << "; warning: " << markers;
                if (bStrict)
                    status = std::max<int>(status, exitRefused);
            }
            out << '\n';
        } catch (const CEntryFileException& e) {
            out << shown << ": " << DescribeDamage(e) << '\n';
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
