// SPDX-License-Identifier: MIT
#include "ChecksCheck.h"

#include "cli/checks/TranslationChecks.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace lumo_fuzz {

namespace {

using lumo_cli::CCheckOptions;
using lumo_cli::CChecker;
using lumo_cli::CFileCheck;
using lumo_cli::Entry;

std::vector<Entry> EntriesOf(std::string_view part)
{
    std::vector<std::string> fields(1);
    for (const char c : part) {
        if (c == '\x1E')
            fields.emplace_back();
        else if (c != '\0')  // an entry file's text ends at its first 0x00
            fields.back() += c;
    }
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < fields.size(); i += 3)
        entries.push_back({fields[i], i + 1 < fields.size() ? fields[i + 1] : "", i + 2 < fields.size() ? fields[i + 2] : ""});
    return entries;
}

// The translator's messages of a pair, as export --source makes them.
lumo_cli::CTranslations MessagesOf(const std::vector<Entry>& source, const std::vector<Entry>& target, bool bFuzzy)
{
    lumo_cli::CCatalog catalog(source);
    lumo_cli::CWarnings warnings;
    catalog.AddTranslations(target, warnings);
    lumo_cli::CTranslations translations;
    bool bNextFuzzy = false;
    for (const lumo_cli::CMessage& message : catalog.Messages()) {
        translations.Add({message.name, message.source, message.translation, bFuzzy && bNextFuzzy});
        bNextFuzzy = !bNextFuzzy;
    }
    return translations;
}

// The reports of a check, and what must hold of them.
std::string CheckReports(const CCheckOptions& options, const CFileCheck& file)
{
    std::size_t nErrors = 0, nWarnings = 0;
    for (const lumo_cli::CFinding& finding : file.findings) {
        if (!options.enabled[static_cast<std::size_t>(finding.check)])
            return std::string("a finding of a check that was left out: ") + lumo_cli::InfoOf(finding.check).name;
        ++(finding.severity == lumo_cli::ESeverity::error ? nErrors : nWarnings);
        if (options.bStrict && finding.severity != lumo_cli::ESeverity::error)
            return "a warning under --strict";
    }
    if (nErrors != file.summary.nErrors || nWarnings != file.summary.nWarnings)
        return "the summary's counts are not the findings'";
    if (file.summary.nTextsTranslated > file.summary.nTexts || file.summary.nEntriesTranslated > file.summary.nEntries)
        return "more translated than there is";
    std::ostringstream text, json;
    lumo_cli::WriteTextReport({file}, text);
    lumo_cli::WriteJsonReport(options, {file}, json);
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(json.str());
    } catch (const std::exception& e) {
        return std::string("the JSON report does not parse: ") + e.what();
    }
    if (doc["files"][0]["findings"].size() != file.findings.size())
        return "the JSON report has another number of findings";
    return {};
}

}  // namespace

ChecksOutcome CheckTranslationChecks(std::string_view bytes)
{
    ChecksOutcome outcome;
    if (bytes.empty())
        return outcome;
    const auto flags = static_cast<unsigned char>(bytes[0]);
    CCheckOptions options;
    options.bStrict = flags & 1;
    if (flags & 2)
        options.maxLength = bytes.size() > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
    if (flags & 4)
        options.maxGrowth = bytes.size() > 2 ? static_cast<unsigned char>(bytes[2]) : 0;
    if (flags & 8)
        options.placeholders = {R"(\[[A-Z_]+\])", R"(\^[0-9])", R"(\$[a-z]+\$)", "x*"};
    // A few checks left out now and then, from the option byte's high bits.
    if (flags & 0x20)
        options.enabled[static_cast<std::size_t>(lumo_cli::ECheck::printf)] = false;
    if (flags & 0x40)
        options.enabled[static_cast<std::size_t>(lumo_cli::ECheck::order)] = false;
    const std::string_view rest = bytes.substr(1);
    const std::size_t split = rest.find('\x1D');
    const std::vector<Entry> source = EntriesOf(rest.substr(0, split));
    const std::vector<Entry> target = split == std::string_view::npos ? source : EntriesOf(rest.substr(split + 1));

    const CChecker checker(options);
    CFileCheck against;
    against.path = "target.lumo";
    lumo_cli::CheckEntries(checker, source, target, against);
    outcome.nFindings = against.findings.size();
    if (std::string problem = CheckReports(options, against); !problem.empty()) {
        outcome.problem = "--against: " + problem;
        return outcome;
    }
    CFileCheck templ;
    templ.path = "target.po";
    lumo_cli::CheckTranslations(checker, source, MessagesOf(source, target, flags & 16), {}, templ);
    if (std::string problem = CheckReports(options, templ); !problem.empty()) {
        outcome.problem = "--template: " + problem;
        return outcome;
    }

    // A file checked against itself has nothing wrong but its own length.
    CCheckOptions self = options;
    self.bStrict = false;
    self.maxLength.reset();
    const CChecker selfChecker(self);
    for (const bool bTemplate : {false, true}) {
        CFileCheck same;
        same.path = "source";
        if (bTemplate)
            lumo_cli::CheckTranslations(selfChecker, source, MessagesOf(source, source, false), {}, same);
        else
            lumo_cli::CheckEntries(selfChecker, source, source, same);
        if (same.summary.nErrors > 0) {
            outcome.problem = std::string(bTemplate ? "--template" : "--against") +
                              ": a file against itself has an error: " + lumo_cli::FindingLine("source", same.findings[0]);
            return outcome;
        }
    }
    return outcome;
}

}  // namespace lumo_fuzz
