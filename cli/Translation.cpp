// SPDX-License-Identifier: MIT
#include "Translation.h"

#include "Text.h"

#include <algorithm>
#include <unordered_map>
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

// Names numbered 0, 1, ... in the order they first come, in an
// open-addressing table at most half full: a node per name in a
// std::unordered_map costs more than the rest of a large export.
class CNameNumbers {
public:
    explicit CNameNumbers(std::size_t nMax)
    {
        std::size_t nSize = 64;
        while (nSize < 2 * nMax)
            nSize *= 2;
        m_slots.assign(nSize, CSlot{});
        m_names.reserve(nMax);
    }
    // The name's number; bNew when it was numbered now. At most nMax names.
    std::size_t Insert(std::string_view name, bool& bNew)
    {
        const std::size_t hash = std::hash<std::string_view>()(name);
        std::size_t k = Probe(hash, name);
        bNew = m_slots[k].number == npos;
        if (bNew) {
            m_slots[k] = CSlot{hash, m_names.size()};
            m_names.push_back(name);
        }
        return m_slots[k].number;
    }
    // The name's number, or npos.
    std::size_t Find(std::string_view name) const
    {
        return m_slots[Probe(std::hash<std::string_view>()(name), name)].number;
    }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    struct CSlot {
        std::size_t hash = 0;
        std::size_t number = npos;
    };
    std::size_t Probe(std::size_t hash, std::string_view name) const
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t k = hash & mask;
        while (m_slots[k].number != npos && (m_slots[k].hash != hash || m_names[m_slots[k].number] != name))
            k = (k + 1) & mask;
        return k;
    }
    std::vector<CSlot> m_slots;
    std::vector<std::string_view> m_names;
};

}  // namespace

std::string DescribeOccurrence(const CMessage& message, std::size_t nEntries)
{
    if (nEntries <= 1)
        return message.bData && message.bExtra ? "the data and the extra text of the entry"
               : message.bData                 ? "the data text of the entry"
                                               : "the extra text of the entry";
    const std::string entries = "these " + std::to_string(nEntries) + " entries";
    return message.bData && message.bExtra ? "the data text of some of " + entries + ", the extra text of others"
           : message.bData                 ? "the data text of " + entries
                                           : "the extra text of " + entries;
}

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
    // (name, text) -> message in an open-addressing table of hash and
    // message index, at most half full: there are at most two texts an entry.
    struct CIndexSlot {
        std::size_t hash = 0;
        std::size_t message = npos;
    };
    std::size_t nSize = 64;
    while (nSize < 4 * source.size())
        nSize *= 2;
    std::vector<CIndexSlot> index(nSize);
    const std::size_t mask = nSize - 1;
    for (std::size_t i = 0; i < source.size(); ++i) {
        for (const bool bExtra : {false, true}) {
            const std::string& text = bExtra ? source[i].extra : source[i].data;
            if (text.empty())
                continue;
            const Slot slot = SlotOf(i, bExtra);
            const std::size_t hash = CPairHash()({source[i].name, text});
            std::size_t k = hash & mask;
            while (index[k].message != npos &&
                   (index[k].hash != hash || m_messages[index[k].message].name != source[i].name ||
                    m_messages[index[k].message].source != text))
                k = (k + 1) & mask;
            if (index[k].message == npos) {
                index[k] = CIndexSlot{hash, m_messages.size()};
                m_messages.push_back(CMessage{source[i].name, text, {}, slot, slot});
            } else {
                CMessage& message = m_messages[index[k].message];
                m_nextSlot[message.last] = slot;
                message.last = slot;
            }
            CMessage& message = m_messages[index[k].message];
            (bExtra ? message.bExtra : message.bData) = true;
            m_slotMessage[slot] = index[k].message;
        }
    }
}

