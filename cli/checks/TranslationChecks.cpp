// SPDX-License-Identifier: MIT
#include "TranslationChecks.h"

#include "CheckText.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>
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

namespace {

// What one stretch of entries found.
struct CChunk {
    CCheckSummary summary;
    std::vector<CFinding> findings;
    std::exception_ptr error;
};

void AddTo(const CCheckSummary& part, CCheckSummary& whole)
{
    whole.nChecked += part.nChecked;
    whole.nEntries += part.nEntries;
    whole.nEntriesTranslated += part.nEntriesTranslated;
    whole.nTexts += part.nTexts;
    whole.nTextsTranslated += part.nTextsTranslated;
    whole.nFuzzy += part.nFuzzy;
    whole.nUntranslated += part.nUntranslated;
    for (std::size_t c = 0; c < kCheckCount; ++c)
        whole.counts[c] += part.counts[c];
    whole.nErrors += part.nErrors;
    whole.nWarnings += part.nWarnings;
}

// Keeps a finding of an enabled check, or only counts it when its check has
// as many kept as the caller wants.
void Keep(const CChecker& checker, CFinding&& finding, CCheckSummary& summary, std::vector<CFinding>& findings,
          std::size_t nKeepPerCheck)
{
    if (!checker.Enabled(finding.check))
        return;
    if (summary.counts[static_cast<std::size_t>(finding.check)] < nKeepPerCheck) {
        checker.Add(std::move(finding), summary, findings);
        return;
    }
    ++summary.counts[static_cast<std::size_t>(finding.check)];
    ++(checker.SeverityOf(finding.check) == ESeverity::error ? summary.nErrors : summary.nWarnings);
}

// Would a finding of this check be kept? Saves making one that would not.
bool WouldKeep(const CChecker& checker, ECheck check, const CCheckSummary& summary, std::size_t nKeepPerCheck)
{
    return checker.Enabled(check) && summary.counts[static_cast<std::size_t>(check)] < nKeepPerCheck;
}

// Whether a text whose checks found what found says (as CEarlyChecks
// gives it) must be compared again, for a finding that will be kept;
// counts its findings when not.
bool CompareAgain(const CChecker& checker, std::uint32_t found, CCheckSummary& summary, std::size_t nKeepPerCheck)
{
    if (found & CEarlyChecks::kCompareAgain)
        return true;
    for (std::uint32_t rest = found; rest != 0; rest &= rest - 1)
        if (WouldKeep(checker, static_cast<ECheck>(std::countr_zero(rest)), summary, nKeepPerCheck))
            return true;
    for (std::uint32_t rest = found; rest != 0; rest &= rest - 1) {
        const auto check = static_cast<ECheck>(std::countr_zero(rest));
        if (!checker.Enabled(check))
            continue;
        ++summary.counts[static_cast<std::size_t>(check)];
        ++(checker.SeverityOf(check) == ESeverity::error ? summary.nErrors : summary.nWarnings);
    }
    return false;
}

using ChunkCheck = std::function<void(const CChecker&, std::size_t nBegin, std::size_t nEnd, CChunk&)>;

// Runs check over the entries [0, n) in stretches, on every core the
// machine has: comparing the texts of a million entries is most of a
// check's work, and each stretch needs nothing from the others. Every
// thread has a checker of its own (a placeholder pattern keeps its match
// state). What the stretches found joins result in entry order.
void CheckInChunks(const CChecker& checker, std::size_t n, CFileCheck& result, const ChunkCheck& check,
                   bool bOneStretch = false)
{
    const std::size_t kChunk = bOneStretch ? std::max<std::size_t>(n, 1) : 4096;
    const std::size_t nChunks = (n + kChunk - 1) / kChunk;
    std::vector<CChunk> chunks(nChunks);
    std::atomic<std::size_t> next{0};
    const auto work = [&](const CChecker& own) {
        for (std::size_t c = next++; c < nChunks; c = next++) {
            try {
                check(own, c * kChunk, std::min(n, (c + 1) * kChunk), chunks[c]);
            } catch (...) {
                chunks[c].error = std::current_exception();
            }
        }
    };
    std::vector<std::thread> threads;
    const std::size_t nThreads = std::min<std::size_t>(nChunks, std::max(1u, std::thread::hardware_concurrency()));
    try {
        for (std::size_t k = 1; k < nThreads; ++k)
            threads.emplace_back([&] {
                try {
                    const CChecker own(checker.Options());
                    work(own);
                } catch (...) {
                    // No checker of its own: the other threads take its stretches.
                }
            });
    } catch (...) {
        // No more threads to be had (nor the memory to make one): the ones
        // there are do the work.
    }
    work(checker);
    for (std::thread& thread : threads)
        thread.join();

    for (const CChunk& chunk : chunks)
        if (chunk.error)
            std::rethrow_exception(chunk.error);
    // The first findings of each check, in order; each stretch's list goes
    // as soon as it is taken, so the findings are not held twice over.
    std::size_t nFindings = result.findings.size();
    for (const CChunk& chunk : chunks)
        nFindings += chunk.findings.size();
    result.findings.reserve(nFindings);
    CCheckSummary& summary = result.summary;
    for (CChunk& chunk : chunks) {
        std::array<std::size_t, kCheckCount> kept{};
        for (CFinding& finding : chunk.findings) {
            const std::size_t c = static_cast<std::size_t>(finding.check);
            if (summary.counts[c] + kept[c] < result.nKeepPerCheck) {
                ++kept[c];
                result.findings.push_back(std::move(finding));
            }
        }
        std::vector<CFinding>().swap(chunk.findings);
        AddTo(chunk.summary, summary);
    }
}

}  // namespace

