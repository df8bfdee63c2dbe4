// SPDX-License-Identifier: MIT
// What the checks found, as lines for people and as one JSON document for CI.
#include "CheckText.h"
#include "TranslationChecks.h"

#include "platform/Cp1252.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace lumo_cli {

namespace {

// A name bare when it is plainly one word, quoted otherwise, as diff shows names.
std::string ShownName(std::string_view name)
{
    const bool bPlain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b > 0x20 && b != 0x7F && b != '"' && b != '\\' && b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 &&
               b != 0x9D;
    });
    if (!bPlain)
        return QuotedText(name);
    return Cp1252ToUtf8(name);
}

// One decimal, rounded down, so 99.96% never shows as 100.0%.
std::string Percent(std::size_t n, std::size_t total)
{
    if (total == 0)
        return "100%";
    const unsigned long long tenths = static_cast<unsigned long long>(n) * 1000 / total;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%";
}

std::string Counted(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// "2 errors (printf 1, missing 1)"
std::string BySeverity(const std::vector<CFinding>& findings, const CCheckSummary& summary, ESeverity severity)
{
    std::array<std::size_t, kCheckCount> counts{};
    for (const CFinding& finding : findings)
        if (finding.severity == severity)
            ++counts[static_cast<std::size_t>(finding.check)];
    std::string detail;
    for (std::size_t c = 0; c < kCheckCount; ++c)
        if (counts[c] > 0)
            detail += (detail.empty() ? "" : ", ") + std::string(CheckTable()[c].name) + " " + std::to_string(counts[c]);
    const std::size_t n = severity == ESeverity::error ? summary.nErrors : summary.nWarnings;
    std::string text = severity == ESeverity::error ? Counted(n, "error", "errors") : Counted(n, "warning", "warnings");
    return detail.empty() ? text : text + " (" + detail + ")";
}

const char* FieldName(EField field)
{
    return field == EField::data ? "data" : "extra";
}

std::string Utf8(std::string_view cp1252)
{
    return Cp1252ToUtf8(cp1252);
}

}  // namespace

std::string FindingLine(const std::string& path, const CFinding& finding)
{
    std::string line = path + ": ";
    if (finding.nLine > 0)
        line += "line " + std::to_string(finding.nLine) + ": ";
    std::string place;
    if (finding.nEntry > 0 && finding.nLine == 0)
        place = "entry " + std::to_string(finding.nEntry);
    if (!finding.name.empty() || finding.nEntry > 0 || finding.nLine > 0)
        place += (place.empty() ? "" : " ") + ShownName(finding.name);
    if (!finding.bWholeEntry)
        place += std::string(" (") + FieldName(finding.field) + ")";
    if (!place.empty())
        line += place + ": ";
    return line + InfoOf(finding.check).name + ": " + finding.message;
}

void WriteTextReport(const std::vector<CFileCheck>& files, std::ostream& out)
{
    for (const CFileCheck& file : files) {
        if (!file.damaged.empty()) {
            out << file.path << ": " << file.damaged << '\n';
            continue;
        }
        for (const CFinding& finding : file.findings)
            out << FindingLine(file.path, finding) << '\n';
        const CCheckSummary& s = file.summary;
        out << file.path << ": " << Counted(s.nChecked, s.bMessages ? "message" : "entry", s.bMessages ? "messages" : "entries")
            << " checked";
        if (s.bMessages)
            out << ", " << s.nFuzzy << " fuzzy and " << s.nUntranslated << " untranslated not compared";
        out << "; " << BySeverity(file.findings, s, ESeverity::error) << ", "
            << BySeverity(file.findings, s, ESeverity::warning) << "; translated: " << s.nEntriesTranslated << " of "
            << Counted(s.nEntries, "entry", "entries") << " (" << Percent(s.nEntriesTranslated, s.nEntries) << "), "
            << s.nTextsTranslated << " of " << Counted(s.nTexts, "text", "texts") << " ("
            << Percent(s.nTextsTranslated, s.nTexts) << ")\n";
    }
}

void WriteJsonReport(const CCheckOptions& options, const std::vector<CFileCheck>& files, std::ostream& out)
{
    using Json = nlohmann::ordered_json;
    Json doc;
    doc["source"] = options.source;
    doc["mode"] = options.bTemplate ? "template" : "against";
    Json list = Json::array();
    std::size_t nErrors = 0, nWarnings = 0;
    for (const CFileCheck& file : files) {
        if (!file.damaged.empty()) {
            list.push_back(Json{{"file", file.path}, {"damaged", file.damaged}});
            continue;
        }
        const CCheckSummary& s = file.summary;
        nErrors += s.nErrors;
        nWarnings += s.nWarnings;
        Json summary;
        summary[s.bMessages ? "messages_checked" : "entries_checked"] = s.nChecked;
        if (s.bMessages) {
            summary["fuzzy"] = s.nFuzzy;
            summary["untranslated"] = s.nUntranslated;
        }
        summary["errors"] = s.nErrors;
        summary["warnings"] = s.nWarnings;
        // Per check, in the order of the table.
        std::array<std::array<std::size_t, 2>, kCheckCount> counts{};
        for (const CFinding& finding : file.findings)
            ++counts[static_cast<std::size_t>(finding.check)][finding.severity == ESeverity::error ? 0 : 1];
        Json checks = Json::object();
        for (std::size_t c = 0; c < kCheckCount; ++c)
            if (counts[c][0] + counts[c][1] > 0)
                checks[CheckTable()[c].name] = Json{{"errors", counts[c][0]}, {"warnings", counts[c][1]}};
        summary["checks"] = std::move(checks);
        summary["entries"] = s.nEntries;
        summary["entries_translated"] = s.nEntriesTranslated;
        summary["texts"] = s.nTexts;
        summary["texts_translated"] = s.nTextsTranslated;
        summary["texts_translated_percent"] =
            s.nTexts == 0 ? 100.0 : static_cast<double>(s.nTextsTranslated * 1000 / s.nTexts) / 10.0;
        Json findings = Json::array();
        for (const CFinding& finding : file.findings) {
            Json item;
            item["check"] = InfoOf(finding.check).name;
            item["severity"] = finding.severity == ESeverity::error ? "error" : "warning";
            item["entry"] = finding.nEntry > 0 ? Json(finding.nEntry) : Json(nullptr);
            if (s.bMessages)
                item["line"] = finding.nLine > 0 ? Json(finding.nLine) : Json(nullptr);
            item["name"] = Utf8(finding.name);
            item["field"] = finding.bWholeEntry ? Json(nullptr) : Json(FieldName(finding.field));
            item["source"] = finding.bWholeEntry && finding.source.empty() ? Json(nullptr) : Json(Utf8(finding.source));
            item["translation"] =
                finding.bWholeEntry && finding.translation.empty() ? Json(nullptr) : Json(Utf8(finding.translation));
            item["message"] = finding.message;
            findings.push_back(std::move(item));
        }
        list.push_back(Json{{"file", file.path}, {"summary", std::move(summary)}, {"findings", std::move(findings)}});
    }
    doc["files"] = std::move(list);
    doc["errors"] = nErrors;
    doc["warnings"] = nWarnings;
    // File names need not be UTF-8; a byte that is not becomes U+FFFD rather than an exception.
    out << doc.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace lumo_cli