void CCatalog::AddTranslations(const std::vector<Entry>& target, CWarnings& warnings)
{
    // Per name: the source entry the next target entry of that name pairs with.
    CNameNumbers names(m_source.size());
    std::vector<std::size_t> nextPartner, lastOfName;
    std::vector<std::size_t> nextSameName(m_source.size(), npos);
    for (std::size_t i = 0; i < m_source.size(); ++i) {
        bool bNew = false;
        const std::size_t n = names.Insert(m_source[i].name, bNew);
        if (bNew) {
            nextPartner.push_back(i);
            lastOfName.push_back(i);
        } else {
            nextSameName[std::exchange(lastOfName[n], i)] = i;
        }
    }
    std::vector<bool> translated(m_messages.size(), false);
    for (std::size_t t = 0; t < target.size(); ++t) {
        const Entry& entry = target[t];
        const std::size_t n = names.Find(entry.name);
        if (n == CNameNumbers::npos) {
            warnings.Add("target entries whose names are not in the source", [&] {
                return "target entry " + std::to_string(t + 1) + " (" + QuotedEntryText(entry.name) +
                       ") has a name the source does not have; it is left out";
            });
            continue;
        }
        if (nextPartner[n] == npos) {
            warnings.Add("target entries with more occurrences of a name than the source", [&] {
                return "target entry " + std::to_string(t + 1) + " (" + QuotedEntryText(entry.name) +
                       ") occurs more often in the target than in the source; it is left out";
            });
            continue;
        }
        const std::size_t s = nextPartner[n];
        nextPartner[n] = nextSameName[s];
        for (const bool bExtra : {false, true}) {
            const std::string& text = bExtra ? entry.extra : entry.data;
            if (text.empty())
                continue;
            const std::size_t m = m_slotMessage[SlotOf(s, bExtra)];
            if (m == npos) {
                warnings.Add("target texts whose source text is empty", [&] {
                    return std::string("the ") + (bExtra ? "extra" : "data") + " text of target entry " +
                           std::to_string(t + 1) + " (" + QuotedEntryText(entry.name) +
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
                           std::to_string(t + 1) + " (" + QuotedEntryText(entry.name) +
                           ") translates a text that an earlier entry of that name translates differently; "
                           "the earlier translation is kept";
                });
            }
        }
    }
}

std::string_view CTranslations::Store(std::string_view bytes)
{
    constexpr std::size_t kBlock = std::size_t(1) << 20;
    if (bytes.empty())
        return {};
    if (bytes.size() > m_nBlockFree) {
        const std::size_t nSize = std::max(kBlock, bytes.size());
        m_blocks.push_back(std::make_unique<char[]>(nSize));
        m_pFree = m_blocks.back().get();
        m_nBlockFree = nSize;
    }
    char* p = m_pFree;
    std::copy(bytes.begin(), bytes.end(), p);
    m_pFree += bytes.size();
    m_nBlockFree -= bytes.size();
    return {p, bytes.size()};
}

std::size_t CTranslations::FindSlot(std::size_t hash, std::string_view name, std::string_view source) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const CSlot& slot = m_slots[i];
        if (slot.index == npos)
            return i;
        if (slot.hash == hash && m_translations[slot.index].name == name && m_translations[slot.index].source == source)
            return i;
    }
}

void CTranslations::Grow()
{
    std::vector<CSlot> old = std::exchange(m_slots, std::vector<CSlot>(std::max<std::size_t>(64, 2 * m_slots.size())));
    const std::size_t mask = m_slots.size() - 1;
    for (const CSlot& slot : old) {
        if (slot.index == npos)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].index != npos)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

bool CTranslations::Add(const CTranslation& translation)
{
    if (2 * (m_translations.size() + 1) > m_slots.size())
        Grow();
    const std::size_t hash = CPairHash()({translation.name, translation.source});
    CSlot& slot = m_slots[FindSlot(hash, translation.name, translation.source)];
    if (slot.index != npos)
        return false;
    slot = CSlot{hash, m_translations.size()};
    if (translation.nUnitId != 0)
        m_byUnitId.try_emplace(translation.nUnitId, m_translations.size());
    m_translations.push_back({Store(translation.name), Store(translation.source), Store(translation.text),
                              translation.bFuzzy, translation.nUnitId});
    return true;
}

std::size_t CTranslations::Find(std::string_view name, std::string_view source) const
{
    if (m_slots.empty())
        return npos;
    return m_slots[FindSlot(CPairHash()({name, source}), name, source)].index;
}

