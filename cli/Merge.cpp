// SPDX-License-Identifier: MIT
#include "Merge.h"

#include "Diff.h"
#include "MergeMarkers.h"

#include <functional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

namespace lumo_cli {

namespace {

using Index = std::uint32_t;
constexpr Index kNone = CEntryDiff::kNone;

// Where a merged text comes from.
enum ESource : unsigned char { fromBase, fromOurs, fromTheirs, fromConflict };

// One entry of the merge, in any of the three files: its index in each
// (kNone where it is absent) and what the merge makes of it.
struct CItem {
    Index base = kNone, ours = kNone, theirs = kNone;
    bool bKeep = false;
    bool bMovedOurs = false, bMovedTheirs = false;
    ESource data = fromOurs, extra = fromOurs;
    CMergeConflict::EKind conflict = CMergeConflict::EKind::text;
    bool bConflict = false;  // a removal against a change (data and extra say text conflicts)
    bool bOrderNote = false;
};

class CMerger {
public:
    CMerger(const std::vector<Entry>& base, const std::vector<Entry>& ours, const std::vector<Entry>& theirs,
            const CMergeSettings& settings)
        : m_base(base), m_ours(ours), m_theirs(theirs), m_settings(settings)
    {
    }

    CMergeResult Run()
    {
        Pair();
        for (CItem& item : m_items)
            Decide(item);
        Order();
        return Write();
    }

private:
    // The same entry in the three files: base with each side by lumo diff's
    // pairing, and what both sides added by (name, occurrence) among the added.
    void Pair()
    {
        const CBasePairing pairing(m_base);
        const CEntryDiff ours = pairing.Pair(m_ours);
        const CEntryDiff theirs = pairing.Pair(m_theirs);
        const std::size_t nAll = m_base.size() + ours.m_nAdded + theirs.m_nAdded;
        if (nAll >= kNone)
            throw std::length_error("too many entries to merge");
        m_items.reserve(nAll);
        m_items.resize(m_base.size());
        for (Index i = 0; i < m_base.size(); ++i) {
            m_items[i].base = i;
            m_items[i].ours = ours.m_newOfOld[i];
            m_items[i].theirs = theirs.m_newOfOld[i];
        }
        m_itemOfOurs.resize(m_ours.size());
        m_itemOfTheirs.resize(m_theirs.size());

        std::unordered_map<std::string_view, std::vector<Index>> addedByOurs;
        for (Index j = 0; j < m_ours.size(); ++j) {
            if (const Index i = ours.m_oldOfNew[j]; i != kNone) {
                m_itemOfOurs[j] = i;
                m_items[i].bMovedOurs = ours.m_bMoved[j];
                continue;
            }
            m_itemOfOurs[j] = static_cast<Index>(m_items.size());
            m_items.emplace_back().ours = j;
            addedByOurs[m_ours[j].name].push_back(m_itemOfOurs[j]);
        }
        std::unordered_map<std::string_view, std::size_t> addedByTheirs;
        for (Index k = 0; k < m_theirs.size(); ++k) {
            if (const Index i = theirs.m_oldOfNew[k]; i != kNone) {
                m_itemOfTheirs[k] = i;
                m_items[i].bMovedTheirs = theirs.m_bMoved[k];
                continue;
            }
            // The n-th addition of a name on one side is the n-th on the other.
            const auto it = addedByOurs.find(m_theirs[k].name);
            const std::size_t n = addedByTheirs[m_theirs[k].name]++;
            if (it != addedByOurs.end() && n < it->second.size()) {
                m_itemOfTheirs[k] = it->second[n];
                m_items[it->second[n]].theirs = k;
                continue;
            }
            m_itemOfTheirs[k] = static_cast<Index>(m_items.size());
            m_items.emplace_back().theirs = k;
        }
    }

    static ESource MergeText(const std::string* base, const std::string& ours, const std::string& theirs)
    {
        if (ours == theirs)
            return fromOurs;
        if (base && *base == ours)
            return fromTheirs;
        if (base && *base == theirs)
            return fromOurs;
        return fromConflict;
    }