void CheckEntries(const CChecker& checker, const std::vector<CEntryTexts>& source,
                  const std::vector<CEntryTexts>& target, CFileCheck& result)
{
    CCheckSummary& summary = result.summary;
    const CPairing pairing = PairEntries(source, target);
    const std::size_t nKeep = result.nKeepPerCheck;
    auto entryFinding = [&](ECheck check, std::size_t nEntry, std::string_view name, std::string message,
                            CCheckSummary& into, std::vector<CFinding>& findings) {
        CFinding finding{check, ESeverity::error};
        finding.nEntry = nEntry;
        finding.name = name;
        finding.bWholeEntry = true;
        finding.message = std::move(message);
        Keep(checker, std::move(finding), into, findings, nKeep);
    };

    // In the source's order, so missing entries come where they belong.
    for (std::size_t i = 0; i < source.size(); ++i) {
        const CEntryTexts& s = source[i];
        const bool bHasText = !s.data.empty() || !s.extra.empty();
        summary.nEntries += bHasText ? 1 : 0;
        summary.nTexts += (s.data.empty() ? 0 : 1) + (s.extra.empty() ? 0 : 1);
        if (pairing.targetOfSource[i] == CPairing::kNone)
            entryFinding(ECheck::missing, i + 1, s.name, "the translation has no counterpart of this entry of the source",
                         summary, result.findings);
    }
    CheckInChunks(checker, target.size(), result, [&](const CChecker& own, std::size_t nBegin, std::size_t nEnd,
                                                      CChunk& chunk) {
        CCheckSummary& part = chunk.summary;
        auto add = [&](CFinding&& finding) { Keep(own, std::move(finding), part, chunk.findings, nKeep); };
        std::vector<CFinding> found;
        for (std::size_t j = nBegin; j < nEnd; ++j) {
            const CEntryTexts& t = target[j];
            if (pairing.sourceOfTarget[j] == CPairing::kNone) {
                entryFinding(ECheck::extra, j + 1, t.name, "the source has no counterpart of this entry", part,
                             chunk.findings);
                continue;
            }
            const std::size_t i = pairing.sourceOfTarget[j];
            const CEntryTexts& s = source[i];
            ++part.nChecked;
            if (pairing.moved[j])
                entryFinding(ECheck::order, j + 1, t.name,
                             "the entry is out of the source's order (it is entry " + std::to_string(i + 1) + " there)",
                             part, chunk.findings);
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
                    finding.message = std::string("the translation has ") +
                                      (field == EField::data ? "a data" : "an extra") + " text where the source has none";
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
                ++part.nTextsTranslated;
                found.clear();
                own.CheckText(sourceText, targetText, found);
                for (CFinding& finding : found) {
                    if (!WouldKeep(own, finding.check, part, nKeep)) {
                        add(std::move(finding));
                        continue;
                    }
                    place(finding);
                    add(std::move(finding));
                }
            }
            if (bAllTranslated && (!s.data.empty() || !s.extra.empty()))
                ++part.nEntriesTranslated;
        }
    });
}

void CheckTranslations(const CChecker& checker, CEntrySpan templ, const CTranslations& translations,
                       const std::vector<std::size_t>& lines, CFileCheck& result)
{
    CheckTranslations(checker, templ, translations, CTemplatePairing(templ, translations), lines, result);
}

