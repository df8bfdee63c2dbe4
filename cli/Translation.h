// SPDX-License-Identifier: MIT
// Texts for translators. Every distinct (entry name, source text) pair is one
// message, as gettext sees it: the name is its context, the source text its
// id. The data and the extra text of every entry take part; empty texts have
// nothing to translate and are no message. Texts stay Windows-1252 bytes here;
// the formats convert them.
#pragma once

#include "EntryIo.h"
#include "EntryStore.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace lumo_cli {

// Warnings about what a conversion leaves out. Only the first few of a kind
// are kept in full, so a file that is wrong throughout gives a short report.
class CWarnings {
public:
    static constexpr std::size_t kShownPerKind = 10;

    // Counts a warning of this kind; makes its text only when it is shown.
    void Add(std::string_view kind, const std::function<std::string()>& makeText);
    // The warnings shown, then one line per kind with more than were shown.
    std::vector<std::string> Lines() const;
    bool Empty() const { return m_kinds.empty(); }

private:
    struct CKind {
        std::string name;
        std::size_t nCount = 0;
    };
    std::vector<CKind> m_kinds;
    std::vector<std::string> m_shown;
};

// A text's place: 2 * entry index, plus 1 for the extra text.
using Slot = std::size_t;
constexpr Slot kNoSlot = static_cast<Slot>(-1);
inline Slot SlotOf(std::size_t nEntry, bool bExtra) { return 2 * nEntry + (bExtra ? 1 : 0); }

struct CMessage {
    std::string_view name, source;  // into the source entries
    std::string_view translation;   // a copy of the target's text; empty: not translated
    Slot first = kNoSlot, last = kNoSlot;
    bool bData = false, bExtra = false;  // where it occurs: as a data text, as an extra text
};

// Which text of its entries a message is, for translators: "the data text
// of the entry", "the extra text of these 3 entries", ...
std::string DescribeOccurrence(const CMessage& message, std::size_t nEntries);
// The same appended to out, for writers that describe every message.
void AppendOccurrence(std::string& out, const CMessage& message, std::size_t nEntries);

// Entries as a catalog reads them: a list of entries or a compact store.
class CEntrySpan {
public:
    CEntrySpan(const std::vector<Entry>& entries) : m_pVector(&entries) {}
    CEntrySpan(const CEntryStore& store) : m_pStore(&store) {}
    CEntrySpan(std::vector<Entry>&&) = delete;  // it would outlive a temporary
    CEntrySpan(CEntryStore&&) = delete;

    std::size_t Size() const { return m_pStore ? m_pStore->Size() : m_pVector->size(); }
    std::string_view Name(std::size_t i) const { return m_pStore ? m_pStore->Name(i) : (*m_pVector)[i].name; }
    std::string_view Text(std::size_t i, bool bExtra) const
    {
        return m_pStore ? m_pStore->Text(i, bExtra) : bExtra ? (*m_pVector)[i].extra : (*m_pVector)[i].data;
    }
    // The store it shows, or null.
    const CEntryStore* Store() const { return m_pStore; }

private:
    const std::vector<Entry>* m_pVector = nullptr;
    const CEntryStore* m_pStore = nullptr;
};

// The messages of a list of entries, in the order they first occur. It refers
// to the entries' texts, so the entries must outlive it and stay unchanged.
// A message is a small record; its texts are found in the entries when asked.
class CCatalog {
public:
    // With bPairing, translations will be added: the messages are numbered
    // on another core while what pairs target entries with source entries
    // (the source's names, numbered) is made and the target is read, and
    // the catalog is complete once AddTranslations returns.
    explicit CCatalog(CEntrySpan source, bool bPairing = false);
    ~CCatalog();

    // Takes the translations from target (once), pairing each of its entries with
    // the source entry of the same name and the same occurrence of that name
    // (the second "A" with the second "A"). Target entries with no partner are
    // left out; a message translated twice differently keeps the first.
    // The texts that translate a message are copied; target may go after.
    void AddTranslations(const std::vector<Entry>& target, CWarnings& warnings);
    // The same for target entries handed over one by one, in order, by
    // forEach: a target file read without being held whole.
    void AddTranslations(const std::function<void(const EntryVisitor&)>& forEach, CWarnings& warnings);

