// SPDX-License-Identifier: MIT
// The three-way merge of entry files, as git's merge driver needs it. An
// entry is the same entry in all three files when it has the same name and is
// the same occurrence of that name, as lumo diff pairs them. Each text of an
// entry merges on its own; the order of the entries merges as a sequence.
// The result is always a list of whole entries: a conflict is written into
// the text it concerns, between git's markers, so nothing is lost.
#pragma once

#include "Diff.h"
#include "EntryIo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumo_cli {

enum class EMergeFavor { none, ours, theirs };

struct CMergeSettings {
    int nMarkerSize = 7;         // the length of git's markers
    std::string label;           // written after each marker's side, as ours:LABEL
    EMergeFavor favor = EMergeFavor::none;
};

struct CMergeConflict {
    enum class EKind {
        text,              // a text changed differently on both sides
        addedBoth,         // an entry added on both sides with different texts
        removedByOurs,     // removed by ours, changed by theirs: theirs kept
        removedByTheirs,   // removed by theirs, changed by ours: ours kept
    };
    EKind kind = EKind::text;
    std::uint32_t nEntry = 0;          // 0-based, in the merged entries
    std::string name;
    EEntryField field = EEntryField::data;  // for text and addedBoth
    // The three versions of the text (text, addedBoth) or of the entry's
    // texts (data then extra, for the removal conflicts); base is empty for
    // addedBoth, and the removed side has none.
    Entry base, ours, theirs;
};

// An entry both sides moved, to different places: it stays where ours put
// it. Not a conflict. (Favouring theirs puts it where theirs did, unnoted.)
struct CMergeOrderNote {
    std::uint32_t nEntry = 0;  // 0-based, in the merged entries
    std::string name;
};

struct CMergeResult {
    std::vector<Entry> entries;
    std::vector<CMergeConflict> conflicts;  // in the merged order; none with favor
    std::vector<CMergeOrderNote> orderNotes;
    std::size_t nResolved = 0;  // conflicts that favor resolved
};

// lumo diff's pairing (DiffEntries) of many files with one base: the base's
// names are hashed once, into an open-addressing table, and an entry at the
// place the last pair predicts is paired without a lookup, so files that
// mostly keep the base's order pair at the speed of reading them. Fills
// m_newOfOld, m_oldOfNew, m_bMoved and m_nAdded exactly as DiffEntries does.
class CBasePairing {
public:
    explicit CBasePairing(const std::vector<Entry>& base);
    CEntryDiff Pair(const std::vector<Entry>& side) const;

private:
    std::uint32_t Find(std::string_view name, std::size_t hash) const;

    const std::vector<Entry>& m_base;
    std::vector<std::uint64_t> m_slots;         // hash's high half << 32 | group + 1; 0 when free
    std::vector<std::uint32_t> m_groupOf;       // per base entry: its name's group
    std::vector<std::uint32_t> m_groupStart;    // per group: where its entries start in m_byGroup
    std::vector<std::uint32_t> m_byGroup;       // base indices, group after group, each in file order
};

// O(n log n) for n entries in all. Throws std::length_error when a file holds
// 2^32 - 1 entries or more.
CMergeResult MergeEntries(const std::vector<Entry>& base, const std::vector<Entry>& ours,
                          const std::vector<Entry>& theirs, const CMergeSettings& settings = {});

}  // namespace lumo_cli