void CheckTranslations(const CChecker& checker, CEntrySpan templ, const CTranslations& translations,
                       const CTemplatePairing& pairing, const std::vector<std::size_t>& lines, CFileCheck& result,
                       const std::vector<std::uint32_t>* pFound)
{
    CCheckSummary& summary = result.summary;
    summary.bMessages = true;
    const std::size_t nKeep = result.nKeepPerCheck;
    auto lineOf = [&](std::size_t t) { return t < lines.size() ? lines[t] : 0; };

    // Each message is looked at once, where it first occurs.
    CheckInChunks(
        checker, templ.Size(), result,
        [&](const CChecker& own, std::size_t nBegin, std::size_t nEnd,
                                                     CChunk& chunk) {
        CCheckSummary& part = chunk.summary;
        auto add = [&](CFinding&& finding) { Keep(own, std::move(finding), part, chunk.findings, nKeep); };
        std::vector<CFinding> found;
        for (std::size_t i = nBegin; i < nEnd; ++i) {
            const std::string_view name = templ.Name(i);
            bool bHasText = false, bAllTranslated = true;
            for (const EField field : {EField::data, EField::extra}) {
                const std::string_view text = templ.Text(i, field == EField::extra);
                if (text.empty())
                    continue;
                bHasText = true;
                ++part.nTexts;
                const Slot slot = SlotOf(i, field == EField::extra);
                const std::size_t t = pairing.TranslationOf(slot);
                const std::optional<CTranslation> there =
                    t == CTranslations::npos ? std::nullopt : std::optional<CTranslation>(translations.At(t));
                const CTranslation* pTranslation = there ? &*there : nullptr;
                const bool bUsable = pTranslation && !pTranslation->text.empty() && !pTranslation->bFuzzy;
                if (bUsable)
                    ++part.nTextsTranslated;
                else
                    bAllTranslated = false;
                if (!pairing.First(slot))
                    continue;
                auto where = [&](CFinding& finding) {
                    finding.nEntry = i + 1;
                    finding.nLine = pTranslation ? lineOf(t) : 0;
                    finding.name = name;
                    finding.field = field;
                    finding.source = text;
                    if (pTranslation)
                        finding.translation = pTranslation->text;
                };
                if (!pTranslation) {
                    ++part.nUntranslated;
                    CFinding finding{ECheck::missing, ESeverity::error};
                    if (WouldKeep(own, finding.check, part, nKeep))
                        where(finding);
                    finding.message = "the translation has no message for this text";
                    add(std::move(finding));
                    continue;
                }
                if (pTranslation->bFuzzy) {
                    ++part.nFuzzy;
                    continue;
                }
                if (pTranslation->text.empty()) {
                    ++part.nUntranslated;
                    CFinding finding{ECheck::untranslated, ESeverity::warning};
                    if (WouldKeep(own, finding.check, part, nKeep))
                        where(finding);
                    finding.message = "the translation is empty";
                    add(std::move(finding));
                    continue;
                }
                ++part.nChecked;
                if (pFound && !CompareAgain(own, (*pFound)[t], part, nKeep))
                    continue;
                found.clear();
                own.CheckText(text, pTranslation->text, found);
                for (CFinding& finding : found) {
                    if (WouldKeep(own, finding.check, part, nKeep))
                        where(finding);
                    add(std::move(finding));
                }
            }
            if (bHasText) {
                ++part.nEntries;
                part.nEntriesTranslated += bAllTranslated ? 1 : 0;
            }
        }
    },
                  // With what the early checks found, the few texts compared again go
                  // faster on one thread than the stretches' first findings on all.
                  pFound != nullptr);

    // Counted after the template's own findings, as they come last.
    for (const std::size_t t : pairing.Unpaired()) {
        const CTranslation translation = translations.At(t);
        CFinding finding{ECheck::extra, ESeverity::error};
        finding.nLine = lineOf(t);
        finding.name = translation.name;
        finding.source = translation.source;
        finding.translation = translation.text;
        finding.bWholeEntry = true;
        finding.message = "the template has no text of this name with this source text";
        Keep(checker, std::move(finding), summary, result.findings, nKeep);
    }
    if (translations.Unmatchable() > 0) {
        CFinding finding{ECheck::extra, ESeverity::error};
        finding.bWholeEntry = true;
        finding.message = Plural(translations.Unmatchable(), "message has", "messages have") +
                          " a context or source text that no entry file can hold (not Windows-1252, or none)";
        Keep(checker, std::move(finding), summary, result.findings, nKeep);
    }
}

// A stretch of translations compared by one thread at a time.
constexpr std::size_t kEarlyChunk = 2048;

struct CEarlyChecks::CRun {
    std::shared_ptr<const CTranslationRecords> records;
    std::uint64_t nGeneration = 0;
    std::atomic<std::size_t> nNextChunk{0}, nDoneChunks{0};
    std::atomic<bool> bFailed{false};  // a stretch was not compared to its end
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found;  // (translation, checks) of each with findings
};

