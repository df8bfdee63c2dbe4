// SPDX-License-Identifier: MIT
#include "TranslationChecks.h"

#include "CheckText.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace lumo_cli {

namespace {

constexpr std::array<CCheckInfo, kCheckCount> kChecks = {{
    {ECheck::missing, "missing", ESeverity::error, "an entry of the source has no counterpart in the translation"},
    {ECheck::extra, "extra", ESeverity::error, "an entry (or text) of the translation has none in the source"},
    {ECheck::printf, "printf", ESeverity::error, "C placeholders (%s, %5.2f, %1$s) differ"},
    {ECheck::variables, "variables", ESeverity::error, "brace placeholders ({0}, {name}, {name:fmt}) differ"},
    {ECheck::xmltags, "xmltags", ESeverity::error, "tags (<b>, </b>, <br/>, <color=#ff0>) differ or do not balance"},
    {ECheck::placeholder, "placeholder", ESeverity::error, "matches of a --placeholder pattern differ"},
    {ECheck::controls, "controls", ESeverity::error, "control characters (U+0001 to U+001F but tab, LF, CR) differ"},
    {ECheck::newlines, "newlines", ESeverity::error, "the number of line breaks differs"},
    {ECheck::length, "length", ESeverity::error, "the translation is longer than --max-length bytes"},
    {ECheck::untranslated, "untranslated", ESeverity::warning, "the translation is empty, the source is not"},
    {ECheck::unchanged, "unchanged", ESeverity::warning, "the translation is the source text (with letters)"},
    {ECheck::startwhitespace, "startwhitespace", ESeverity::warning, "the whitespace at the start differs"},
    {ECheck::endwhitespace, "endwhitespace", ESeverity::warning, "the whitespace at the end differs"},
    {ECheck::doublespacing, "doublespacing", ESeverity::warning, "the number of double spaces differs"},
    {ECheck::endpunc, "endpunc", ESeverity::warning, "one ends in . ! ? : or an ellipsis, the other does not"},
    {ECheck::numbers, "numbers", ESeverity::warning, "a number of the source is missing from the translation"},
    {ECheck::urls, "urls", ESeverity::warning, "URLs or e-mail addresses differ"},
    {ECheck::longer, "long", ESeverity::warning, "the translation grew more than --max-growth percent"},
    {ECheck::order, "order", ESeverity::warning, "paired entries are in another order than the source's"},
}};

std::string Plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

}  // namespace

const std::array<CCheckInfo, kCheckCount>& CheckTable()
{
    return kChecks;
}

const CCheckInfo& InfoOf(ECheck check)
{
    return kChecks[static_cast<std::size_t>(check)];
}

std::optional<ECheck> CheckNamed(std::string_view name)
{
    for (const CCheckInfo& info : kChecks)
        if (name == info.name)
            return info.check;
    return std::nullopt;
}

