// SPDX-License-Identifier: MIT
// lumo import: an entry file from JSON or CSV, or a translation into its template.
#include "Cli.h"
#include "Commands.h"
#include "EntryIo.h"
#include "EntryStore.h"
#include "FormatRegistry.h"
#include "StreamIo.h"
#include "Text.h"
#include "TranslationCommands.h"
#include "checks/TranslationChecks.h"

#include <ostream>

namespace lumo_cli {

int RunImport(const CArguments& args, std::ostream& out, std::ostream& err)
{
    if (args.operands.size() != 1)
        return UsageError(err, "import", args.operands.empty() ? "name the JSON or CSV file to import"
                                                                 : "import takes exactly one JSON or CSV file");
    const std::string& input = args.operands[0];
    const std::optional<std::string> output = args.Value("--output");
    if (!output)
        return UsageError(err, "import", "name the entry file to write with -o OUT.lumo");
    if (*output == "-")
        return UsageError(err, "import", "the entry file is binary; name a file to write with -o OUT.lumo");
    const CFormat* pFormat = args.Value("--format") ? FindFormat(*args.Value("--format")) : FormatOfPath(input);
    if (!pFormat)
        return UsageError(err, "import", "cannot tell the format of '" + Shown(input) +
                                             "' from its name; add --format json or --format csv (or po or xliff)");
    if (pFormat->bTranslations) {
        // The translation checks run before the import, their findings as warnings.
        CCheckOptions checks;
        try {
            checks = CheckOptionsFor(args, false);
        } catch (const CUsageError& e) {
            return UsageError(err, "import", e.what());
        }
        return RunImportTranslation(args, *pFormat, out, err, &checks);
    }
    if (HasCheckOptions(args))
        return UsageError(err, "import", "--strict and the checks' options go with a translation and --template");
    if (args.Has("--template") || args.Has("--untranslated"))
        return UsageError(err, "import", "--template and --untranslated go with --format po, pot or xliff");
    if (const int status = RefuseOutputThatIsInput(err, "import", *output, {{input, "the input"}}); status != exitOk)
        return status;

    std::string text;
    try {
        text = ReadTextInput(input);
    } catch (const std::exception& e) {
        FileError(err, input, e);
        return exitUsage;
    }
    CEntryStore entries;
    try {
        entries = pFormat->readEntries(text);
    } catch (const CArchiveException& e) {
        // A text too long for an entry file's record, as the writer reports it.
        FileError(err, *output, e);
        err << "lumo: " << Shown(*output) << " was left as it was\n";
        return exitUsage;
    } catch (const CImportError& e) {
        err << "lumo: " << Shown(input) << ": " << EscapeControls(e.what()) << "\nlumo: nothing was written to " << Shown(*output)
            << '\n';
        return exitRefused;
    }
    std::string().swap(text);  // the input is not needed to write
    return WriteEntriesOrReport(*output, entries, err);
}

}  // namespace lumo_cli