CEarlyChecks::CEarlyChecks(const CCheckOptions& options, const CTranslationsFeed& feed) : m_options(options), m_feed(feed)
{
}

CEarlyChecks::~CEarlyChecks() = default;

std::shared_ptr<CEarlyChecks::CRun> CEarlyChecks::CurrentRun()
{
    std::uint64_t nGeneration = 0;
    std::shared_ptr<const CTranslationRecords> records = m_feed.Current(&nGeneration);
    const std::lock_guard lock(m_mutex);
    if (!records || m_bAbandoned.load())
        return nullptr;
    // A reader that started over made new records: what was found is gone with the old ones.
    if (!m_pRun || m_pRun->nGeneration != nGeneration) {
        m_pRun = std::make_shared<CRun>();
        m_pRun->records = std::move(records);
        m_pRun->nGeneration = nGeneration;
    }
    return m_pRun;
}

bool CEarlyChecks::WorkOnce(CChecker& checker, std::vector<std::pair<std::uint32_t, std::uint32_t>>& found)
{
    const std::shared_ptr<CRun> run = CurrentRun();
    if (!run)
        return false;
    // Once the read is over every record is published, the last stretch too.
    const bool bClosed = m_bClosed.load(std::memory_order_acquire);
    const std::size_t n = run->records->Published();
    const std::size_t nChunks = bClosed ? (n + kEarlyChunk - 1) / kEarlyChunk : n / kEarlyChunk;
    std::size_t c = run->nNextChunk.load();
    do {
        if (c >= nChunks)
            return false;
    } while (!run->nNextChunk.compare_exchange_weak(c, c + 1));
    // Done, or failed, the stretch counts: Finish waits for every one.
    struct CDone {
        CRun& run;
        bool bFinished = false;
        ~CDone()
        {
            if (!bFinished)
                run.bFailed = true;
            run.nDoneChunks.fetch_add(1, std::memory_order_release);
        }
    } done{*run};
    found.clear();
    std::vector<CFinding> findings;
    for (std::size_t t = c * kEarlyChunk; t < std::min(n, (c + 1) * kEarlyChunk); ++t) {
        const CTranslation translation = run->records->At(t);
        if (translation.bFuzzy || translation.text.empty())
            continue;  // counted, not compared
        findings.clear();
        checker.CheckText(translation.source, translation.text, findings);
        std::uint32_t checks = 0;
        for (const CFinding& finding : findings) {
            const std::uint32_t bit = std::uint32_t(1) << static_cast<unsigned>(finding.check);
            checks |= (checks & bit) ? kCompareAgain : bit;
        }
        if (checks)
            found.emplace_back(static_cast<std::uint32_t>(t), checks);
    }
    {
        const std::lock_guard lock(run->mutex);
        run->found.insert(run->found.end(), found.begin(), found.end());
    }
    done.bFinished = true;
    return true;
}

void CEarlyChecks::Work()
{
    try {
        CChecker checker(m_options);
        std::vector<std::pair<std::uint32_t, std::uint32_t>> found;
        while (!m_bAbandoned.load()) {
            if (WorkOnce(checker, found))
                continue;
            if (m_bClosed.load(std::memory_order_acquire))
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(100));  // the reader is ahead of nothing yet
        }
    } catch (...) {
        // No checker or no memory here: Finish does what is left.
    }
}

std::vector<std::uint32_t> CEarlyChecks::Finish(const CTranslations& translations)
{
    m_bClosed.store(true, std::memory_order_release);
    CChecker checker(m_options);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found;
    while (WorkOnce(checker, found)) {
    }
    const std::shared_ptr<CRun> run = CurrentRun();
    if (!run || run->records.get() != translations.Records()) {
        Abandon();
        return {};
    }
    // Stretches another thread took may still be under way.
    const std::size_t nChunks = (translations.Size() + kEarlyChunk - 1) / kEarlyChunk;
    while (run->nDoneChunks.load(std::memory_order_acquire) < nChunks)
        std::this_thread::yield();
    if (run->bFailed)
        return {};  // the report compares every text then
    std::vector<std::uint32_t> checks(translations.Size(), 0);
    {
        const std::lock_guard lock(run->mutex);
        for (const auto& [t, c] : run->found)
            checks[t] = c;
        std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(run->found);
    }
    // Done: nothing more to compare, and what was found goes.
    m_bAbandoned.store(true);
    const std::lock_guard lock(m_mutex);
    m_pRun.reset();
    return checks;
}

void CEarlyChecks::Abandon()
{
    m_bAbandoned.store(true);
    m_bClosed.store(true, std::memory_order_release);
}

}  // namespace lumo_cli
