#include "Translation.h"

#include "document/Cp1252.h"

#include <algorithm>
#include <utility>

namespace lumo_cli {

namespace {

struct CPairHash {
    std::size_t operator()(const std::pair<std::string_view, std::string_view>& key) const
    {
        const std::size_t a = std::hash<std::string_view>()(key.first);
        const std::size_t b = std::hash<std::string_view>()(key.second);
        return a ^ (b + 0x9E3779B97F4A7C15ull + (a << 6) + (a >> 2));
    }
};

std::string Quoted(std::string_view name)
{
    return "\"" + Cp1252ToUtf8(name) + "\"";
}

}  // namespace

void CWarnings::Add(std::string_view kind, const std::function<std::string()>& makeText)
{
    auto it = std::find_if(m_kinds.begin(), m_kinds.end(), [&](const CKind& k) { return k.name == kind; });
    if (it == m_kinds.end())
        it = m_kinds.insert(m_kinds.end(), CKind{std::string(kind)});
    if (++it->nCount <= kShownPerKind)
        m_shown.push_back(makeText());
}

std::vector<std::string> CWarnings::Lines() const
{
    std::vector<std::string> lines = m_shown;
    for (const CKind& kind : m_kinds)
        if (kind.nCount > kShownPerKind)
            lines.push_back(std::to_string(kind.nCount - kShownPerKind) + " more " + kind.name + " not shown");
    return lines;
}

CCatalog::CCatalog(const std::vector<Entry>& source)
    : m_source(source), m_slotMessage(2 * source.size(), npos), m_nextSlot(2 * source.size(), kNoSlot)
{
    std::unordered_map<std::pair<std::string_view, std::string_view>, std::size_t, CPairHash> index;
    index.reserve(2 * source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        for (const bool bExtra : {false, true}) {
            const std::string& text = bExtra ? source[i].extra : source[i].data;
            if (text.empty())
                continue;
            const Slot slot = SlotOf(i, bExtra);
            const auto [it, bNew] = index.try_emplace({source[i].name, text}, m_messages.size());
            if (bNew) {
                m_messages.push_back(CMessage{source[i].name, text, {}, slot, slot});
            } else {
                CMessage& message = m_messages[it->second];
                m_nextSlot[message.last] = slot;
                message.last = slot;
            }
            CMessage& message = m_messages[it->second];
            (bExtra ? message.bExtra : message.bData) = true;
            m_slotMessage[slot] = it->second;
        }
    }
}

void CCatalog::AddTranslations(const std::vector<Entry>& target, CWarnings& warnings)
{
    // Per name: the source entry the next target entry of that name pairs with.
    std::unordered_map<std::string_view, std::size_t> nextPartner;
    std::vector<std::size_t> nextSameName(m_source.size(), npos);
    {
        std::unordered_map<std::string_view, std::size_t> lastOfName;
        for (std::size_t i = 0; i < m_source.size(); ++i) {
            const auto [it, bNew] = lastOfName.try_emplace(m_source[i].name, i);
            if (bNew)
                nextPartner.emplace(m_source[i].name, i);
            else
                nextSameName[std::exchange(it->second, i)] = i;
        }
    }
    std::vector<bool> translated(m_messages.size(), false);
    for (std::size_t t = 0; t < target.size(); ++t) {
        const Entry& entry = target[t];
        const auto it = nextPartner.find(entry.name);
        if (it == nextPartner.end()) {
            warnings.Add("target entries whose names are not in the source", [&] {
                return "target entry " + std::to_string(t + 1) + " (" + Quoted(entry.name) +
                       ") has a name the source does not have; it is left out";
            });
            continue;
        }
        if (it->second == npos) {
            warnings.Add("target entries with more occurrences of a name than the source", [&] {
                return "target entry " + std::to_string(t + 1) + " (" + Quoted(entry.name) +
                       ") occurs more often in the target than in the source; it is left out";
            });
            continue;
        }
        const std::size_t s = it->second;
        it->second = nextSameName[s];
        for (const bool bExtra : {false, true}) {
            const std::string& text = bExtra ? entry.extra : entry.data;
            if (text.empty())
                continue;
            const std::size_t m = m_slotMessage[SlotOf(s, bExtra)];
            if (m == npos) {
                warnings.Add("target texts whose source text is empty", [&] {
                    return std::string("the ") + (bExtra ? "extra" : "data") + " text of target entry " +
                           std::to_string(t + 1) + " (" + Quoted(entry.name) +
                           ") is left out: the source has no text there to translate";
                });
                continue;
            }
            CMessage& message = m_messages[m];
            if (!translated[m]) {
                translated[m] = true;
                message.translation = text;
            } else if (message.translation != text) {
                warnings.Add("messages translated differently", [&] {
                    return std::string("the ") + (bExtra ? "extra" : "data") + " text of target entry " +
                           std::to_string(t + 1) + " (" + Quoted(entry.name) +
                           ") translates a text that an earlier entry of that name translates differently; "
                           "the earlier translation is kept";
                });
            }
        }
    }
}

std::size_t CTranslations::CKeyHash::operator()(const std::pair<std::string_view, std::string_view>& key) const
{
    return CPairHash()(key);
}

bool CTranslations::Add(CTranslation translation)
{
    if (Find(translation.name, translation.source))
        return false;
    const CTranslation& stored = m_translations.emplace_back(std::move(translation));
    m_index.emplace(std::pair<std::string_view, std::string_view>(stored.name, stored.source), &stored);
    return true;
}

const CTranslation* CTranslations::Find(std::string_view name, std::string_view source) const
{
    const auto it = m_index.find({name, source});
    return it == m_index.end() ? nullptr : it->second;
}

std::vector<Entry> ApplyTranslations(const std::vector<Entry>& templ, const CTranslations& translations,
                                     bool bEmptyUntranslated, CImportCounts& counts)
{
    const CCatalog catalog(templ);
    const std::vector<CMessage>& messages = catalog.Messages();
    // What each message becomes: its translation, or nullptr to keep or empty it.
    std::vector<const std::string*> result(messages.size(), nullptr);
    counts = CImportCounts{};
    std::size_t nMatched = 0;
    for (std::size_t m = 0; m < messages.size(); ++m) {
        const CTranslation* pTranslation = translations.Find(messages[m].name, messages[m].source);
        if (pTranslation)
            ++nMatched;
        if (pTranslation && !pTranslation->text.empty() && !pTranslation->bFuzzy) {
            result[m] = &pTranslation->text;
            ++counts.nTranslated;
        } else if (pTranslation && !pTranslation->text.empty()) {
            ++counts.nFuzzy;
        } else {
            ++counts.nUntranslated;
        }
    }
    counts.nNotInTemplate = translations.Size() - nMatched + translations.Unmatchable();

    std::vector<Entry> entries;
    entries.reserve(templ.size());
    for (std::size_t i = 0; i < templ.size(); ++i) {
        Entry entry{templ[i].name, {}, {}};
        for (const bool bExtra : {false, true}) {
            const std::size_t m = catalog.MessageAt(SlotOf(i, bExtra));
            std::string& text = bExtra ? entry.extra : entry.data;
            if (m == CCatalog::npos)
                continue;  // an empty text stays empty
            if (result[m])
                text = *result[m];
            else if (!bEmptyUntranslated)
                text = bExtra ? templ[i].extra : templ[i].data;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace lumo_cli
