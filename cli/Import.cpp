// SPDX-License-Identifier: MIT
#include "Cli.h"
#include "Commands.h"
#include "EntryIo.h"
#include "Formats.h"
#include "Options.h"
#include "TranslationCommands.h"
#include "StreamIo.h"
#include "checks/TranslationChecks.h"

#include <ostream>

namespace lumo_cli {

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    // The translation checks' options (--strict, --checks, ...) are theirs to parse.
    CCheckOptions checks;
    bool bChecksGiven = false;
    CCommandLine cl;
    try {
        cl = ParseCommandLine(TakeImportCheckOptions(args, checks, bChecksGiven), optOutput | optFormat | optTranslationFormat | optTemplate);
    } catch (const CUsageError& e) {
        return UsageError(err, "import", e.what());
    }
    if (cl.help) {
        out << HelpText("import");
        return exitOk;
    }
    if (cl.operands.size() != 1)
        return UsageError(err, "import", cl.operands.empty() ? "name the JSON or CSV file to import"
                                                               : "import takes exactly one JSON or CSV file");
    const std::string& input = cl.operands[0];
    if (!cl.output)
        return UsageError(err, "import", "name the entry file to write with -o OUT.lumo");
    const std::string& output = *cl.output;
    if (output == "-")
        return UsageError(err, "import", "the entry file is binary; name a file to write with -o OUT.lumo");
    const std::optional<EFormat> format = cl.format ? cl.format : FormatFromExtension(input);
    if (!format)
        return UsageError(err, "import",
                          "cannot tell the format of '" + input + "' from its name; add --format json or --format csv (or po or xliff)");
    if (IsTranslationFormat(*format))
        return RunImportTranslation(cl, *format, out, err, &checks);
    if (bChecksGiven)
        return UsageError(err, "import", "--strict and the checks' options go with a translation and --template");
    if (cl.templ || cl.untranslated)
        return UsageError(err, "import", "--template and --untranslated go with --format po, pot or xliff");
    if (!IsStream(output) && IsSameFile(input, output))
        return UsageError(err, "import", "the output '" + output + "' is the input itself; it would be replaced");

    std::string text;
    try {
        text = ReadTextInput(input);
    } catch (const std::exception& e) {
        FileError(err, input, e);
        return exitUsage;
    }
    std::vector<Entry> entries;
    try {
        entries = *format == EFormat::json ? EntriesFromJson(text) : EntriesFromCsv(text);
    } catch (const CImportError& e) {
        err << "lumo: " << input << ": " << e.what() << "\nlumo: nothing was written to " << output << '\n';
        return exitRefused;
    }
    return WriteEntriesOrReport(output, entries, err);
}

}  // namespace lumo_cli
