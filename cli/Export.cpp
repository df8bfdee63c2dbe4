// SPDX-License-Identifier: MIT
#include "Cli.h"
#include "Commands.h"
#include "EntryIo.h"
#include "ExportOutput.h"
#include "Formats.h"
#include "Options.h"
#include "TranslationCommands.h"
#include "StreamIo.h"

#include <ostream>

namespace lumo_cli {

int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    CCommandLine cl;
    try {
        cl = ParseCommandLine(args, optOutput | optFormat | optTranslationFormat | optSource);
    } catch (const CUsageError& e) {
        return UsageError(err, "export", e.what());
    }
    if (cl.help) {
        out << HelpText("export");
        return exitOk;
    }
    if (cl.operands.size() != 1)
        return UsageError(err, "export", cl.operands.empty() ? "name the entry file to export"
                                                               : "export takes exactly one entry file");
    const std::string& input = cl.operands[0];
    const bool bToStdout = !cl.output || *cl.output == "-";
    // Without --format, an output named .csv or .json says which it wants.
    const EFormat format = cl.format ? *cl.format
                                     : (bToStdout ? EFormat::json : FormatFromExtension(*cl.output).value_or(EFormat::json));
    if (IsTranslationFormat(format))
        return RunExportTranslation(cl, format, out, err);
    if (cl.source || cl.language || cl.sourceLanguage)
        return UsageError(err, "export", "--source, --language and --source-language go with --format pot, po or xliff");
    if (!bToStdout && !IsStream(*cl.output) && IsSameFile(input, *cl.output))
        return UsageError(err, "export", "the output '" + *cl.output + "' is the entry file itself; it would be replaced");

    std::vector<Entry> entries;
    CIrregularRecords irregular;
    try {
        ReadEntryInput(input, &entries, &irregular);
    } catch (const CEntryFileException& e) {
        err << "lumo: " << input << ": " << DescribeDamage(e) << "; nothing was exported\n";
        return exitRefused;
    } catch (const std::exception& e) {
        FileError(err, input, e);
        return exitUsage;
    }
    if (irregular.bEmptyFile)
        err << "lumo: warning: " << input << ": the file is empty (0 bytes); it holds no entries, and an entry file "
                                             "made from the export holds the 4-byte count of 0 instead\n";
    if (const std::string warning = DescribeIrregular(irregular); !warning.empty())
        err << "lumo: warning: " << input << ": " << warning
            << "; only the texts are exported, so an entry file made from the export will not be the same byte "
               "for byte\n";

    try {
        WriteExport(bToStdout ? std::string("-") : *cl.output, out, [&](const ByteSink& sink) {
            if (format == EFormat::json)
                WriteJsonEntries(entries, sink);
            else
                WriteCsvEntries(entries, sink);
        });
    } catch (const std::exception& e) {
        if (bToStdout)
            err << "lumo: " << e.what() << '\n';
        else
            FileError(err, *cl.output, e);
        return exitUsage;
    }
    return exitOk;
}

}  // namespace lumo_cli