std::string CheckNames()
{
    std::string names;
    for (const CCheckInfo& info : kChecks)
        names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

CChecker::CChecker(const CCheckOptions& options) : m_options(options)
{
    for (const std::string& pattern : options.placeholders)
        m_patterns.emplace_back(pattern);
}

ESeverity CChecker::SeverityOf(ECheck check) const
{
    return m_options.bStrict ? ESeverity::error : InfoOf(check).severity;
}

void CChecker::Add(CFinding&& finding, CCheckSummary& summary, std::vector<CFinding>& findings) const
{
    finding.severity = SeverityOf(finding.check);
    ++summary.counts[static_cast<std::size_t>(finding.check)];
    ++(finding.severity == ESeverity::error ? summary.nErrors : summary.nWarnings);
    findings.push_back(std::move(finding));
}

void CChecker::CheckText(std::string_view source, std::string_view translation, std::vector<CFinding>& findings) const
{
    CTextCheck text(m_options, m_patterns, source, translation, findings);
    text.Run();
}

void CheckEntries(const CChecker& checker, const std::vector<Entry>& source, const std::vector<Entry>& target,
                  CFileCheck& result)
{
    CEntryTextFile a, b;
    a.Refer(source);
    b.Refer(target);
    CheckEntries(checker, a.Entries(), b.Entries(), result);
}

void CheckEntries(const CChecker& checker, const std::vector<CEntryTexts>& source,
                  const std::vector<CEntryTexts>& target, CFileCheck& result)
{
    CCheckSummary& summary = result.summary;
    const CPairing pairing = PairEntries(source, target);
    std::vector<CFinding> found;
    auto add = [&](CFinding&& finding) {
        if (checker.Enabled(finding.check))
            checker.Add(std::move(finding), summary, result.findings);
    };
    auto entryFinding = [&](ECheck check, std::size_t nEntry, std::string_view name, std::string message) {
        CFinding finding{check, ESeverity::error};
        finding.nEntry = nEntry;
        finding.name = name;
        finding.bWholeEntry = true;
        finding.message = std::move(message);
        add(std::move(finding));
    };

    // In the source's order, so missing entries come where they belong.
    for (std::size_t i = 0; i < source.size(); ++i) {
        const CEntryTexts& s = source[i];
        const bool bHasText = !s.data.empty() || !s.extra.empty();
        summary.nEntries += bHasText ? 1 : 0;
        summary.nTexts += (s.data.empty() ? 0 : 1) + (s.extra.empty() ? 0 : 1);
        if (pairing.targetOfSource[i] == CPairing::kNone)
            entryFinding(ECheck::missing, i + 1, s.name,
                         "the translation has no counterpart of this entry of the source");
    }
    for (std::size_t j = 0; j < target.size(); ++j) {
        const CEntryTexts& t = target[j];
        if (pairing.sourceOfTarget[j] == CPairing::kNone) {
            entryFinding(ECheck::extra, j + 1, t.name, "the source has no counterpart of this entry");
            continue;
        }
        const std::size_t i = pairing.sourceOfTarget[j];
        const CEntryTexts& s = source[i];
        ++summary.nChecked;
        if (pairing.moved[j])
            entryFinding(ECheck::order, j + 1, t.name,
                         "the entry is out of the source's order (it is entry " + std::to_string(i + 1) + " there)");
        bool bAllTranslated = true;
        for (const EField field : {EField::data, EField::extra}) {
            const std::string_view sourceText = field == EField::data ? s.data : s.extra;
            const std::string_view targetText = field == EField::data ? t.data : t.extra;
            if (sourceText.empty() && targetText.empty())
                continue;
            auto place = [&](CFinding& finding) {
                finding.nEntry = j + 1;
                finding.name = t.name;
                finding.field = field;
                finding.source = sourceText;
                finding.translation = targetText;
            };
            if (sourceText.empty()) {
                CFinding finding{ECheck::extra, ESeverity::error};
                place(finding);
                finding.message = std::string("the translation has ") + (field == EField::data ? "a data" : "an extra") +
                                  " text where the source has none";
                add(std::move(finding));
                continue;
            }
            if (targetText.empty()) {
                bAllTranslated = false;
                CFinding finding{ECheck::untranslated, ESeverity::warning};
                place(finding);
                finding.message = "the translation is empty";
                add(std::move(finding));
                continue;
            }
            ++summary.nTextsTranslated;
            found.clear();
            checker.CheckText(sourceText, targetText, found);
            for (CFinding& finding : found) {
                place(finding);
                add(std::move(finding));
            }
        }
        if (bAllTranslated && (!s.data.empty() || !s.extra.empty()))
            ++summary.nEntriesTranslated;
    }
}

void CheckTranslations(const CChecker& checker, const std::vector<Entry>& templ, const CTranslations& translations,
                       const std::vector<std::size_t>& lines, CFileCheck& result)
{
    CCheckSummary& summary = result.summary;
    summary.bMessages = true;
    auto add = [&](CFinding&& finding) {
        if (checker.Enabled(finding.check))
            checker.Add(std::move(finding), summary, result.findings);
    };
    auto lineOf = [&](std::size_t t) { return t < lines.size() ? lines[t] : 0; };
    struct CPairHash {
        std::size_t operator()(const std::pair<std::string_view, std::string_view>& key) const
        {
            const std::size_t a = std::hash<std::string_view>()(key.first);
            return a ^ (std::hash<std::string_view>()(key.second) + 0x9E3779B97F4A7C15ull + (a << 6) + (a >> 2));
        }
    };
    std::unordered_set<std::pair<std::string_view, std::string_view>, CPairHash> absent;
    std::vector<bool> seen(translations.Size(), false);
    std::vector<CFinding> found;
    for (std::size_t i = 0; i < templ.size(); ++i) {
        const Entry& s = templ[i];
        bool bHasText = false, bAllTranslated = true;
        for (const EField field : {EField::data, EField::extra}) {
            const std::string& text = field == EField::data ? s.data : s.extra;
            if (text.empty())
                continue;
            bHasText = true;
            ++summary.nTexts;
            const std::size_t t = translations.Find(s.name, text);
            const CTranslation* pTranslation = t == CTranslations::npos ? nullptr : &translations.At(t);
            const bool bUsable = pTranslation && !pTranslation->text.empty() && !pTranslation->bFuzzy;
            if (bUsable)
                ++summary.nTextsTranslated;
            else
                bAllTranslated = false;
            // Each message is looked at once, where it first occurs.
            if (!pTranslation) {
                if (!absent.emplace(s.name, text).second)
                    continue;
                ++summary.nUntranslated;
                CFinding finding{ECheck::missing, ESeverity::error};
                finding.nEntry = i + 1;
                finding.name = s.name;
                finding.field = field;
                finding.source = text;
                finding.message = "the translation has no message for this text";
                add(std::move(finding));
                continue;
            }
            if (seen[t])
                continue;
            seen[t] = true;
            CFinding where{ECheck::missing, ESeverity::error};
            where.nEntry = i + 1;
            where.nLine = lineOf(t);
            where.name = s.name;
            where.field = field;
            where.source = text;
            where.translation = pTranslation->text;
            if (pTranslation->bFuzzy) {
                ++summary.nFuzzy;
                continue;
            }
            if (pTranslation->text.empty()) {
                ++summary.nUntranslated;
                where.check = ECheck::untranslated;
                where.message = "the translation is empty";
                add(std::move(where));
                continue;
            }
            ++summary.nChecked;
            found.clear();
            checker.CheckText(text, pTranslation->text, found);
            for (CFinding& finding : found) {
                ECheck check = finding.check;
                std::string message = std::move(finding.message);
                finding = where;
                finding.check = check;
                finding.message = std::move(message);
                add(std::move(finding));
            }
        }
        if (bHasText) {
            ++summary.nEntries;
            summary.nEntriesTranslated += bAllTranslated ? 1 : 0;
        }
    }
    for (std::size_t t = 0; t < translations.Size(); ++t) {
        if (seen[t])
            continue;
        const CTranslation& translation = translations.At(t);
        CFinding finding{ECheck::extra, ESeverity::error};
        finding.nLine = lineOf(t);
        finding.name = translation.name;
        finding.source = translation.source;
        finding.translation = translation.text;
        finding.bWholeEntry = true;
        finding.message = "the template has no text of this name with this source text";
        add(std::move(finding));
    }
    if (translations.Unmatchable() > 0) {
        CFinding finding{ECheck::extra, ESeverity::error};
        finding.bWholeEntry = true;
        finding.message = Plural(translations.Unmatchable(), "message has", "messages have") +
                          " a context or source text that no entry file can hold (not Windows-1252, or none)";
        add(std::move(finding));
    }
}

}  // namespace lumo_cli
