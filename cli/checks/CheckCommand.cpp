// SPDX-License-Identifier: MIT
// lumo check --against / --template on today's command line: the options,
// reading the files, and import's warnings. The engine is TranslationChecks.
#include "TranslationChecks.h"

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "cli/CommandLine.h"
#include "cli/FormatRegistry.h"
#include "cli/Text.h"
#include "cli/PoLibrary.h"
#include "cli/StreamIo.h"
#include "cli/TranslationFormats.h"

#include "platform/Exceptions.h"
#include "platform/File.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <fstream>
#include <ostream>

namespace lumo_cli {

namespace {

void SetChecks(const std::string& list, const char* option, std::array<bool, kCheckCount>& chosen)
{
    std::size_t start = 0;
    bool bAny = false;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        start = comma + 1;
        if (name.empty())
            continue;
        const std::optional<ECheck> check = CheckNamed(name);
        if (!check)
            throw CUsageError(std::string(option) + ": there is no check '" + Shown(name) + "' (the checks: " + CheckNames() + ")");
        chosen[static_cast<std::size_t>(*check)] = true;
        bAny = true;
    }
    if (!bAny)
        throw CUsageError(std::string(option) + " needs a list of checks (the checks: " + CheckNames() + ")");
}

double ParsePercent(const std::string& text, const char* option)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !(value >= 0) || value > 1e9)
        throw CUsageError(std::string(option) + " needs a percentage such as 50, not '" + Shown(text) + "'");
    return value;
}

// The options of the checks that check and import share, --strict aside
// (plain check and import have a --strict and a --format of their own).
constexpr const char* kCheckOnlyOptions[] = {"--checks", "--skip", "--placeholder", "--max-length", "--max-growth"};

bool HasCheckOnlyOptions(const CArguments& args)
{
    return std::any_of(std::begin(kCheckOnlyOptions), std::end(kCheckOnlyOptions),
                       [&](const char* option) { return args.Has(option); });
}

void PrintIrregular(const std::string& path, const CIrregularRecords& irregular, std::ostream& err)
{
    if (const std::string warning = DescribeIrregular(irregular); !warning.empty())
        err << "lumo: warning: " << path << ": " << warning << "; only the texts are checked\n";
}

}  // namespace

std::vector<COption> CheckOptionTable(bool bCheckCommand)
{
    COption maxLength{"--max-length", 0, EOptionKind::integer, "N"};
    maxLength.badValueMessage = "{option} needs a number of bytes, not '{value}'";
    std::vector<COption> options = {
        {"--strict", 0, EOptionKind::flag},
        {"--checks", 0, EOptionKind::value, "LIST"},
        {"--skip", 0, EOptionKind::value, "LIST"},
        {"--placeholder", 0, EOptionKind::repeatable, "REGEX"},
        maxLength,
        {"--max-growth", 0, EOptionKind::value, "PERCENT"},
    };
    if (bCheckCommand) {
        COption format{"--format", 0, EOptionKind::choice, "FMT", {"text", "json"}};
        format.badValueMessage = "unknown format '{value}' (use {choices})";
        options.push_back(format);
        options.push_back({"--against", 0, EOptionKind::value, "SOURCE.lumo"});
        options.push_back({"--template", 0, EOptionKind::value, "SOURCE.lumo"});
    }
    return options;
}

bool IsTranslationCheck(const CArguments& args)
{
    return args.Has("--against") || args.Has("--template");
}

bool HasTranslationCheckOnlyOptions(const CArguments& args)
{
    return HasCheckOnlyOptions(args) || args.Has("--format");
}

bool HasCheckOptions(const CArguments& args)
{
    return args.Has("--strict") || HasCheckOnlyOptions(args);
}

CCheckOptions CheckOptionsFor(const CArguments& args, bool bCheckCommand)
{
    CCheckOptions options;
    options.bStrict = args.Has("--strict");
    std::array<bool, kCheckCount> skip{};
    if (const auto list = args.Value("--skip"))
        SetChecks(*list, "--skip", skip);
    std::optional<std::array<bool, kCheckCount>> only;
    if (const auto list = args.Value("--checks")) {
        only.emplace();
        only->fill(false);
        SetChecks(*list, "--checks", *only);
    }
    for (std::size_t c = 0; c < kCheckCount; ++c)
        options.enabled[c] = (!only || (*only)[c]) && !skip[c];
    options.placeholders = args.Values("--placeholder");
    if (const auto nLength = args.Integer("--max-length"))
        options.maxLength = static_cast<std::size_t>(*nLength);
    if (const auto growth = args.Value("--max-growth"))
        options.maxGrowth = ParsePercent(*growth, "--max-growth");
    if (bCheckCommand) {
        if (args.Value("--format") == "json")
            options.report = ECheckReport::json;
        if (args.Has("--against") && args.Has("--template"))
            throw CUsageError("name the source once, with --against or with --template");
        options.bTemplate = args.Has("--template");
        options.source = *args.Value(options.bTemplate ? "--template" : "--against");
        options.targets = args.operands;
    }
    return options;
}