    ESource Favoured() const { return m_settings.favor == EMergeFavor::theirs ? fromTheirs : fromOurs; }

    void Decide(CItem& item)
    {
        const bool bFavor = m_settings.favor != EMergeFavor::none;
        const Entry* base = item.base != kNone ? &m_base[item.base] : nullptr;
        const Entry* ours = item.ours != kNone ? &m_ours[item.ours] : nullptr;
        const Entry* theirs = item.theirs != kNone ? &m_theirs[item.theirs] : nullptr;
        item.bKeep = ours || theirs;
        if (ours && theirs) {
            item.conflict = base ? CMergeConflict::EKind::text : CMergeConflict::EKind::addedBoth;
            item.data = MergeText(base ? &base->data : nullptr, ours->data, theirs->data);
            item.extra = MergeText(base ? &base->extra : nullptr, ours->extra, theirs->extra);
            for (ESource* source : {&item.data, &item.extra})
                if (*source == fromConflict && bFavor) {
                    *source = Favoured();
                    ++m_nResolved;
                }
            return;
        }
        if (!base) {  // added on one side
            item.data = item.extra = ours ? fromOurs : fromTheirs;
            return;
        }
        // Removed on one side (or both): the other side's changes make a conflict.
        const Entry* kept = ours ? ours : theirs;
        if (!kept || (kept->data == base->data && kept->extra == base->extra)) {
            item.bKeep = false;
            return;
        }
        item.data = item.extra = ours ? fromOurs : fromTheirs;
        if (bFavor) {
            ++m_nResolved;
            item.bKeep = (ours != nullptr) == (m_settings.favor == EMergeFavor::ours);
            return;
        }
        item.bConflict = true;
        item.conflict = ours ? CMergeConflict::EKind::removedByTheirs : CMergeConflict::EKind::removedByOurs;
    }

    // An entry only ours holds (it added it, or kept it against theirs'
    // removal). Theirs cannot name it as a neighbour, so what theirs put in
    // at the same place goes after it; each run of them is passed once.
    static bool OnlyInOurs(const CItem& item) { return item.ours != kNone && item.theirs == kNone; }

    // The merged order, as a list over the items: ours' order, then what
    // theirs placed (its additions, its moves, the entries only it kept)
    // put in after the entry that precedes them in theirs.
    void Order()
    {
        const Index nItems = static_cast<Index>(m_items.size());
        const Index head = nItems;  // the list's sentinel
        m_next.assign(nItems + 1, head);
        const bool bTheirsWins = m_settings.favor == EMergeFavor::theirs;
        auto placedByTheirs = [&](const CItem& item) {
            return item.theirs != kNone &&
                   (item.ours == kNone || (item.bMovedTheirs && (!item.bMovedOurs || bTheirsWins)));
        };
        auto insertAfter = [&](Index at, Index id) {
            m_next[id] = m_next[at];
            m_next[at] = id;
        };

        Index tail = head;
        for (Index j = 0; j < m_ours.size(); ++j) {
            const Index id = m_itemOfOurs[j];
            CItem& item = m_items[id];
            if (!item.bKeep || placedByTheirs(item))
                continue;
            insertAfter(tail, id);
            tail = id;
            // Moved by both: where did each side put it (after which entry)?
            if (item.bMovedOurs && item.bMovedTheirs) {
                const Index afterOurs = j > 0 ? m_itemOfOurs[j - 1] : head;
                const Index afterTheirs = item.theirs > 0 ? m_itemOfTheirs[item.theirs - 1] : head;
                item.bOrderNote = afterOurs != afterTheirs;
            }
        }
        Index last = head;
        for (Index k = 0; k < m_theirs.size(); ++k) {
            const Index id = m_itemOfTheirs[k];
            CItem& item = m_items[id];
            if (!item.bKeep)
                continue;
            if (placedByTheirs(item)) {
                // After the same neighbour; what ours put there comes first.
                Index at = last;
                while (m_next[at] != head && OnlyInOurs(m_items[m_next[at]]))
                    at = m_next[at];
                insertAfter(at, id);
            }
            last = id;
        }
    }

