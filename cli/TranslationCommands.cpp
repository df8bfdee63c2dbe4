// SPDX-License-Identifier: MIT
// export and import in the translators' formats: a template (POT), the
// translation so far (PO, XLIFF), and a translation back into the template.
#include "TranslationCommands.h"

#include "Cli.h"
#include "Commands.h"
#include "FormatRegistry.h"
#include "StreamIo.h"
#include "Text.h"
#include "TranslationFormats.h"
#include "checks/TranslationChecks.h"

#include "platform/Exceptions.h"
#include "platform/Utf8.h"

#include <exception>
#include <filesystem>
#include <future>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>

namespace lumo_cli {

namespace {

void PrintWarnings(const CWarnings& warnings, const std::string& path, std::ostream& err)
{
    for (const std::string& line : warnings.Lines())
        err << "lumo: warning: " << Shown(path) << ": " << EscapeControls(line) << '\n';
}

// A file's name as the references and the header give it: its last part,
// with anything that is not printable UTF-8 shown as '?'.
std::string DisplayName(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    std::string result;
    for (std::size_t i = 0; i < name.size();) {
        const std::optional<CUtf8Char> c = DecodeUtf8(name, i);
        if (!c || IsControl(c->ch)) {
            result += '?';
            ++i;
        } else {
            result.append(name, i, c->nLength);
            i += c->nLength;
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

int RunExportTranslation(const CArguments& args, const CFormat& format, std::ostream& out, std::ostream& err)
{
    const std::optional<std::string> sourceOption = args.Value("--source");
    const std::optional<std::string> language = args.Value("--language");
    if (format.id == EFormat::pot && sourceOption)
        return UsageError(err, "export", "a template has no translations: export the source file with --format pot "
                                         "and without --source");
    if (format.id == EFormat::pot && language)
        return UsageError(err, "export", "a template has no language; --language goes with po and xliff");
    for (const char* option : {"--language", "--source-language"})
        if (const auto code = args.Value(option); code && !IsLanguageCode(*code))
            return UsageError(err, "export", "'" + Shown(*code) + "' is not a language code (such as fr, pt_BR or de-CH)");
    const std::string& operand = args.operands[0];
    const std::string& sourcePath = sourceOption ? *sourceOption : operand;
    const std::string output = args.Value("--output").value_or("");
    std::vector<std::pair<std::string, std::string>> inputs = {{sourcePath, "the source file"}};
    if (sourceOption)
        inputs.emplace_back(operand, "the entry file");
    if (const int status = RefuseOutputThatIsInput(err, "export", output, inputs); status != exitOk)
        return status;

    const CEntryPurpose purpose{"exported", "exported", exitRefused};
    CEntryStore source;
    if (const int status = ReadEntryInputOrReport(
            sourcePath, purpose, err,
            [&](CArchive& ar, CEntryFileNotes& irregular) { ReadEntryStore(ar, source, &irregular); });
        status != exitOk)
        return status;

    CCatalogInfo info;
    info.sourceFile = DisplayName(sourcePath);
    info.language = language.value_or("");
    info.sourceLanguage = args.Value("--source-language").value_or(info.sourceLanguage);
    CWarnings warnings;
    try {
        CCatalog catalog(source, sourceOption.has_value());
        // The target's entries are read one by one: only the texts that
        // translate a message are kept.
        if (sourceOption) {
            const auto addTranslations = [&](CArchive& ar, CEntryFileNotes& irregular) {
                catalog.AddTranslations([&](const EntryVisitor& visit) { VisitEntries(ar, visit, &irregular); },
                                        warnings);
            };
            if (const int status = ReadEntryInputOrReport(operand, purpose, err, addTranslations); status != exitOk)
                return status;
        }
        WriteOutputWith(output, out, [&](const ByteSink& sink) { format.writeTranslations(catalog, info, sink); });
    } catch (const CExportError& e) {
        err << "lumo: " << Shown(sourcePath) << ": " << EscapeControls(e.what()) << "; nothing was exported\n";
        return exitRefused;
    } catch (const std::exception& e) {
        if (output.empty() || output == "-")
            err << "lumo: " << e.what() << '\n';
        else
            FileError(err, output, e);
        return exitUsage;
    }
    PrintWarnings(warnings, operand, err);
    return exitOk;
}

namespace {

// The checks refused the import and said why. Not a std::exception: it
// passes through the writer, which reports those as its own failures.
struct CRefusedByChecks {};

// The checks, run beside the writing of the result: the file replaces the
// old one only once they have passed.
class CChecksBeside {
public:
    explicit CChecksBeside(std::function<bool()> check) : m_check(std::move(check))
    {
        try {
            m_run = std::async(std::launch::async, m_check);
        } catch (const std::system_error&) {
            Wait();  // no thread to be had: before the writing, then
        }
    }
    ~CChecksBeside()
    {
        if (m_run.valid())
            m_run.wait();
    }

    // Whether they passed; false too when they failed to run (Rethrow tells).
    bool Wait()
    {
        if (!m_bPassed && !m_failure) {
            try {
                m_bPassed = m_run.valid() ? m_run.get() : m_check();
            } catch (...) {
                m_failure = std::current_exception();
            }
        }
        return m_bPassed.value_or(false);
    }
    void Rethrow() const
    {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

private:
    std::function<bool()> m_check;
    std::future<bool> m_run;
    std::optional<bool> m_bPassed;
    std::exception_ptr m_failure;
};

}  // namespace

int RunImportTranslation(const CArguments& args, const CFormat& format, std::ostream& out, std::ostream& err,
                         const CCheckOptions* pChecks)
{
    const std::string& input = args.operands[0];
    const std::optional<std::string> templ = args.Value("--template");
    if (!templ)
        return UsageError(err, "import", "a translation goes into its template: add --template SOURCE.lumo");
    const std::string output = *args.Value("--output");
    if (const int status =
            RefuseOutputThatIsInput(err, "import", output, {{input, "the input"}, {*templ, "the template"}});
        status != exitOk)
        return status;

    // The messages read are compared as they come, by the thread that reads
    // the template once it has.
    CTranslationsFeed feed;
    std::optional<CEarlyChecks> early;
    if (pChecks)
        early.emplace(*pChecks, feed);
    CEntryStore templEntries;
    const auto readTemplate = [&](std::ostream& report) {
        return ReadEntryInputOrReport(
            *templ, {"written", "written", exitRefused}, report,
            [&](CArchive& ar, CEntryFileNotes& irregular) { ReadEntryStore(ar, templEntries, &irregular); });
    };
    // The template is read on a second thread while the translation is: its
    // report waits, so it comes first as it always has. Two streams might be
    // one, and are read one after the other.
    std::ostringstream templReport;
    std::future<int> templRead;
    // However this ends, the template's thread must not wait for more messages.
    struct CStopEarlyChecks {
        std::optional<CEarlyChecks>& early;
        CTranslationsFeed& feed;
        ~CStopEarlyChecks()
        {
            feed.NoTemplate();
            if (early)
                early->Abandon();
        }
    } stopEarlyChecks{early, feed};
    if (!IsStream(input) && !IsStream(*templ)) {
        feed.ExpectTemplate();
        try {
            templRead = std::async(std::launch::async, [&] {
                const int status = readTemplate(templReport);
                if (status != exitOk) {
                    feed.NoTemplate();
                    return status;
                }
                // From here on the translations refer to the template's texts.
                feed.OfferTemplate(templEntries);
                if (early)
                    early->Work();
                return status;
            });
        } catch (const std::system_error&) {
            // No thread to be had: one after the other.
            feed.NoTemplate();
        }
    }
    if (!templRead.valid()) {
        if (const int status = readTemplate(err); status != exitOk)
            return status;
        feed.OfferTemplate(templEntries);
    }
    CWarnings warnings;
    CImportCounts counts;
    const bool bEmptyUntranslated = args.Value("--untranslated") == "empty";
    // What the writing says, after the warnings as it always came.
    std::ostringstream writeReport;
    int nWriteStatus = exitOk;
    try {
        std::optional<CTranslations> translations;
        std::exception_ptr readFailure;
        try {
            translations.emplace(format.readTranslations(input, warnings));
        } catch (...) {
            readFailure = std::current_exception();
        }
        // By translation, what the early checks found; the template's thread
        // leaves its work once it is done.
        std::vector<std::uint32_t> found;
        if (early) {
            if (readFailure)
                early->Abandon();
            else
                found = early->Finish(*translations);
        }
        if (templRead.valid()) {
            const int status = templRead.get();
            err << templReport.str();
            if (status != exitOk)
                return status;  // what the translation holds does not matter then
        }
        if (readFailure)
            std::rethrow_exception(readFailure);

        const CTemplatePairing pairing(templEntries, *translations);
        const CTranslatedTemplate result(templEntries, *translations, pairing, bEmptyUntranslated, counts);
        // The translation checks, as warnings; with --strict an error-level
        // finding refuses. They run while the result is written.
        std::ostringstream checkReport;
        CChecksBeside checks([&] {
            return !pChecks || ReportImportChecks(*pChecks, input, templEntries, *translations, pairing, checkReport,
                                                  found.size() == translations->Size() ? &found : nullptr);
        });
        const bool bMatched = counts.nMatched > 0 || counts.nNotInTemplate == 0;
        if (bMatched) {
            const CEntrySource entries{result.Size(), [&](std::size_t i, EEntryField field) {
                                           return field == EEntryField::name
                                                      ? result.Name(i)
                                                      : result.Text(i, field == EEntryField::extra);
                                       }};
            try {
                nWriteStatus = WriteEntriesOrReport(output, entries, writeReport, [&] {
                    if (!checks.Wait())
                        throw CRefusedByChecks();
                });
            } catch (const CRefusedByChecks&) {
            }
        }
        const bool bPassed = checks.Wait();
        err << checkReport.str();
        checks.Rethrow();
        if (!bPassed)
            throw CRefusedByChecks();
        RefuseUnmatchedTranslation(counts);
    } catch (const CRefusedByChecks&) {
        PrintWarnings(warnings, input, err);
        err << "lumo: nothing was written to " << Shown(output) << '\n';
        return exitRefused;
    } catch (const CImportError& e) {
        PrintWarnings(warnings, input, err);
        err << "lumo: " << Shown(input) << ": " << EscapeControls(e.what()) << "\nlumo: nothing was written to " << Shown(output)
            << '\n';
        return exitRefused;
    } catch (const std::exception& e) {
        FileError(err, input, e);
        return exitUsage;
    }
    PrintWarnings(warnings, input, err);
    if (counts.nNotInTemplate > 0)
        err << "lumo: warning: " << Shown(input) << ": " << counts.nNotInTemplate
            << (counts.nNotInTemplate == 1 ? " message matches" : " messages match")
            << " no text of the template and " << (counts.nNotInTemplate == 1 ? "is" : "are")
            << " left out (after a change of the source, update the translation with msgmerge)\n";
    if (counts.nMatchedByUnitId > 0)
        err << "lumo: warning: " << Shown(input) << ": " << counts.nMatchedByUnitId
            << (counts.nMatchedByUnitId == 1 ? " unit's source differs" : " units' sources differ")
            << " from the template's text (a tool may have changed its line ends); matched by the unit's id\n";
    err << writeReport.str();
    if (nWriteStatus != exitOk)
        return nWriteStatus;
    // Written to standard output (-o /dev/stdout), the entry file must not be
    // followed by the summary there.
    (IsStream(output) ? err : out) << counts.nTranslated << " translated, " << counts.nFuzzy << " fuzzy, "
                                   << counts.nUntranslated << " untranslated messages\n";
    return exitOk;
}

}  // namespace lumo_cli