    // The messages as a list: size(), [m] and iteration give each CMessage.
    class CMessages {
    public:
        class CIterator {
        public:
            using value_type = CMessage;
            using difference_type = std::ptrdiff_t;
            CMessage operator*() const { return m_pCatalog->Message(m_m); }
            CIterator& operator++()
            {
                ++m_m;
                return *this;
            }
            bool operator==(const CIterator& other) const { return m_m == other.m_m; }

        private:
            friend class CMessages;
            CIterator(const CCatalog* pCatalog, std::size_t m) : m_pCatalog(pCatalog), m_m(m) {}
            const CCatalog* m_pCatalog;
            std::size_t m_m;
        };
        std::size_t size() const { return m_catalog.m_records.size(); }
        bool empty() const { return size() == 0; }
        CMessage operator[](std::size_t m) const { return m_catalog.Message(m); }
        CIterator begin() const { return {&m_catalog, 0}; }
        CIterator end() const { return {&m_catalog, size()}; }

    private:
        friend class CCatalog;
        explicit CMessages(const CCatalog& catalog) : m_catalog(catalog) {}
        const CCatalog& m_catalog;
    };
    CMessages Messages() const { return CMessages(*this); }
    CMessage Message(std::size_t m) const;
    // The message a text is, or npos for an empty text.
    std::size_t MessageAt(Slot slot) const { return Widen(m_slotMessage[slot]); }
    // The next place of the same message, in entry order; kNoSlot after the last.
    Slot NextSlot(Slot slot) const { return Widen(m_nextSlot[slot]); }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    static std::size_t Widen(std::uint32_t n) { return n == kNone ? npos : n; }
    struct CRecord {
        std::uint32_t first;          // its first slot
        std::uint32_t nTranslation;   // the length of its translation
        const char* pTranslation;     // into m_translations; null: none
    };
    std::string_view Keep(std::string_view text);
    void IndexMessages();
    // Waits until the messages of the source entries before nEntries are
    // numbered (all of them: the numbering is done and its thread joined).
    void WaitForIndex(std::size_t nEntries);
    void FinishIndex();
    struct CNameIndex;

    CEntrySpan m_source;
    std::unique_ptr<CNameIndex> m_pNames;  // made for AddTranslations, freed by it
    std::vector<CRecord> m_records;
    std::vector<std::uint8_t> m_places;  // per message: 1 as a data text, 2 as an extra text
    std::vector<std::uint32_t> m_lastSlot;  // per message
    std::vector<std::uint32_t> m_slotMessage, m_nextSlot;
    // With pairing, the messages are numbered on a thread of their own while
    // the target is read: the source entries numbered so far (every one of
    // them once the numbering failed, which m_indexError then holds).
    std::thread m_indexer;
    std::atomic<std::size_t> m_nIndexed{0};
    std::exception_ptr m_indexError;
    std::vector<std::unique_ptr<char[]>> m_translations;  // blocks that never move
    std::size_t m_nBlockFree = 0;
    char* m_pFree = nullptr;
};

// A translation as read from a translator's file.
struct CTranslation {
    std::string_view name, source;  // Windows-1252
    std::string_view text;          // Windows-1252; empty: untranslated
    bool bFuzzy = false;            // there, but not to be used yet
    std::size_t nUnitId = 0;        // XLIFF: the number lumo gave its unit; 0 for none
};

// Memory for a large table that is looked up at random: on Linux it asks
// for huge pages, so that a lookup does not also miss the TLB.
template <class T>
struct CLargeTableAllocator {
    using value_type = T;
    CLargeTableAllocator() = default;
    template <class U>
    CLargeTableAllocator(const CLargeTableAllocator<U>&)
    {
    }
    T* allocate(std::size_t n);
    void deallocate(T* p, std::size_t n) noexcept;
    friend bool operator==(const CLargeTableAllocator&, const CLargeTableAllocator&) { return true; }
};

