// SPDX-License-Identifier: MIT
// Checks of a translation against its source: every entry present, every
// placeholder, tag, control character and line break kept, no text too long.
// The checks are named as Translate Toolkit's pofilter names them. Entries
// and messages are paired as export --source and diff pair them; this file
// knows nothing of how the command line is parsed.
#pragma once

#include "cli/CommandLine.h"

#include "cli/EntryIo.h"
#include "cli/Translation.h"
#include "EntryTexts.h"
#include "Placeholders.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

enum class ECheck {
    missing, extra, printf, variables, xmltags, placeholder, controls, newlines, length,
    untranslated, unchanged, startwhitespace, endwhitespace, doublespacing, endpunc, numbers, urls, longer, order,
};
constexpr std::size_t kCheckCount = static_cast<std::size_t>(ECheck::order) + 1;

enum class ESeverity { warning, error };

struct CCheckInfo {
    ECheck check;
    const char* name;
    ESeverity severity;  // by default
    const char* what;    // for the help
};
const std::array<CCheckInfo, kCheckCount>& CheckTable();
const CCheckInfo& InfoOf(ECheck check);
// The check of this name, if any.
std::optional<ECheck> CheckNamed(std::string_view name);
// "missing, extra, ...": for a usage error.
std::string CheckNames();

enum class ECheckReport { text, json };

struct CCheckOptions {
    std::string source;                 // the source-language entry file
    std::vector<std::string> targets;   // translated entry files (--against)
    bool bTemplate = false;             // targets are PO or XLIFF translations (--template)
    std::array<bool, kCheckCount> enabled{};  // all true but those left out by --checks / --skip
    bool bStrict = false;               // warnings count as errors
    std::vector<std::string> placeholders;  // --placeholder REGEX
    std::optional<std::size_t> maxLength;   // --max-length N (bytes)
    std::optional<double> maxGrowth;        // --max-growth PERCENT
    ECheckReport report = ECheckReport::text;

    CCheckOptions() { enabled.fill(true); }
};

enum class EField { data, extra };

struct CFinding {
    CFinding(ECheck c, ESeverity s) : check(c), severity(s) {}
    ECheck check;
    ESeverity severity;
    std::size_t nEntry = 0;  // from 1; in the translation, or in the source for missing; 0: none
    std::size_t nLine = 0;   // from 1, the line of the message in a PO file; 0: none
    std::string name;        // Windows-1252
    EField field = EField::data;
    bool bWholeEntry = false;    // missing, extra, order: about an entry, not a text
    std::string source, translation;  // the texts compared (Windows-1252), when about a text
    std::string message;              // what differs, in UTF-8
};

struct CCheckSummary {
    std::size_t nChecked = 0;         // entries (or messages) whose texts were compared
    bool bMessages = false;           // nChecked counts messages of a translator's file
    std::size_t nEntries = 0, nEntriesTranslated = 0;  // entries of the source with a text
    std::size_t nTexts = 0, nTextsTranslated = 0;      // non-empty texts of the source
    std::size_t nFuzzy = 0, nUntranslated = 0;         // messages of a translator's file
    std::array<std::size_t, kCheckCount> counts{};     // findings per check
    std::size_t nErrors = 0, nWarnings = 0;
};

// The checks as options configure them, with the placeholder patterns compiled.
class CChecker {
public:
    // Throws std::invalid_argument for a placeholder pattern that does not compile.
    explicit CChecker(const CCheckOptions& options);

    bool Enabled(ECheck check) const { return m_options.enabled[static_cast<std::size_t>(check)]; }
    ESeverity SeverityOf(ECheck check) const;

    // Compares one text and its translation (both non-empty); each finding
    // gets check, severity and message, the caller fills in where it is.
    void CheckText(std::string_view source, std::string_view translation, std::vector<CFinding>& findings) const;

    // Counts a finding into the summary and keeps it.
    void Add(CFinding&& finding, CCheckSummary& summary, std::vector<CFinding>& findings) const;

    const CCheckOptions& Options() const { return m_options; }

private:
    const CCheckOptions& m_options;
    std::vector<CPlaceholderPattern> m_patterns;
};

struct CFileCheck {
    std::string path;
    std::string damaged;  // what is wrong with a damaged file, which is not checked
    CCheckSummary summary;
    std::vector<CFinding> findings;
    // Findings kept per check, the first ones in order; the summary counts
    // them all. An import shows only a few and needs no more.
    std::size_t nKeepPerCheck = static_cast<std::size_t>(-1);
};

