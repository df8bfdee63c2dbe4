// SPDX-License-Identifier: MIT
#include "Translation.h"

#include "Text.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <future>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <optional>
#include <utility>

#include <sys/mman.h>

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

}  // namespace

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

void* AllocateLarge(std::size_t nBytes)
{
    if (nBytes < 2 * kHugePage)
        return ::operator new(nBytes);
    void* p = ::operator new(nBytes, std::align_val_t(kHugePage));
#ifdef MADV_HUGEPAGE
    // Before the first touch, so that the pages are huge when they come.
    ::madvise(p, nBytes & ~(kHugePage - 1), MADV_HUGEPAGE);
#endif
    return p;
}

void ReleaseLarge(void* p, std::size_t nBytes) noexcept
{
    if (nBytes < 2 * kHugePage)
        ::operator delete(p);
    else
        ::operator delete(p, std::align_val_t(kHugePage));
}

}  // namespace

template <class T>
T* CLargeTableAllocator<T>::allocate(std::size_t n)
{
    return static_cast<T*>(AllocateLarge(n * sizeof(T)));
}

template <class T>
void CLargeTableAllocator<T>::deallocate(T* p, std::size_t n) noexcept
{
    ReleaseLarge(p, n * sizeof(T));
}

template struct CLargeTableAllocator<CTranslations::CSlot>;

void AppendOccurrence(std::string& out, const CMessage& message, std::size_t nEntries)
{
    if (nEntries <= 1) {
        out += message.bData && message.bExtra ? "the data and the extra text of the entry"
               : message.bData                 ? "the data text of the entry"
                                               : "the extra text of the entry";
        return;
    }
    const std::string entries = "these " + std::to_string(nEntries) + " entries";
    out += message.bData && message.bExtra ? "the data text of some of " + entries + ", the extra text of others"
           : message.bData                 ? "the data text of " + entries
                                           : "the extra text of " + entries;
}