// The records of a CTranslations, in segments that never move, and their
// texts in blocks that never move, so that the records published may be
// read on another thread while more are added (see CTranslationsFeed). A
// record's name and source are those of a text of the template when the
// feed offers one that has them, and a copy otherwise.
class CTranslationRecords {
public:
    CTranslation At(std::size_t index) const
    {
        const CRecord& r = m_segments[index >> kSegmentBits][index & (kSegment - 1)];
        CTranslation translation;
        if (r.key & 1) {
            const std::size_t slot = static_cast<std::size_t>(r.key >> 1);
            translation.name = m_pTemplate->Name(slot / 2);
            translation.source = m_pTemplate->Text(slot / 2, slot % 2 == 1);
        } else {
            const char* p = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(r.key));
            std::uint32_t lengths[2];
            std::memcpy(lengths, p, sizeof lengths);
            translation.name = {p + sizeof lengths, lengths[0]};
            translation.source = {p + sizeof lengths + lengths[0], lengths[1]};
        }
        translation.text = {r.pText, r.nText};
        translation.bFuzzy = (r.unit & 1) != 0;
        translation.nUnitId = r.unit >> 1;
        return translation;
    }
    // The translated text alone, and whether it is fuzzy: what a result
    // needs, without finding the name and source.
    std::pair<std::string_view, bool> TextAt(std::size_t index) const
    {
        const CRecord& r = m_segments[index >> kSegmentBits][index & (kSegment - 1)];
        return {{r.pText, r.nText}, (r.unit & 1) != 0};
    }
    // Whether the record at index refers to the text of templ at slot.
    bool Refers(std::size_t index, CEntrySpan templ, Slot slot) const
    {
        const CRecord& r = m_segments[index >> kSegmentBits][index & (kSegment - 1)];
        return (r.key & 1) && templ.Store() == m_pTemplate && r.key >> 1 == slot;
    }
    // How many may be read on any thread.
    std::size_t Published() const { return m_nPublished.load(std::memory_order_acquire); }

private:
    friend class CTranslations;
    struct CRecord {
        // (2 * entry + 1 for the extra text) * 2 + 1: that text of the
        // template; else where the name and source are, after their lengths.
        std::uint64_t key;
        const char* pText;
        std::uint32_t nText;
        std::uint32_t unit;  // the unit's id * 2, + 1 when fuzzy
    };
    static constexpr std::size_t kSegmentBits = 16, kSegment = std::size_t(1) << kSegmentBits;
    // Room for every index below 2^32, the most a CTranslations holds.
    static constexpr std::size_t kSegments = std::size_t(1) << (32 - kSegmentBits);

    // slot: the template's text that has its name and source, or kNoSlot.
    // Kept at index, and read by other threads only once published.
    void Append(const CTranslation& translation, Slot slot, const CEntryStore* pTemplate, std::size_t index);
    void Publish(std::size_t nRecords) { m_nPublished.store(nRecords, std::memory_order_release); }
    char* Room(std::size_t nBytes, std::size_t nAlign);

    std::unique_ptr<std::unique_ptr<CRecord[]>[]> m_segments;  // kSegments of them, made at the first record
    std::atomic<std::size_t> m_nPublished{0};
    const CEntryStore* m_pTemplate = nullptr;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_nBlockFree = 0;
    char* m_pFree = nullptr;
};

// Lets another thread see the translations of a file while it is read: a
// CTranslations made on a thread while a feed is installed there hands its
// records to the feed. A reader that starts over makes a new one, which
// then takes the old one's place. The feed may also offer the template the
// file translates, once it is read: the records then refer to its texts
// instead of copying them; it must outlive them.
class CTranslationsFeed {
public:
    CTranslationsFeed();  // installed on the calling thread until it goes
    ~CTranslationsFeed();
    CTranslationsFeed(const CTranslationsFeed&) = delete;
    CTranslationsFeed& operator=(const CTranslationsFeed&) = delete;