    const std::string& Text(const CItem& item, ESource source, EEntryField field) const
    {
        const Entry& entry = source == fromBase     ? m_base[item.base]
                             : source == fromTheirs ? m_theirs[item.theirs]
                                                    : m_ours[item.ours];
        return field == EEntryField::data ? entry.data : entry.extra;
    }

    static Entry EntryOf(const std::vector<Entry>& entries, Index i) { return i != kNone ? entries[i] : Entry{}; }

    CMergeResult Write()
    {
        CMergeResult result;
        result.nResolved = m_nResolved;
        result.entries.reserve(m_items.size());
        const Index head = static_cast<Index>(m_items.size());
        for (Index id = m_next[head]; id != head; id = m_next[id]) {
            const CItem& item = m_items[id];
            const Index nEntry = static_cast<Index>(result.entries.size());
            Entry& entry = result.entries.emplace_back();
            entry.name = item.ours != kNone ? m_ours[item.ours].name : m_theirs[item.theirs].name;
            for (const EEntryField field : {EEntryField::data, EEntryField::extra}) {
                const ESource source = field == EEntryField::data ? item.data : item.extra;
                std::string& text = field == EEntryField::data ? entry.data : entry.extra;
                if (source != fromConflict) {
                    text = Text(item, source, field);
                    continue;
                }
                const bool bHasBase = item.base != kNone;
                text = ConflictText(Text(item, fromOurs, field), bHasBase ? Text(item, fromBase, field) : "",
                                    Text(item, fromTheirs, field), bHasBase, m_settings.nMarkerSize,
                                    m_settings.label);
                AddConflict(result, item, item.conflict, nEntry, entry.name, field);
            }
            if (item.bConflict)
                AddConflict(result, item, item.conflict, nEntry, entry.name, EEntryField::data);
            if (item.bOrderNote)
                result.orderNotes.push_back({nEntry, entry.name});
        }
        return result;
    }

    void AddConflict(CMergeResult& result, const CItem& item, CMergeConflict::EKind kind, Index nEntry,
                     const std::string& name, EEntryField field) const
    {
        CMergeConflict& conflict = result.conflicts.emplace_back();
        conflict.kind = kind;
        conflict.nEntry = nEntry;
        conflict.name = name;
        conflict.field = field;
        conflict.base = EntryOf(m_base, item.base);
        conflict.ours = EntryOf(m_ours, item.ours);
        conflict.theirs = EntryOf(m_theirs, item.theirs);
    }