std::size_t CTranslations::FindUnit(std::size_t nUnitId) const
{
    const auto it = m_byUnitId.find(nUnitId);
    return it == m_byUnitId.end() ? npos : it->second;
}

namespace {

// CR LF and CR as LF, as an XML reader hands them over.
std::string LineEndsAsLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r')
            out += text[i];
        else if (i + 1 >= text.size() || text[i + 1] != '\n')
            out += '\n';
    }
    return out;
}

}  // namespace

std::vector<Entry> ApplyTranslations(const std::vector<Entry>& templ, const CTranslations& translations,
                                     bool bEmptyUntranslated, CImportCounts& counts)
{
    counts = CImportCounts{};
    // Each message of the template counts once, however many texts it is.
    const CCatalog catalog(templ);
    const std::vector<CMessage>& messages = catalog.Messages();
    std::vector<std::size_t> chosen(messages.size(), CTranslations::npos);
    std::vector<bool> used(translations.Size(), false);
    auto take = [&](std::size_t m, std::size_t t) {
        if (chosen[m] != CTranslations::npos || t == CTranslations::npos || used[t])
            return false;
        chosen[m] = t;
        used[t] = true;
        return true;
    };
    for (std::size_t m = 0; m < messages.size(); ++m)
        take(m, translations.Find(messages[m].name, messages[m].source));
    // Matched with its CRs read as LF, a translation gets the source's line
    // ends back, unless it has CRs of its own.
    std::vector<std::string> relined(messages.size());
    for (std::size_t m = 0; m < messages.size(); ++m) {
        const std::string_view source = messages[m].source;
        if (chosen[m] != CTranslations::npos || source.find('\r') == std::string_view::npos ||
            !take(m, translations.Find(messages[m].name, LineEndsAsLf(source))))
            continue;
        const std::string_view text = translations.At(chosen[m]).text;
        if (text.find('\r') != std::string_view::npos)
            continue;
        const std::string_view lineEnd = source.find("\r\n") != std::string_view::npos ? "\r\n" : "\r";
        for (const char c : text)
            c == '\n' ? relined[m].append(lineEnd) : relined[m].append(1, c);
    }
    // A unit whose source no longer matches, by the number lumo gave it.
    for (std::size_t m = 0; m < messages.size(); ++m) {
        const std::size_t t = chosen[m] == CTranslations::npos ? translations.FindUnit(m + 1) : CTranslations::npos;
        if (t != CTranslations::npos && translations.At(t).name == messages[m].name && take(m, t))
            ++counts.nMatchedByUnitId;
    }
    for (std::size_t m = 0; m < messages.size(); ++m) {
        const CTranslation* pTranslation = chosen[m] == CTranslations::npos ? nullptr : &translations.At(chosen[m]);
        if (!pTranslation || pTranslation->text.empty())
            ++counts.nUntranslated;
        else
            ++(pTranslation->bFuzzy ? counts.nFuzzy : counts.nTranslated);
        if (pTranslation)
            ++counts.nMatched;
    }
    std::vector<Entry> entries;
    entries.reserve(templ.size());
    for (std::size_t i = 0; i < templ.size(); ++i) {
        const Entry& source = templ[i];
        Entry& entry = entries.emplace_back();
        entry.name = source.name;
        for (const bool bExtra : {false, true}) {
            const std::string& text = bExtra ? source.extra : source.data;
            if (text.empty())
                continue;  // an empty text stays empty
            const std::size_t m = catalog.MessageAt(SlotOf(i, bExtra));
            const CTranslation* pTranslation = chosen[m] == CTranslations::npos ? nullptr : &translations.At(chosen[m]);
            std::string& result = bExtra ? entry.extra : entry.data;
            if (pTranslation && !pTranslation->text.empty() && !pTranslation->bFuzzy)
                result = relined[m].empty() ? std::string(pTranslation->text) : relined[m];
            else if (!bEmptyUntranslated)
                result = text;
        }
    }
    counts.nNotInTemplate = translations.Size() - counts.nMatched + translations.Unmatchable();
    return entries;
}

}  // namespace lumo_cli