    // The records made last, null before the first; nGeneration counts them.
    std::shared_ptr<const CTranslationRecords> Current(std::uint64_t* pGeneration = nullptr) const;
    // From any thread, once: the template, read whole and unchanged from now on.
    void OfferTemplate(const CEntryStore& templ);
    // Before the file is read: a template will be offered, or NoTemplate
    // said. Until then a reader's helper thread may wait for it (see
    // TemplateWait), so that the thread reading the template has a core.
    void ExpectTemplate();
    void NoTemplate();
    // For any thread: waits, a little at most, until the template of the feed
    // installed on the calling thread is offered or known not to come.
    // Empty when no feed there expects one.
    static std::function<void()> TemplateWait();

private:
    friend class CTranslations;
    // What the CTranslations made under it keep, so that none refers to a feed that went.
    struct CShared {
        std::mutex mutex;
        std::shared_ptr<const CTranslationRecords> current;
        std::uint64_t nGeneration = 0;
        std::atomic<const CEntryStore*> pTemplate{nullptr};
        bool bTemplateExpected = false;  // and not yet offered or refused
        std::condition_variable templateSettled;
        void Take(std::shared_ptr<const CTranslationRecords> records);
        void SettleTemplate(const CEntryStore* pTemplate);
    };
    static std::shared_ptr<CShared> Installed();

    std::shared_ptr<CShared> m_pShared;
    CTranslationsFeed* m_pBefore;
};

// The translations of a file by (name, source text). The texts are copied
// into large blocks rather than a string each: a file of a million messages
// would otherwise cost millions of allocations.
class CTranslations {
public:
    CTranslations();
    CTranslations(CTranslations&&) = default;
    CTranslations& operator=(CTranslations&&) = default;

    // Adds one; false (and nothing added) when the pair is already there.
    bool Add(const CTranslation& translation);
    // The same in two steps, so that the table's memory is fetched while
    // the caller reads on: Prepare keeps the translation, Commit adds it or
    // drops it. Between the two only reading the file may come.
    void Prepare(const CTranslation& translation);
    bool Commit();
    // Messages whose name or source text has no Windows-1252 form cannot be
    // in any entry file; they are only counted.
    void AddUnmatchable() { ++m_nUnmatchable; }
    // The index of the translation of a pair, or npos.
    std::size_t Find(std::string_view name, std::string_view source) const;
    // The same, trying the translation at nHint first: a file written from
    // the template lists its messages in the template's order, so a caller
    // walking the template finds most of them at the place after the last.
    std::size_t Find(std::string_view name, std::string_view source, std::size_t nHint) const
    {
        if (nHint < m_nSize && At(nHint).source == source && At(nHint).name == name)
            return nHint;
        return Find(name, source);
    }
    // The same for the text of templ at slot: a translation whose record
    // refers to that very text is found without comparing a byte.
    std::size_t Find(CEntrySpan templ, Slot slot, std::size_t nHint) const
    {
        if (nHint < m_nSize && m_pRecords->Refers(nHint, templ, slot))
            return nHint;
        return Find(templ.Name(slot / 2), templ.Text(slot / 2, slot % 2 == 1), nHint);
    }
    CTranslation At(std::size_t index) const { return m_pRecords->At(index); }
    // The text of the translation at index, and whether it is fuzzy.
    std::pair<std::string_view, bool> TextAt(std::size_t index) const { return m_pRecords->TextAt(index); }
    std::size_t Size() const { return m_nSize; }
    std::size_t Unmatchable() const { return m_nUnmatchable; }
    // Its records, as a feed hands them on.
    const CTranslationRecords* Records() const { return m_pRecords.get(); }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    // An open-addressing table: a lookup touches one slot and, on a match,
    // the strings; a million messages would otherwise cost a node each.
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    struct CSlot {
        std::uint32_t hash = 0;  // the pair's hash, cut to 32 bits: it places the slot and tells most pairs apart
        std::uint32_t index = kEmpty;
    };
    template <class FPair>
    std::size_t FindSlot(std::uint32_t hash, const FPair& pair) const;
    void Grow();
    void GrowTo(std::size_t nSlots);

    // The text of the feed's template that has this name and source, or
    // kNoSlot: a file written from the template has its messages in the
    // template's order, so the texts after the last one found are tried.
    Slot InTemplate(const CEntryStore& templ, std::string_view name, std::string_view source);

