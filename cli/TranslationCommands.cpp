// SPDX-License-Identifier: MIT
// export and import in the translators' formats: a template (POT), the
// translation so far (PO, XLIFF), and a translation back into the template.
#include "TranslationCommands.h"

#include "Cli.h"
#include "Commands.h"
#include "ExportOutput.h"
#include "StreamIo.h"
#include "TranslationFormats.h"

#include "platform/Exceptions.h"

#include <filesystem>
#include <fstream>
#include <ostream>

namespace lumo_cli {

namespace {

// An entry file for a command; prints the reader's warnings the way every
// command does. False, with the message printed and status set, on failure.
bool ReadEntriesFor(const std::string& path, std::vector<Entry>& entries, const char* what, std::ostream& err,
                    int& status)
{
    CIrregularRecords irregular;
    try {
        ReadEntryInput(path, &entries, &irregular);
    } catch (const CEntryFileException& e) {
        err << "lumo: " << path << ": " << DescribeDamage(e) << "; nothing was " << what << '\n';
        status = exitRefused;
        return false;
    } catch (const std::exception& e) {
        FileError(err, path, e);
        status = exitUsage;
        return false;
    }
    if (irregular.bEmptyFile)
        err << "lumo: warning: " << path << ": the file is empty (0 bytes); it holds no entries\n";
    if (const std::string warning = DescribeIrregular(irregular); !warning.empty())
        err << "lumo: warning: " << path << ": " << warning << "; only the texts are " << what << '\n';
    return true;
}

void PrintWarnings(const CWarnings& warnings, const std::string& path, std::ostream& err)
{
    for (const std::string& line : warnings.Lines())
        err << "lumo: warning: " << path << ": " << line << '\n';
}

// A file's name as the references and the header give it: its last part,
// with anything that is not printable UTF-8 shown as '?'.
std::string DisplayName(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    std::string result;
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool bValid = n > 0 && i + n <= name.size() && (n == 1 || c >= 0xC2);
        for (std::size_t k = 1; bValid && k < n; ++k)
            bValid = (static_cast<unsigned char>(name[i + k]) & 0xC0) == 0x80;
        if (!bValid || c < 0x20 || c == 0x7F) {
            result += '?';
            ++i;
        } else {
            result.append(name, i, n);
            i += n;
        }
    }
    return result;
}

// Language codes as gettext and XLIFF write them: fr, pt_BR, sr@latin, zh-Hant.
bool IsLanguageCode(const std::string& code)
{
    if (code.empty() || code.size() > 35)
        return false;
    for (const char c : code)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '@' && c != '.')
            return false;
    return true;
}

}  // namespace

int RunExportTranslation(const CCommandLine& cl, EFormat format, std::ostream& out, std::ostream& err)
{
    if (format == EFormat::pot && cl.source)
        return UsageError(err, "export", "a template has no translations: export the source file with --format pot "
                                         "and without --source");
    if (format == EFormat::pot && cl.language)
        return UsageError(err, "export", "a template has no language; --language goes with po and xliff");
    for (const auto* pCode : {&cl.language, &cl.sourceLanguage})
        if (*pCode && !IsLanguageCode(**pCode))
            return UsageError(err, "export", "'" + **pCode + "' is not a language code (such as fr, pt_BR or de-CH)");
    const std::string& operand = cl.operands[0];
    const std::string& sourcePath = cl.source ? *cl.source : operand;
    const bool bToStdout = !cl.output || *cl.output == "-";
    if (!bToStdout && !IsStream(*cl.output) && IsSameFile(sourcePath, *cl.output))
        return UsageError(err, "export", "the output '" + *cl.output + "' is the source file itself; it would be replaced");

    int status = exitOk;
    std::vector<Entry> source, target;
    if (!ReadEntriesFor(sourcePath, source, "exported", err, status))
        return status;
    if (cl.source && !ReadEntriesFor(operand, target, "exported", err, status))
        return status;

    CCatalogInfo info;
    info.sourceFile = DisplayName(sourcePath);
    info.language = cl.language.value_or("");
    if (cl.sourceLanguage)
        info.sourceLanguage = *cl.sourceLanguage;
    CWarnings warnings;
    try {
        WriteExport(bToStdout ? std::string("-") : *cl.output, out, [&](const ByteSink& sink) {
            ExportTranslations(source, cl.source ? &target : nullptr, format, info, sink, warnings);
        });
    } catch (const CExportError& e) {
        err << "lumo: " << sourcePath << ": " << e.what() << "; nothing was exported\n";
        return exitRefused;
    } catch (const std::exception& e) {
        if (bToStdout)
            err << "lumo: " << e.what() << '\n';
        else
            FileError(err, *cl.output, e);
        return exitUsage;
    }
    PrintWarnings(warnings, operand, err);
    return exitOk;
}

int RunImportTranslation(const CCommandLine& cl, EFormat format, std::ostream& out, std::ostream& err)
{
    const std::string& input = cl.operands[0];
    if (!cl.templ)
        return UsageError(err, "import", "a translation goes into its template: add --template SOURCE.lumo");
    const std::string& output = *cl.output;
    // A stream is written as it is, never replaced: it cannot be the input.
    if (!IsStream(output) && IsSameFile(input, output))
        return UsageError(err, "import", "the output '" + output + "' is the input itself; it would be replaced");
    if (!IsStream(output) && IsSameFile(*cl.templ, output))
        return UsageError(err, "import", "the output '" + output + "' is the template itself; write the translation "
                                         "to a file of its own");

    int status = exitOk;
    std::vector<Entry> templ;
    if (!ReadEntriesFor(*cl.templ, templ, "written", err, status))
        return status;
    CWarnings warnings;
    CImportCounts counts;
    std::vector<Entry> entries;
    try {
        entries = ImportTranslations(input, format, templ, cl.untranslated.value_or(EUntranslated::source), counts,
                                     warnings);
    } catch (const CImportError& e) {
        PrintWarnings(warnings, input, err);
        err << "lumo: " << input << ": " << e.what() << "\nlumo: nothing was written to " << output << '\n';
        return exitRefused;
    } catch (const std::exception& e) {
        FileError(err, input, e);
        return exitUsage;
    }
    PrintWarnings(warnings, input, err);
    if (counts.nNotInTemplate > 0)
        err << "lumo: warning: " << input << ": " << counts.nNotInTemplate
            << (counts.nNotInTemplate == 1 ? " message matches" : " messages match")
            << " no text of the template and " << (counts.nNotInTemplate == 1 ? "is" : "are")
            << " left out (after a change of the source, update the translation with msgmerge)\n";
    if (const int status = WriteEntriesOrReport(output, entries, err); status != exitOk)
        return status;
    // Written to standard output (-o /dev/stdout), the entry file must not be
    // followed by the summary there.
    (IsStream(output) ? err : out) << counts.nTranslated << " translated, " << counts.nFuzzy << " fuzzy, "
                                   << counts.nUntranslated << " untranslated messages\n";
    return exitOk;
}

}  // namespace lumo_cli
