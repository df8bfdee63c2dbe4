// SPDX-License-Identifier: MIT
// lumo export: the entries as JSON or CSV, or their texts for translators.
#include "Cli.h"
#include "Commands.h"
#include "EntryIo.h"
#include "EntryStore.h"
#include "FormatRegistry.h"
#include "StreamIo.h"
#include "Text.h"
#include "TranslationCommands.h"

#include <ostream>

namespace lumo_cli {

int RunExport(const CArguments& args, std::ostream& out, std::ostream& err)
{
    if (args.operands.size() != 1)
        return UsageError(err, "export", args.operands.empty() ? "name the entry file to export"
                                                                 : "export takes exactly one entry file");
    const std::string& input = args.operands[0];
    const std::string output = args.Value("--output").value_or("");
    const bool bToStdout = output.empty() || output == "-";
    // Without --format, an output's name says which it wants.
    const CFormat* pByName = bToStdout ? nullptr : FormatOfPath(output);
    const CFormat& format = args.Value("--format") ? *FindFormat(*args.Value("--format"))
                                                    : (pByName ? *pByName : FormatOf(EFormat::json));
    if (format.bTranslations)
        return RunExportTranslation(args, format, out, err);
    if (args.Has("--source") || args.Has("--language") || args.Has("--source-language"))
        return UsageError(err, "export", "--source, --language and --source-language go with --format pot, po or xliff");
    if (const int status = RefuseOutputThatIsInput(err, "export", output, {{input, "the entry file"}}); status != exitOk)
        return status;

    CEntryStore entries;
    const CEntryPurpose purpose{"exported",
                                "exported, so an entry file made from the export will not be the same byte for byte",
                                exitRefused};
    if (const int status = ReadEntryInputOrReport(
            input, purpose, err,
            [&](CArchive& ar, CEntryFileNotes& irregular) { ReadEntryStore(ar, entries, &irregular); });
        status != exitOk)
        return status;
    try {
        WriteOutputWith(output, out, [&](const ByteSink& sink) { format.writeEntries(entries, sink); });
    } catch (const std::exception& e) {
        if (bToStdout)
            err << "lumo: " << e.what() << '\n';
        else
            FileError(err, output, e);
        return exitUsage;
    }
    return exitOk;
}

}  // namespace lumo_cli