int RunTranslationCheckCommand(const CArguments& args, std::ostream& out, std::ostream& err)
{
    CCheckOptions options;
    try {
        options = CheckOptionsFor(args, true);
        if (options.targets.empty())
            throw CUsageError(options.bTemplate ? "name at least one PO or XLIFF translation to check"
                                                : "name at least one translated entry file to check");
        if (options.bTemplate)
            for (const std::string& target : options.targets) {
                const CFormat* pFormat = FormatOfPath(target);
                if (!pFormat || !pFormat->bTranslations)
                    throw CUsageError("cannot tell the format of '" + Shown(target) +
                                      "' from its name; a translation checked with --template ends in .po, .pot, "
                                      ".xlf or .xliff");
            }
    } catch (const CUsageError& e) {
        return UsageError(err, "check", e.what());
    }
    return RunTranslationCheck(options, out, err);
}

int RunTranslationCheck(const CCheckOptions& options, std::ostream& out, std::ostream& err)
{
    std::optional<CChecker> checker;
    try {
        checker.emplace(options);
    } catch (const std::invalid_argument& e) {
        return UsageError(err, "check", std::string("--placeholder: ") + e.what());
    }
    int status = exitOk;
    CEntryTextFile sourceTexts;
    std::vector<Entry> source;  // for --template, which looks texts up by name and text
    try {
        sourceTexts.Read(options.source);
        PrintIrregular(options.source, sourceTexts.Irregular(), err);
    } catch (const CEntryFileException& e) {
        out << options.source << ": " << DescribeDamage(e) << "; nothing was checked against it\n";
        return exitRefused;
    } catch (const std::exception& e) {
        FileError(err, options.source, e);
        return exitUsage;
    }
    if (options.bTemplate)
        for (const CEntryTexts& entry : sourceTexts.Entries())
            source.push_back({std::string(entry.name), std::string(entry.data), std::string(entry.extra)});

    std::vector<CFileCheck> files;
    for (const std::string& path : options.targets) {
        CFileCheck file;
        file.path = path;
        try {
            if (options.bTemplate) {
                CWarnings warnings;
                std::vector<std::size_t> lines;
                const CTranslations translations = FormatOfPath(path) == &FormatOf(EFormat::xliff)
                                                       ? ReadXliff(path, warnings)
                                                       : ReadPo(path, warnings, &lines);
                for (const std::string& line : warnings.Lines())
                    err << "lumo: warning: " << path << ": " << line << '\n';
                CheckTranslations(*checker, source, translations, lines, file);
            } else {
                CEntryTextFile target;
                target.Read(path);
                PrintIrregular(path, target.Irregular(), err);
                CheckEntries(*checker, sourceTexts.Entries(), target.Entries(), file);
            }
        } catch (const CEntryFileException& e) {
            file.damaged = DescribeDamage(e);
            status = std::max<int>(status, exitRefused);
        } catch (const CImportError& e) {
            // A translation that import would refuse: the same message, and status 1.
            file.damaged = std::string("refused: ") + e.what();
            status = std::max<int>(status, exitRefused);
        } catch (const CFileException& e) {
            out.flush();
            FileError(err, path, e);
            status = exitUsage;
            continue;
        } catch (const std::runtime_error& e) {
            // A placeholder pattern that gave up (its match limit).
            out.flush();
            err << "lumo: " << path << ": " << e.what() << '\n';
            status = exitUsage;
            continue;
        } catch (const std::exception& e) {
            out.flush();
            FileError(err, path, e);
            status = exitUsage;
            continue;
        }
        if (file.summary.nErrors > 0)
            status = std::max<int>(status, exitRefused);
        files.push_back(std::move(file));
    }
    if (options.report == ECheckReport::json)
        WriteJsonReport(options, files, out);
    else
        WriteTextReport(files, out);
    if (!out.flush()) {
        err << "lumo: cannot write to standard output\n";
        return exitUsage;
    }
    return status;
}

bool ReportImportChecks(const CCheckOptions& options, const std::string& path, CEntrySpan templ,
                        const CTranslations& translations, const CTemplatePairing& pairing, std::ostream& err,
                        const std::vector<std::uint32_t>* pFound)
{
    // Warnings stay warnings here; --strict means an error refuses the import.
    CCheckOptions shown = options;
    shown.bStrict = false;
    const CChecker checker(shown);
    // A file wrong throughout gives a short report; lumo check lists them all.
    constexpr std::size_t kShownPerCheck = 10;
    CFileCheck file;
    file.path = path;
    file.nKeepPerCheck = kShownPerCheck;
    CheckTranslations(checker, templ, translations, pairing, {}, file, pFound);
    // What import already says in its summary is no warning here.
    const auto inSummary = [](ECheck check) {
        return check == ECheck::missing || check == ECheck::extra || check == ECheck::untranslated;
    };
    for (const CFinding& finding : file.findings)
        if (!inSummary(finding.check))
            err << "lumo: warning: " << FindingLine(path, finding) << '\n';
    std::size_t nErrors = 0;
    for (const CCheckInfo& info : CheckTable()) {
        const std::size_t nFound = file.summary.counts[static_cast<std::size_t>(info.check)];
        if (inSummary(info.check))
            continue;
        if (nFound > kShownPerCheck)
            err << "lumo: " << path << ": " << nFound - kShownPerCheck << " more " << info.name
                << " findings not shown (lumo check --template lists them all)\n";
        if (checker.SeverityOf(info.check) == ESeverity::error)
            nErrors += nFound;
    }
    if (options.bStrict && nErrors > 0) {
        err << "lumo: " << path << ": " << nErrors << (nErrors == 1 ? " finding is" : " findings are")
            << " at error level, and --strict refuses the import\n";
        return false;
    }
    return true;
}

}  // namespace lumo_cli