    const std::vector<Entry>& m_base;
    const std::vector<Entry>& m_ours;
    const std::vector<Entry>& m_theirs;
    const CMergeSettings& m_settings;
    std::vector<CItem> m_items;  // the base's entries first, in its order, then the additions
    std::vector<Index> m_itemOfOurs, m_itemOfTheirs;
    std::vector<Index> m_next;  // the merged order: a list over the items, m_items.size() its head
    std::size_t m_nResolved = 0;
};

}  // namespace

CBasePairing::CBasePairing(const std::vector<Entry>& base) : m_base(base)
{
    if (base.size() >= kNone)
        throw std::length_error("too many entries to compare");
    std::size_t nSlots = 16;
    while (nSlots < base.size() + base.size() / 2)
        nSlots *= 2;
    m_slots.assign(nSlots, 0);
    m_groupOf.resize(base.size());
    std::vector<Index> firstOf, sizeOf;  // per group: its first entry, its number of entries
    const std::size_t mask = nSlots - 1;
    for (Index i = 0; i < base.size(); ++i) {
        const std::size_t hash = std::hash<std::string_view>()(base[i].name);
        const std::uint64_t tag = static_cast<std::uint64_t>(hash >> 32) << 32;
        std::size_t slot = hash & mask;
        Index group = kNone;
        for (; m_slots[slot] != 0; slot = (slot + 1) & mask) {
            const std::uint64_t value = m_slots[slot];
            if ((value & 0xFFFFFFFF00000000u) == tag) {
                const Index g = static_cast<Index>(value & 0xFFFFFFFFu) - 1;
                if (base[firstOf[g]].name == base[i].name) {
                    group = g;
                    break;
                }
            }
        }
        if (group == kNone) {
            group = static_cast<Index>(firstOf.size());
            firstOf.push_back(i);
            sizeOf.push_back(0);
            m_slots[slot] = tag | (std::uint64_t{group} + 1);
        }
        m_groupOf[i] = group;
        ++sizeOf[group];
    }
    // A counting sort of the base's entries by group.
    m_groupStart.resize(sizeOf.size() + 1);
    Index nStart = 0;
    for (std::size_t g = 0; g < sizeOf.size(); ++g) {
        m_groupStart[g] = nStart;
        nStart += sizeOf[g];
    }
    m_groupStart.back() = nStart;
    m_byGroup.resize(base.size());
    std::vector<Index> fill(m_groupStart.begin(), m_groupStart.end() - 1);
    for (Index i = 0; i < base.size(); ++i)
        m_byGroup[fill[m_groupOf[i]]++] = i;
}

Index CBasePairing::Find(std::string_view name, std::size_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    const std::uint64_t tag = static_cast<std::uint64_t>(hash >> 32) << 32;
    for (std::size_t slot = hash & mask; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint64_t value = m_slots[slot];
        if ((value & 0xFFFFFFFF00000000u) != tag)
            continue;
        const Index g = static_cast<Index>(value & 0xFFFFFFFFu) - 1;
        if (m_base[m_byGroup[m_groupStart[g]]].name == name)
            return g;
    }
    return kNone;
}

CEntryDiff CBasePairing::Pair(const std::vector<Entry>& side) const
{
    if (side.size() >= kNone)
        throw std::length_error("too many entries to compare");
    CEntryDiff diff;
    diff.m_newOfOld.assign(m_base.size(), kNone);
    diff.m_oldOfNew.assign(side.size(), kNone);
    diff.m_bMoved.assign(side.size(), false);
    std::vector<Index> seen(m_groupStart.size() - 1, 0);  // per group: occurrences met so far in the side
    Index predicted = 0;                                   // the base entry after the last one paired
    for (Index j = 0; j < side.size(); ++j) {
        const std::string_view name = side[j].name;
        const Index g = predicted < m_base.size() && m_base[predicted].name == name
                            ? m_groupOf[predicted]
                            : Find(name, std::hash<std::string_view>()(name));
        if (g == kNone || seen[g] == m_groupStart[g + 1] - m_groupStart[g]) {
            ++diff.m_nAdded;
            continue;
        }
        const Index i = m_byGroup[m_groupStart[g] + seen[g]++];
        diff.m_oldOfNew[j] = i;
        diff.m_newOfOld[i] = j;
        predicted = i + 1;
    }
    // As DiffEntries: the matched entries outside a longest run that keeps its order moved.
    std::vector<Index> newPositions;
    newPositions.reserve(side.size() - diff.m_nAdded);
    for (const Index j : diff.m_newOfOld)
        if (j != kNone)
            newPositions.push_back(j);
    for (const Index j : newPositions)
        diff.m_bMoved[j] = true;
    for (const Index k : LongestIncreasingRun(newPositions))
        diff.m_bMoved[newPositions[k]] = false;
    diff.m_nRemoved = m_base.size() - (side.size() - diff.m_nAdded);
    return diff;
}

CMergeResult MergeEntries(const std::vector<Entry>& base, const std::vector<Entry>& ours,
                          const std::vector<Entry>& theirs, const CMergeSettings& settings)
{
    return CMerger(base, ours, theirs, settings).Run();
}

}  // namespace lumo_cli
