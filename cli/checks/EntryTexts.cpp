// SPDX-License-Identifier: MIT
#include "EntryTexts.h"

#include "cli/Diff.h"
#include "cli/StreamIo.h"

#include "platform/Archive.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace lumo_cli {

void CEntryTextFile::Read(const std::string& path)
{
    m_bytes = IsStream(path) ? ReadStream(path) : ReadWholeFile(path);
    m_entries.clear();
    m_copies.clear();
    m_irregular = CIrregularRecords{};
    CArchive ar{std::string_view(m_bytes)};
    CEntryReader reader(ar);
    const UINT nCount = reader.ReadCount();
    // Never more than the bytes could hold: an entry takes at least 15.
    m_entries.reserve(std::min<std::size_t>(nCount, m_bytes.size() / 15));
    const char* const pBegin = m_bytes.data();
    const char* const pEnd = pBegin + m_bytes.size();
    // A text the reader returns from the file's bytes stays valid; one it
    // put together elsewhere is copied.
    auto keep = [&](std::string_view text) -> std::string_view {
        if (text.empty() || (text.data() >= pBegin && text.data() + text.size() <= pEnd))
            return text;
        m_copies.push_back(std::make_unique<char[]>(text.size()));
        std::memcpy(m_copies.back().get(), text.data(), text.size());
        return {m_copies.back().get(), text.size()};
    };
    for (UINT i = 0; i < nCount; ++i) {
        CEntryTexts& entry = m_entries.emplace_back();
        entry.name = keep(reader.ReadRecord(i, EEntryField::name));
        entry.data = keep(reader.ReadRecord(i, EEntryField::data));
        entry.extra = keep(reader.ReadRecord(i, EEntryField::extra));
    }
    reader.ReadEnd();
    m_irregular = reader.GetNotes();
}

void CEntryTextFile::Refer(const std::vector<Entry>& entries)
{
    m_entries.clear();
    m_entries.reserve(entries.size());
    for (const Entry& entry : entries)
        m_entries.push_back({entry.name, entry.data, entry.extra});
}

CPairing PairEntries(const std::vector<CEntryTexts>& source, const std::vector<CEntryTexts>& target)
{
    using Index = std::uint32_t;
    constexpr Index kNone = CPairing::kNone;
    if (source.size() >= kNone || target.size() >= kNone)
        throw std::length_error("too many entries to compare");
    CPairing pairing;
    pairing.sourceOfTarget.assign(target.size(), kNone);
    pairing.targetOfSource.assign(source.size(), kNone);
    pairing.moved.assign(target.size(), false);

    // A translation mostly keeps the source's names in its order: as long as
    // the names agree place by place, entry i pairs with entry i (each name
    // has met as many of itself on both sides), and only the rest is hashed.
    Index nSame = 0;
    const std::size_t nShorter = std::min(source.size(), target.size());
    while (nSame < nShorter && source[nSame].name == target[nSame].name) {
        pairing.sourceOfTarget[nSame] = nSame;
        pairing.targetOfSource[nSame] = nSame;
        ++nSame;
    }

    // Per name, an open-addressing slot (at most half full) with the first
    // source entry of that name and the next one a target entry pairs with;
    // the source entries of a name are chained in order.
    struct CSlot {
        std::size_t hash;
        Index first = kNone, next = kNone;
    };
    std::size_t nSize = 16;
    while (nSize < 2 * (source.size() - nSame))
        nSize *= 2;
    const std::size_t mask = nSize - 1;
    std::vector<CSlot> slots(nSize);
    std::vector<Index> nextOfName(source.size(), kNone), lastOfSlot(nSize, kNone);
    const std::hash<std::string_view> hasher;
    auto find = [&](std::string_view name, std::size_t hash) {
        std::size_t k = hash & mask;
        while (slots[k].first != kNone && (slots[k].hash != hash || source[slots[k].first].name != name))
            k = (k + 1) & mask;
        return k;
    };
    for (Index i = nSame; i < source.size(); ++i) {
        const std::size_t hash = hasher(source[i].name);
        const std::size_t k = find(source[i].name, hash);
        if (slots[k].first == kNone)
            slots[k] = CSlot{hash, i, i};
        else
            nextOfName[lastOfSlot[k]] = i;
        lastOfSlot[k] = i;
    }
    lastOfSlot = {};
    for (Index j = nSame; j < target.size(); ++j) {
        const std::size_t k = find(target[j].name, hasher(target[j].name));
        if (slots[k].first == kNone || slots[k].next == kNone)
            continue;
        const Index i = slots[k].next;
        slots[k].next = nextOfName[i];
        pairing.sourceOfTarget[j] = i;
        pairing.targetOfSource[i] = j;
    }

    // As lumo diff decides what moved: the target positions of the pairs in
    // source order; those outside the longest increasing run moved.
    std::vector<Index> positions;
    positions.reserve(target.size());
    for (const Index j : pairing.targetOfSource)
        if (j != kNone)
            positions.push_back(j);
    // Pairs all in order (the usual case) leave nothing moved.
    if (std::is_sorted(positions.begin(), positions.end()))
        return pairing;
    std::vector<bool> kept(positions.size(), false);
    for (const Index k : LongestIncreasingRun(positions))
        kept[k] = true;
    for (std::size_t k = 0; k < positions.size(); ++k)
        pairing.moved[positions[k]] = !kept[k];
    return pairing;
}

}  // namespace lumo_cli