std::string DescribeOccurrence(const CMessage& message, std::size_t nEntries)
{
    std::string description;
    AppendOccurrence(description, message, nEntries);
    return description;
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

// The source's names numbered 0, 1, ... in the order they first come, in
// an open-addressing table at most half full; a name is found through the
// first source entry that has it. Per name: the source entry the next
// target entry of that name pairs with.
struct CCatalog::CNameIndex {
    struct CNameSlot {
        std::uint32_t hash = 0;
        std::uint32_t number = kNone;
    };
    CEntrySpan source;
    std::vector<CNameSlot> names;
    std::size_t mask;
    std::vector<std::uint32_t> firstOfName, nextPartner;
    std::vector<std::uint32_t> nameOf;        // each source entry's name number
    std::vector<std::uint32_t> nextSameName;  // the next source entry of the same name

    explicit CNameIndex(CEntrySpan entries);
    std::size_t Probe(std::string_view name, std::uint32_t hash) const
    {
        std::size_t k = hash & mask;
        while (names[k].number != kNone && (names[k].hash != hash || source.Name(firstOfName[names[k].number]) != name))
            k = (k + 1) & mask;
        return k;
    }
};

CCatalog::CNameIndex::CNameIndex(CEntrySpan entries) : source(entries)
{
    const std::size_t nSource = source.Size();
    std::size_t nSize = 64;
    while (nSize < 2 * nSource)
        nSize *= 2;
    names.resize(nSize);
    mask = nSize - 1;
    nameOf.resize(nSource);
    nextSameName.assign(nSource, kNone);
    std::vector<std::uint32_t> lastOfName;
    // Each name's slot is fetched a batch ahead, as in IndexMessages.
    constexpr std::size_t kBatch = 32;
    std::uint32_t hashes[kBatch];
    for (std::size_t i = 0; i < nSource; ++i) {
        if (i % kBatch == 0) {
            for (std::size_t j = i; j < std::min(nSource, i + kBatch); ++j) {
                hashes[j - i] = static_cast<std::uint32_t>(std::hash<std::string_view>()(source.Name(j)));
                __builtin_prefetch(&names[hashes[j - i] & mask]);
            }
        }
        const std::string_view name = source.Name(i);
        const std::uint32_t hash = hashes[i % kBatch];
        CNameSlot& slot = names[Probe(name, hash)];
        nameOf[i] = slot.number == kNone ? static_cast<std::uint32_t>(firstOfName.size()) : slot.number;
        if (slot.number == kNone) {
            slot = CNameSlot{hash, static_cast<std::uint32_t>(firstOfName.size())};
            firstOfName.push_back(static_cast<std::uint32_t>(i));
            nextPartner.push_back(static_cast<std::uint32_t>(i));
            lastOfName.push_back(static_cast<std::uint32_t>(i));
        } else {
            nextSameName[std::exchange(lastOfName[slot.number], static_cast<std::uint32_t>(i))] =
                static_cast<std::uint32_t>(i);
        }
    }
}

CCatalog::CCatalog(CEntrySpan source, bool bPairing) : m_source(source)
{
    // Slots are 32-bit: twice the entries, and one value kept for none.
    if (source.Size() >= kNone / 2)
        throw std::length_error("a catalog takes at most " + std::to_string(kNone / 2 - 1) + " entries");
    if (bPairing) {
        try {
            m_indexer = std::thread([this] {
                try {
                    IndexMessages();
                } catch (...) {
                    m_indexError = std::current_exception();
                    m_nIndexed.store(m_source.Size(), std::memory_order_release);
                    m_nIndexed.notify_all();
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: one after the other.
        }
    }
    if (!m_indexer.joinable()) {
        IndexMessages();
        if (!bPairing)
            FinishIndex();
    }
    if (bPairing) {
        try {
            m_pNames = std::make_unique<CNameIndex>(source);
        } catch (...) {
            if (m_indexer.joinable())
                m_indexer.join();
            throw;
        }
    }
}

CCatalog::~CCatalog()
{
    if (m_indexer.joinable())
        m_indexer.join();
}

void CCatalog::WaitForIndex(std::size_t nEntries)
{
    for (std::size_t n = m_nIndexed.load(std::memory_order_acquire); n < nEntries;
         n = m_nIndexed.load(std::memory_order_acquire))
        m_nIndexed.wait(n, std::memory_order_acquire);
    if (m_indexError)
        std::rethrow_exception(m_indexError);
}

void CCatalog::FinishIndex()
{
    WaitForIndex(m_source.Size());
    if (m_indexer.joinable())
        m_indexer.join();
    m_records.shrink_to_fit();
    m_places.shrink_to_fit();
    m_lastSlot.shrink_to_fit();
}

void CCatalog::IndexMessages()
{
    const CEntrySpan source = m_source;
    // Room for every text to be a message of its own: the records never
    // move while the pairing reads them as they are made.
    std::size_t nTexts = 0;
    for (std::size_t i = 0; i < source.Size(); ++i)
        nTexts += (source.Text(i, false).empty() ? 0 : 1) + (source.Text(i, true).empty() ? 0 : 1);
    m_records.reserve(nTexts);
    m_places.reserve(nTexts);
    m_lastSlot.reserve(nTexts);
    m_slotMessage.assign(2 * source.Size(), kNone);
    m_nextSlot.assign(2 * source.Size(), kNone);
    // (name, text) -> message in an open-addressing table of hash and
    // message index, a slot per message and at most three quarters full
    // (there are no more messages than texts). It is looked up at random,
    // in large pages where there are.
    struct CIndexSlot {
        std::uint32_t hash = 0;
        std::uint32_t message = kNone;
    };
    std::size_t nSize = 64;
    while (3 * nSize < 4 * nTexts)
        nSize *= 2;
    std::vector<CIndexSlot, CLargeTableAllocator<CIndexSlot>> index(nSize);
    std::vector<std::uint32_t>& last = m_lastSlot;
    const std::size_t mask = nSize - 1;
    // The table is far larger than the caches: each text's slot is found
    // a batch ahead and fetched while the texts before it go in.
    constexpr std::size_t kBatch = 32;
    // The pairing, which follows the numbering, is told how far it got
    // every few batches.
    constexpr std::size_t kTellEvery = 16 * kBatch;
    std::uint32_t hashes[kBatch][2];
    for (std::size_t batch = 0; batch < source.Size(); batch += kBatch) {
        const std::size_t nEnd = std::min(source.Size(), batch + kBatch);
        for (std::size_t i = batch; i < nEnd; ++i) {
            const std::string_view name = source.Name(i);
            for (const bool bExtra : {false, true}) {
                const std::string_view text = source.Text(i, bExtra);
                if (text.empty())
                    continue;
                const auto hash = static_cast<std::uint32_t>(CPairHash()({name, text}));
                hashes[i - batch][bExtra] = hash;
                __builtin_prefetch(&index[hash & mask]);
            }
        }
        for (std::size_t i = batch; i < nEnd; ++i) {
            const std::string_view name = source.Name(i);
            for (const bool bExtra : {false, true}) {
                const std::string_view text = source.Text(i, bExtra);
                if (text.empty())
                    continue;
                const auto slot = static_cast<std::uint32_t>(SlotOf(i, bExtra));
                const std::uint32_t hash = hashes[i - batch][bExtra];
                std::size_t k = hash & mask;
                while (index[k].message != kNone) {
                    if (index[k].hash == hash) {
                        const std::uint32_t first = m_records[index[k].message].first;
                        if (source.Name(first / 2) == name && source.Text(first / 2, first % 2) == text)
                            break;
                    }
                    k = (k + 1) & mask;
                }
                if (index[k].message == kNone) {
                    index[k] = CIndexSlot{hash, static_cast<std::uint32_t>(m_records.size())};
                    m_records.push_back(CRecord{slot, 0, nullptr});
                    m_places.push_back(0);
                    last.push_back(slot);
                } else {
                    m_nextSlot[std::exchange(last[index[k].message], slot)] = slot;
                }
                m_places[index[k].message] |= bExtra ? 2 : 1;
                m_slotMessage[slot] = index[k].message;
            }
        }
        if (nEnd % kTellEvery == 0 || nEnd == source.Size()) {
            m_nIndexed.store(nEnd, std::memory_order_release);
            m_nIndexed.notify_all();
        }
    }
}

CMessage CCatalog::Message(std::size_t m) const
{
    const CRecord& record = m_records[m];
    CMessage message;
    message.name = m_source.Name(record.first / 2);
    message.source = m_source.Text(record.first / 2, record.first % 2);
    if (record.pTranslation)
        message.translation = {record.pTranslation, record.nTranslation};
    message.first = record.first;
    message.last = m_lastSlot[m];
    message.bData = (m_places[m] & 1) != 0;
    message.bExtra = (m_places[m] & 2) != 0;
    return message;
}

std::string_view CCatalog::Keep(std::string_view text)
{
    constexpr std::size_t kBlock = std::size_t(1) << 20;
    if (text.size() > m_nBlockFree) {
        const std::size_t nSize = std::max(kBlock, text.size());
        m_translations.push_back(std::make_unique_for_overwrite<char[]>(nSize));
        m_pFree = m_translations.back().get();
        m_nBlockFree = nSize;
    }
    char* p = m_pFree;
    std::copy(text.begin(), text.end(), p);
    m_pFree += text.size();
    m_nBlockFree -= text.size();
    return {p, text.size()};
}

void CCatalog::AddTranslations(const std::vector<Entry>& target, CWarnings& warnings)
{
    AddTranslations(
        [&](const EntryVisitor& visit) {
            for (std::size_t t = 0; t < target.size(); ++t)
                visit(t, target[t].name, target[t].data, target[t].extra);
        },
        warnings);
}

void CCatalog::AddTranslations(const std::function<void(const EntryVisitor&)>& forEach, CWarnings& warnings)
{
    if (!m_pNames)
        m_pNames = std::make_unique<CNameIndex>(m_source);
    // Only the pairing needs the names: they go when it is done.
    const std::unique_ptr<CNameIndex> pNames = std::move(m_pNames);
    const CNameIndex& index = *pNames;
    const std::vector<std::uint32_t>& nameOf = index.nameOf;
    const std::vector<std::uint32_t>& nextSameName = index.nextSameName;
    std::vector<std::uint32_t>& nextPartner = pNames->nextPartner;
    const std::size_t nSource = m_source.Size();
    forEach([&](std::size_t t, std::string_view name, std::string_view data, std::string_view extra) {
        // A target mostly lists its entries as the source does: the entry
        // at the same place usually has the name, and its number.
        const std::uint32_t n =
            t < nSource && m_source.Name(t) == name
                ? nameOf[t]
                : index.names[index.Probe(name, static_cast<std::uint32_t>(std::hash<std::string_view>()(name)))].number;
        if (n == kNone) {
            warnings.Add("target entries whose names are not in the source", [&] {
                return "target entry " + std::to_string(t + 1) + " (" + QuotedEntryText(name) +
                       ") has a name the source does not have; it is left out";
            });
            return;
        }
        if (nextPartner[n] == kNone) {
            warnings.Add("target entries with more occurrences of a name than the source", [&] {
                return "target entry " + std::to_string(t + 1) + " (" + QuotedEntryText(name) +
                       ") occurs more often in the target than in the source; it is left out";
            });
            return;
        }
        const std::uint32_t s = nextPartner[n];
        nextPartner[n] = nextSameName[s];
        WaitForIndex(s + 1);
        for (const bool bExtra : {false, true}) {
            const std::string_view text = bExtra ? extra : data;
            if (text.empty())
                continue;
            const std::uint32_t m = m_slotMessage[SlotOf(s, bExtra)];
            if (m == kNone) {
                warnings.Add("target texts whose source text is empty", [&] {
                    return std::string("the ") + (bExtra ? "extra" : "data") + " text of target entry " +
                           std::to_string(t + 1) + " (" + QuotedEntryText(name) +
                           ") is left out: the source has no text there to translate";
                });
                continue;
            }
            // The records are read as they are made, in room that never
            // moves; a record has a translation once its text is kept
            // (never an empty one).
            CRecord& record = m_records[m];
            if (!record.pTranslation) {
                const std::string_view kept = Keep(text);
                record.pTranslation = kept.data();
                record.nTranslation = static_cast<std::uint32_t>(kept.size());
            } else if (std::string_view(record.pTranslation, record.nTranslation) != text) {
                warnings.Add("messages translated differently", [&] {
                    return std::string("the ") + (bExtra ? "extra" : "data") + " text of target entry " +
                           std::to_string(t + 1) + " (" + QuotedEntryText(name) +
                           ") translates a text that an earlier entry of that name translates differently; "
                           "the earlier translation is kept";
                });
            }
        }
    });
    FinishIndex();
}

char* CTranslationRecords::Room(std::size_t nBytes, std::size_t nAlign)
{
    constexpr std::size_t kBlock = std::size_t(1) << 20;
    const std::size_t nPad = static_cast<std::size_t>(-reinterpret_cast<std::uintptr_t>(m_pFree)) & (nAlign - 1);
    if (nPad + nBytes > m_nBlockFree) {
        const std::size_t nSize = std::max(kBlock, nBytes);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(nSize));  // aligned for any type
        m_pFree = m_blocks.back().get();
        m_nBlockFree = nSize;
    } else {
        m_pFree += nPad;
        m_nBlockFree -= nPad;
    }
    char* const p = m_pFree;
    m_pFree += nBytes;
    m_nBlockFree -= nBytes;
    return p;
}

void CTranslationRecords::Append(const CTranslation& translation, Slot slot, const CEntryStore* pTemplate,
                                 std::size_t index)
{
    if (!m_segments)
        m_segments = std::make_unique<std::unique_ptr<CRecord[]>[]>(kSegments);
    std::unique_ptr<CRecord[]>& segment = m_segments[index >> kSegmentBits];
    if (!segment)
        segment = std::make_unique_for_overwrite<CRecord[]>(kSegment);
    CRecord record{};
    if (slot != kNoSlot) {
        // Set before the first record that refers to it is published, and never again.
        if (!m_pTemplate)
            m_pTemplate = pTemplate;
        record.key = (static_cast<std::uint64_t>(slot) << 1) | 1;
    } else {
        // The lengths first, aligned, so that the address is even.
        const std::uint32_t lengths[2] = {static_cast<std::uint32_t>(translation.name.size()),
                                          static_cast<std::uint32_t>(translation.source.size())};
        char* p = Room(sizeof lengths + lengths[0] + lengths[1], alignof(std::uint32_t));
        std::memcpy(p, lengths, sizeof lengths);
        std::copy(translation.name.begin(), translation.name.end(), p + sizeof lengths);
        std::copy(translation.source.begin(), translation.source.end(), p + sizeof lengths + lengths[0]);
        record.key = reinterpret_cast<std::uintptr_t>(p);
    }
    char* pText = Room(translation.text.size(), 1);
    std::copy(translation.text.begin(), translation.text.end(), pText);
    record.pText = pText;
    record.nText = static_cast<std::uint32_t>(translation.text.size());
    // No file has 2^31 messages: a larger unit id is no number lumo gave.
    const std::size_t nUnit = translation.nUnitId < (std::size_t(1) << 31) ? translation.nUnitId : 0;
    record.unit = static_cast<std::uint32_t>(nUnit << 1) | (translation.bFuzzy ? 1 : 0);
    segment[index & (kSegment - 1)] = record;
}

namespace {

thread_local CTranslationsFeed* t_pFeed = nullptr;

}  // namespace

CTranslationsFeed::CTranslationsFeed() : m_pShared(std::make_shared<CShared>()), m_pBefore(t_pFeed)
{
    t_pFeed = this;
}

CTranslationsFeed::~CTranslationsFeed()
{
    t_pFeed = m_pBefore;
}

std::shared_ptr<CTranslationsFeed::CShared> CTranslationsFeed::Installed()
{
    return t_pFeed ? t_pFeed->m_pShared : nullptr;
}

std::shared_ptr<const CTranslationRecords> CTranslationsFeed::Current(std::uint64_t* pGeneration) const
{
    const std::lock_guard lock(m_pShared->mutex);
    if (pGeneration)
        *pGeneration = m_pShared->nGeneration;
    return m_pShared->current;
}

void CTranslationsFeed::CShared::SettleTemplate(const CEntryStore* pOffered)
{
    {
        const std::lock_guard lock(mutex);
        if (pOffered)
            pTemplate.store(pOffered, std::memory_order_release);
        bTemplateExpected = false;
    }
    templateSettled.notify_all();
}

void CTranslationsFeed::OfferTemplate(const CEntryStore& templ)
{
    m_pShared->SettleTemplate(&templ);
}

void CTranslationsFeed::ExpectTemplate()
{
    const std::lock_guard lock(m_pShared->mutex);
    m_pShared->bTemplateExpected = m_pShared->pTemplate.load() == nullptr;
}

void CTranslationsFeed::NoTemplate()
{
    m_pShared->SettleTemplate(nullptr);
}

std::function<void()> CTranslationsFeed::TemplateWait()
{
    std::shared_ptr<CShared> pShared = Installed();
    if (!pShared)
        return {};
    {
        const std::lock_guard lock(pShared->mutex);
        if (!pShared->bTemplateExpected)
            return {};
    }
    return [pShared = std::move(pShared)] {
        // A template much larger than the file is not waited for to the end.
        constexpr auto kAtMost = std::chrono::milliseconds(300);
        std::unique_lock lock(pShared->mutex);
        pShared->templateSettled.wait_for(lock, kAtMost, [&] { return !pShared->bTemplateExpected; });
    };
}

void CTranslationsFeed::CShared::Take(std::shared_ptr<const CTranslationRecords> records)
{
    const std::lock_guard lock(mutex);
    current = std::move(records);
    ++nGeneration;
}

CTranslations::CTranslations() : m_pRecords(std::make_shared<CTranslationRecords>()), m_pFeed(CTranslationsFeed::Installed())
{
    if (m_pFeed)
        m_pFeed->Take(m_pRecords);
}

Slot CTranslations::InTemplate(const CEntryStore& templ, std::string_view name, std::string_view source)
{
    const auto at = [&](Slot slot) {
        const std::size_t i = slot / 2;
        return templ.Text(i, slot % 2 == 1) == source && templ.Name(i) == name;
    };
    constexpr Slot kTries = 8;  // texts that are empty, or repeat a message, are passed over
    const Slot nSlots = 2 * templ.Size();
    for (Slot slot = m_nextSlot; slot < nSlots && slot < m_nextSlot + kTries; ++slot) {
        if (at(slot)) {
            m_nextSlot = slot + 1;
            m_nMisses = 0;
            return slot;
        }
    }
    // Where the file is in the template: looked for through the whole
    // template when it comes (the file was read from elsewhere until then),
    // and again after a long stretch of misses, a few times at most.
    constexpr std::size_t kMissesBeforeSearch = 4096, kSearches = 4;
    if ((m_nSearches == 0 || ++m_nMisses >= kMissesBeforeSearch) && m_nSearches < kSearches) {
        ++m_nSearches;
        m_nMisses = 0;
        for (Slot slot = 0; slot < nSlots; ++slot) {
            if (at(slot)) {
                m_nextSlot = slot + 1;
                return slot;
            }
        }
    }
    return kNoSlot;
}

// pair() gives the name and source looked for; it is only asked where a
// slot holds the same hash, and once at most.
template <class FPair>
std::size_t CTranslations::FindSlot(std::uint32_t hash, const FPair& pair) const
{
    const std::size_t mask = m_slots.size() - 1;
    std::optional<std::pair<std::string_view, std::string_view>> wanted;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const CSlot& slot = m_slots[i];
        if (slot.index == kEmpty)
            return i;
        if (slot.hash == hash) {
            if (!wanted)
                wanted = pair();
            const CTranslation there = At(slot.index);
            if (there.name == wanted->first && there.source == wanted->second)
                return i;
        }
    }
}

void CTranslations::Grow()
{
    GrowTo(std::max<std::size_t>(64, 2 * m_slots.size()));
}

void CTranslations::GrowTo(std::size_t nSlots)
{
    using CSlots = decltype(m_slots);
    CSlots old = std::exchange(m_slots, CSlots(nSlots));
    const std::size_t mask = m_slots.size() - 1;
    for (const CSlot& slot : old) {
        if (slot.index == kEmpty)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].index != kEmpty)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

bool CTranslations::Add(const CTranslation& translation)
{
    Prepare(translation);
    return Commit();
}

void CTranslations::Prepare(const CTranslation& translation)
{
    // An entry text is at most 0xFFFFFFFE bytes; no longer one can be a translation of it.
    for (const std::string_view part : {translation.name, translation.source, translation.text})
        if (part.size() > 0xFFFFFFFEu)
            throw CImportError("a text of " + std::to_string(part.size()) +
                               " bytes is longer than an entry file can hold (4 GiB less 2 bytes)");
    if (m_nSize >= kEmpty - 1)
        throw CImportError("the file has more messages than lumo can take (" + std::to_string(kEmpty - 1) + ")");
    m_nextSlotBefore = m_nextSlot;
    const CEntryStore* pTemplate = m_pFeed ? m_pFeed->pTemplate.load(std::memory_order_acquire) : nullptr;
    if (pTemplate && !m_bSizedForTemplate) {
        // A file that translates the template has about a message for each
        // of its entries: the table takes them without growing step by step.
        m_bSizedForTemplate = true;
        std::size_t nSlots = std::max<std::size_t>(64, m_slots.size());
        while (4 * pTemplate->Size() > 3 * nSlots)
            nSlots *= 2;
        if (nSlots > m_slots.size())
            GrowTo(nSlots);
    }
    m_nPreparedHash = static_cast<std::uint32_t>(CPairHash()({translation.name, translation.source}));
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[m_nPreparedHash & (m_slots.size() - 1)]);
    // Kept after the last one, where a dropped one is written over.
    m_pRecords->Append(translation, pTemplate ? InTemplate(*pTemplate, translation.name, translation.source) : kNoSlot,
                       pTemplate, m_nSize);
}

bool CTranslations::Commit()
{
    if (4 * (m_nSize + 1) > 3 * m_slots.size())
        Grow();
    // Its name and source are only found where the hash is the same.
    CSlot& slot = m_slots[FindSlot(m_nPreparedHash, [&] {
        const CTranslation translation = At(m_nSize);
        return std::pair(translation.name, translation.source);
    })];
    if (slot.index != kEmpty) {
        m_nextSlot = m_nextSlotBefore;
        return false;
    }
    slot = CSlot{m_nPreparedHash, static_cast<std::uint32_t>(m_nSize)};
    m_pRecords->Publish(++m_nSize);
    return true;
}

std::size_t CTranslations::Find(std::string_view name, std::string_view source) const
{
    if (m_slots.empty())
        return npos;
    const std::size_t index =
        m_slots[FindSlot(static_cast<std::uint32_t>(CPairHash()({name, source})), [&] { return std::pair(name, source); })]
            .index;
    return index == kEmpty ? npos : index;
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

CTemplatePairing::CTemplatePairing(CEntrySpan templ, const CTranslations& translations)
{
    if (translations.Size() >= kAbsent)
        throw CImportError("the file has more messages than lumo can take (" + std::to_string(kAbsent - 1) + ")");
    const std::size_t nTexts = 2 * templ.Size();
    m_of.assign(nTexts, kEmpty);
    m_first.assign(nTexts, false);

    // The lookups only read, so they share the cores, a stretch of entries
    // each. Within a stretch, a file written from the template has the
    // message after the last one found.
    const auto pair = [&](std::size_t nBegin, std::size_t nEnd) {
        std::size_t nNext = 0;
        for (std::size_t i = nBegin; i < nEnd; ++i) {
            for (const bool bExtra : {false, true}) {
                if (templ.Text(i, bExtra).empty())
                    continue;
                const std::size_t t = translations.Find(templ, SlotOf(i, bExtra), nNext);
                if (t == CTranslations::npos) {
                    m_of[SlotOf(i, bExtra)] = kAbsent;  // which absent message: below
                    continue;
                }
                m_of[SlotOf(i, bExtra)] = static_cast<std::uint32_t>(t);
                nNext = t + 1;
            }
        }
    };
    const std::size_t nThreads =
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, std::max<std::size_t>(1, templ.Size() / 65536));
    std::vector<std::future<void>> parts;
    for (std::size_t k = 1; k < nThreads; ++k) {
        const std::size_t nBegin = templ.Size() * k / nThreads, nEnd = templ.Size() * (k + 1) / nThreads;
        try {
            parts.push_back(std::async(std::launch::async, pair, nBegin, nEnd));
        } catch (const std::system_error&) {
            pair(nBegin, nEnd);  // no thread to be had
        }
    }
    pair(0, nThreads > 1 ? templ.Size() / nThreads : templ.Size());
    for (std::future<void>& part : parts)
        part.get();

    // Where each message first occurs, and which the file lacks, in order.
    std::unordered_map<std::pair<std::string_view, std::string_view>, std::uint32_t, CPairHash> absent;
    std::vector<bool> seen(translations.Size(), false);
    for (Slot slot = 0; slot < nTexts; ++slot) {
        std::uint32_t& of = m_of[slot];
        if (of == kEmpty)
            continue;
        if (of < kAbsent) {
            m_first[slot] = !seen[of];
            seen[of] = true;
        } else {
            const std::size_t i = slot / 2;
            const auto [it, bNew] = absent.emplace(std::pair(templ.Name(i), templ.Text(i, slot % 2 == 1)),
                                                   static_cast<std::uint32_t>(m_absent.size()));
            if (bNew)
                m_absent.push_back({slot, m_nMessages});
            m_first[slot] = bNew;
            of = kAbsent + it->second;
        }
        m_nMessages += m_first[slot] ? 1 : 0;
    }
    for (std::size_t t = 0; t < translations.Size(); ++t)
        if (!seen[t])
            m_unpaired.push_back(t);
}

CTranslatedTemplate::CTranslatedTemplate(CEntrySpan templ, const CTranslations& translations,
                                         const CTemplatePairing& pairing, bool bEmptyUntranslated, CImportCounts& counts)
    : m_templ(templ), m_translations(translations), m_pairing(pairing), m_bEmptyUntranslated(bEmptyUntranslated)
{
    counts = CImportCounts{};
    const std::vector<CTemplatePairing::CAbsent>& absent = pairing.Absent();
    m_absentChoice.assign(absent.size(), CTranslations::npos);
    // A translation goes to one message at most: the paired ones are taken.
    std::vector<bool> used(translations.Size(), true);
    for (const std::size_t t : pairing.Unpaired())
        used[t] = false;
    auto take = [&](std::size_t a, std::size_t t) {
        if (m_absentChoice[a] != CTranslations::npos || t == CTranslations::npos || used[t])
            return false;
        m_absentChoice[a] = t;
        used[t] = true;
        return true;
    };
    const auto nameOf = [&](const CTemplatePairing::CAbsent& message) { return templ.Name(message.first / 2); };
    const auto sourceOf = [&](const CTemplatePairing::CAbsent& message) {
        return templ.Text(message.first / 2, message.first % 2 == 1);
    };
    // Matched with its CRs read as LF, a translation gets the source's line
    // ends back, unless it has CRs of its own. Few texts have CRs: the
    // relined ones are kept apart, by message.
    for (std::size_t a = 0; a < absent.size(); ++a) {
        const std::string_view source = sourceOf(absent[a]);
        if (source.find('\r') == std::string_view::npos ||
            !take(a, translations.Find(nameOf(absent[a]), LineEndsAsLf(source))))
            continue;
        const std::string_view text = translations.At(m_absentChoice[a]).text;
        if (text.find('\r') != std::string_view::npos)
            continue;
        const std::string_view lineEnd = source.find("\r\n") != std::string_view::npos ? "\r\n" : "\r";
        std::string& back = m_relined[a];
        for (const char c : text)
            c == '\n' ? back.append(lineEnd) : back.append(1, c);
    }
    // A unit whose source no longer matches, by the number lumo gave it
    // (the message's number from 1; the first unit of a number counts).
    if (std::find(m_absentChoice.begin(), m_absentChoice.end(), CTranslations::npos) != m_absentChoice.end()) {
        std::vector<std::size_t> ofUnit(pairing.Messages() + 1, CTranslations::npos);
        for (std::size_t t = 0; t < translations.Size(); ++t) {
            const std::size_t nUnit = translations.At(t).nUnitId;
            if (nUnit != 0 && nUnit <= pairing.Messages() && ofUnit[nUnit] == CTranslations::npos)
                ofUnit[nUnit] = t;
        }
        for (std::size_t a = 0; a < absent.size(); ++a) {
            const std::size_t t =
                m_absentChoice[a] == CTranslations::npos ? ofUnit[absent[a].nMessage + 1] : CTranslations::npos;
            if (t != CTranslations::npos && translations.At(t).name == nameOf(absent[a]) && take(a, t))
                ++counts.nMatchedByUnitId;
        }
    }
    // Each message of the template counts once, however many texts it is.
    const auto count = [&](std::size_t t) {
        if (t == CTranslations::npos) {
            ++counts.nUntranslated;
            return;
        }
        const auto [text, bFuzzy] = translations.TextAt(t);
        if (text.empty())
            ++counts.nUntranslated;
        else
            ++(bFuzzy ? counts.nFuzzy : counts.nTranslated);
        ++counts.nMatched;
    };
    for (Slot slot = 0; slot < 2 * templ.Size(); ++slot)
        if (pairing.First(slot) && pairing.TranslationOf(slot) != CTranslations::npos)
            count(pairing.TranslationOf(slot));
    for (const std::size_t t : m_absentChoice)
        count(t);
    counts.nNotInTemplate = translations.Size() - counts.nMatched + translations.Unmatchable();
}

std::string_view CTranslatedTemplate::Text(std::size_t i, bool bExtra) const
{
    const std::string_view text = m_templ.Text(i, bExtra);
    if (text.empty())
        return {};  // an empty text stays empty
    const Slot slot = SlotOf(i, bExtra);
    std::size_t t = m_pairing.TranslationOf(slot);
    const std::size_t a = t == CTranslations::npos ? m_pairing.AbsentOf(slot) : CTemplatePairing::npos;
    if (a != CTemplatePairing::npos)
        t = m_absentChoice[a];
    if (t != CTranslations::npos) {
        const auto [translated, bFuzzy] = m_translations.TextAt(t);
        if (!translated.empty() && !bFuzzy) {
            const auto it = a == CTemplatePairing::npos || m_relined.empty() ? m_relined.end() : m_relined.find(a);
            return it == m_relined.end() ? translated : std::string_view(it->second);
        }
    }
    return m_bEmptyUntranslated ? std::string_view() : text;
}

CEntryStore CTranslatedTemplate::ToStore() const
{
    std::size_t nBytes = 0;
    for (std::size_t i = 0; i < Size(); ++i)
        nBytes += Name(i).size() + Text(i, false).size() + Text(i, true).size();
    CEntryStore entries;
    entries.Reserve(Size(), nBytes);
    for (std::size_t i = 0; i < Size(); ++i)
        entries.Append(Name(i), Text(i, false), Text(i, true));
    return entries;
}

CEntryStore ApplyTranslations(CEntrySpan templ, const CTranslations& translations, bool bEmptyUntranslated,
                              CImportCounts& counts)
{
    const CTemplatePairing pairing(templ, translations);
    return CTranslatedTemplate(templ, translations, pairing, bEmptyUntranslated, counts).ToStore();
}

}  // namespace lumo_cli