// A translated entry file against its source: entries paired by name and
// occurrence, data text with data text, extra text with extra text.
void CheckEntries(const CChecker& checker, const std::vector<CEntryTexts>& source,
                  const std::vector<CEntryTexts>& target, CFileCheck& result);
void CheckEntries(const CChecker& checker, const std::vector<Entry>& source, const std::vector<Entry>& target,
                  CFileCheck& result);

// A translator's file against its template, message by message. lines, when
// not empty, gives for each translation (by its index) its line in the file.
// Fuzzy and untranslated messages are counted, their texts not compared.
void CheckTranslations(const CChecker& checker, CEntrySpan templ, const CTranslations& translations,
                       const std::vector<std::size_t>& lines, CFileCheck& result);
// The same with the pairing of the two already made. pFound, when given,
// tells by translation which checks find something in it (as CEarlyChecks
// gives them): only those texts are compared again, and only when one of
// their findings is kept.
void CheckTranslations(const CChecker& checker, CEntrySpan templ, const CTranslations& translations,
                       const CTemplatePairing& pairing, const std::vector<std::size_t>& lines, CFileCheck& result,
                       const std::vector<std::uint32_t>* pFound = nullptr);

// The texts of a translation compared while the file is still being read,
// by a thread that would otherwise wait: which checks find something in
// each message, so that import compares again only the few texts whose
// findings it shows. The records come from a feed installed on the thread
// that reads the file.
class CEarlyChecks {
public:
    CEarlyChecks(const CCheckOptions& options, const CTranslationsFeed& feed);
    ~CEarlyChecks();
    CEarlyChecks(const CEarlyChecks&) = delete;
    CEarlyChecks& operator=(const CEarlyChecks&) = delete;

    // Compares what the feed publishes until Finish or Abandon; on a thread
    // of its own.
    void Work();
    // The file was read into translations: the calling thread helps with
    // what is left. By translation, the checks that find something in it
    // (bit 1 << check; kCompareAgain: more than one finding of a check);
    // empty when the feed's records are not these translations.
    std::vector<std::uint32_t> Finish(const CTranslations& translations);
    // The read failed: Work returns as soon as it can.
    void Abandon();

    static constexpr std::uint32_t kCompareAgain = 0x80000000u;

private:
    struct CRun;
    std::shared_ptr<CRun> CurrentRun();
    bool WorkOnce(CChecker& checker, std::vector<std::pair<std::uint32_t, std::uint32_t>>& found);

    const CCheckOptions m_options;
    const CTranslationsFeed& m_feed;
    std::mutex m_mutex;
    std::shared_ptr<CRun> m_pRun;
    std::atomic<bool> m_bClosed{false}, m_bAbandoned{false};
};

// "FILE: entry 12 NAME (data): printf: the source has %d, the translation has %s"
std::string FindingLine(const std::string& path, const CFinding& finding);
void WriteTextReport(const std::vector<CFileCheck>& files, std::ostream& out);
void WriteJsonReport(const CCheckOptions& options, const std::vector<CFileCheck>& files, std::ostream& out);

// The whole command: reads the files, checks, reports. 0 when no file has an
// error-level finding, 1 when one has (or a file is damaged), 2 for a file
// that cannot be read.
int RunTranslationCheck(const CCheckOptions& options, std::ostream& out, std::ostream& err);

// The options of the checks, for the command table: with bCheckCommand
// also check's own --against, --template and --format.
std::vector<COption> CheckOptionTable(bool bCheckCommand);
// True when check's arguments ask for a translation check (--against or --template).
bool IsTranslationCheck(const CArguments& args);
// True when import is given any option of the checks (--strict among them).
bool HasCheckOptions(const CArguments& args);
// True when check is given an option only a translation check takes.
bool HasTranslationCheckOnlyOptions(const CArguments& args);
// The options as given (import runs every check unless told otherwise).
// Throws CUsageError.
CCheckOptions CheckOptionsFor(const CArguments& args, bool bCheckCommand);
// Takes check's arguments into options and runs the check; usage errors give 2.
int RunTranslationCheckCommand(const CArguments& args, std::ostream& out, std::ostream& err);

// Prints the findings of a translation against its template as warnings on
// err (at most a few per check). With options.bStrict, false when one is at
// error level: the import must not go on.
bool ReportImportChecks(const CCheckOptions& options, const std::string& path, CEntrySpan templ,
                        const CTranslations& translations, const CTemplatePairing& pairing, std::ostream& err,
                        const std::vector<std::uint32_t>* pFound = nullptr);

}  // namespace lumo_cli