    std::shared_ptr<CTranslationRecords> m_pRecords;  // shared with a feed's readers, which may outlive this
    std::size_t m_nSize = 0;
    std::shared_ptr<CTranslationsFeed::CShared> m_pFeed;  // of the feed it was made under
    Slot m_nextSlot = 0;
    std::size_t m_nMisses = 0, m_nSearches = 0;
    // The prepared one: its pair's hash, and where the template was tried before it.
    std::uint32_t m_nPreparedHash = 0;
    Slot m_nextSlotBefore = 0;
    std::vector<CSlot, CLargeTableAllocator<CSlot>> m_slots;  // a power of two in size, at most three quarters full
    std::size_t m_nUnmatchable = 0;
    bool m_bSizedForTemplate = false;
};

struct CImportCounts {
    std::size_t nTranslated = 0, nFuzzy = 0, nUntranslated = 0;  // messages of the template
    std::size_t nNotInTemplate = 0;  // messages of the file that match no text of the template
    std::size_t nMatched = 0;        // messages of the file that match one
    std::size_t nMatchedByUnitId = 0;  // of those, the ones whose source differs and whose unit id matched
};

// Which translation each text of a template has, found once for the checks
// and for the import: the translation of its (name, text). A message of
// the template that the file lacks is "absent"; absent messages are
// numbered in the order they first occur.
class CTemplatePairing {
public:
    CTemplatePairing(CEntrySpan templ, const CTranslations& translations);

    // The translation of the text at slot, or npos (an empty text, or none).
    std::size_t TranslationOf(Slot slot) const { return m_of[slot] < kAbsent ? m_of[slot] : npos; }
    // The absent message the text at slot is, or npos (an empty text, or translated).
    std::size_t AbsentOf(Slot slot) const
    {
        return m_of[slot] >= kAbsent && m_of[slot] != kEmpty ? m_of[slot] - kAbsent : npos;
    }
    // Whether the text at slot is where its message first occurs.
    bool First(Slot slot) const { return m_first[slot]; }
    // The messages of the template, absent ones included.
    std::size_t Messages() const { return m_nMessages; }
    struct CAbsent {
        Slot first;            // where it first occurs
        std::size_t nMessage;  // its number among all messages of the template, from 0
    };
    const std::vector<CAbsent>& Absent() const { return m_absent; }
    // The translations that no text of the template has, in the file's order.
    const std::vector<std::size_t>& Unpaired() const { return m_unpaired; }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    static constexpr std::uint32_t kAbsent = 0x80000000u, kEmpty = 0xFFFFFFFFu;
    std::vector<std::uint32_t> m_of;  // per slot: a translation, kAbsent + an absent message, or kEmpty
    std::vector<bool> m_first;
    std::size_t m_nMessages = 0;
    std::vector<CAbsent> m_absent;
    std::vector<std::size_t> m_unpaired;
};

// The template's entries with every text that has a usable translation (not
// empty, not fuzzy) replaced by it; the other texts keep their source text,
// or become empty with bEmptyUntranslated. A text pairs with the translation
// of its (name, text), its line ends compared as LF (XML turns a CR into
// LF), or else with the unit lumo numbered as its message when that unit
// still has its name: tools such as Poedit write &#13; back as a raw CR.
// Each text is made when asked for, so the result is written out without
// being held; the template, translations and pairing must outlive it.
class CTranslatedTemplate {
public:
    CTranslatedTemplate(CEntrySpan templ, const CTranslations& translations, const CTemplatePairing& pairing,
                        bool bEmptyUntranslated, CImportCounts& counts);
    std::size_t Size() const { return m_templ.Size(); }
    std::string_view Name(std::size_t i) const { return m_templ.Name(i); }
    std::string_view Text(std::size_t i, bool bExtra) const;
    CEntryStore ToStore() const;

private:
    CEntrySpan m_templ;
    const CTranslations& m_translations;
    const CTemplatePairing& m_pairing;
    bool m_bEmptyUntranslated;
    std::vector<std::size_t> m_absentChoice;  // per absent message: the translation it takes, or npos
    std::unordered_map<std::size_t, std::string> m_relined;  // per absent message: its translation with CR line ends
};

// The same, made whole.
CEntryStore ApplyTranslations(CEntrySpan templ, const CTranslations& translations, bool bEmptyUntranslated,
                              CImportCounts& counts);

}  // namespace lumo_cli
