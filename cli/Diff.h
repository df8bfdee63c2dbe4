// SPDX-License-Identifier: MIT
// What changed between two entry files, entry by entry. An entry of the new
// file is the same entry as one of the old file when both have the same name
// and are the same occurrence of it (the first "STR_OK" with the first, the
// second with the second), because names may repeat.
#pragma once

#include "EntryIo.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

struct CEntryDiff {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // For each old entry, the index of the same entry in the new file, or
    // kNone when it was removed.
    std::vector<std::uint32_t> m_newOfOld;
    // For each new entry, the index of the same entry in the old file, or
    // kNone when it was added.
    std::vector<std::uint32_t> m_oldOfNew;
    // For each new entry: true when it is in both files and moved, that is,
    // it is not among the largest set of matched entries whose order is the
    // same in both files (a longest increasing run of their new positions
    // taken in old order). One entry taken out and put back elsewhere is the
    // one entry that moved; the entries it passed did not.
    std::vector<bool> m_bMoved;

    std::size_t m_nAdded = 0;
    std::size_t m_nRemoved = 0;
    std::size_t m_nChanged = 0;    // in both files, data or extra text differs
    std::size_t m_nMoved = 0;      // in both files and moved (may also be changed)
    std::size_t m_nUnchanged = 0;  // in both files, same texts, not moved

    // The files hold the same entries in the same order.
    bool Same() const { return m_nAdded == 0 && m_nRemoved == 0 && m_nChanged == 0 && m_nMoved == 0; }
};

// O(n log n) in time for n entries, O(n) in memory beyond the entries.
CEntryDiff DiffEntries(const std::vector<Entry>& oldEntries, const std::vector<Entry>& newEntries);

// The indices of a longest strictly increasing subsequence of values (which
// holds no kNone), in order. Where several have that length, the one that
// ends with the smallest values wins.
std::vector<std::uint32_t> LongestIncreasingRun(const std::vector<std::uint32_t>& values);

// How lumo diff shows texts, also used by merge and textconv: a text in
// quotes as UTF-8, with \\, \", \n, \r, \t and \uXXXX escaped, so it stays on
// one line; a name bare when it is plainly one word, quoted otherwise.
std::string Escaped(std::string_view bytes);
std::string Quoted(std::string_view bytes);
std::string ShownName(std::string_view name);

// lumo diff OLD NEW [--format text|json]: 0 when the files hold the same
// entries in the same order, 1 when they differ, 2 on error.
int RunDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumo_cli
