// SPDX-License-Identifier: MIT
#include "Diff.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace lumo_cli {

namespace {

using Index = std::uint32_t;
constexpr Index kNone = CEntryDiff::kNone;

// Pairs the entries by (name, occurrence of the name). The old entries of
// each name are laid out one group after another (a counting sort by name),
// so a million entries cost one hash lookup each and no list per name.
void MatchByName(const std::vector<Entry>& oldEntries, const std::vector<Entry>& newEntries, CEntryDiff& diff)
{
    std::unordered_map<std::string_view, Index> groupOf;
    groupOf.reserve(oldEntries.size());
    std::vector<Index> group(oldEntries.size());
    std::vector<Index> groupStart;  // first the size of each group, then where it starts
    for (Index i = 0; i < oldEntries.size(); ++i) {
        const auto [it, bNew] = groupOf.try_emplace(oldEntries[i].name, static_cast<Index>(groupStart.size()));
        if (bNew)
            groupStart.push_back(0);
        group[i] = it->second;
        ++groupStart[it->second];
    }
    const std::vector<Index> groupSize = groupStart;
    Index nStart = 0;
    for (Index& start : groupStart)
        nStart += std::exchange(start, nStart);
    std::vector<Index> oldByGroup(oldEntries.size());
    {
        std::vector<Index> fill = groupStart;
        for (Index i = 0; i < oldEntries.size(); ++i)
            oldByGroup[fill[group[i]]++] = i;
    }

    std::vector<Index> seen(groupStart.size(), 0);  // occurrences met so far in the new file
    for (Index j = 0; j < newEntries.size(); ++j) {
        const auto it = groupOf.find(newEntries[j].name);
        if (it == groupOf.end())
            continue;
        const Index g = it->second;
        if (seen[g] < groupSize[g]) {
            const Index i = oldByGroup[groupStart[g] + seen[g]++];
            diff.m_oldOfNew[j] = i;
            diff.m_newOfOld[i] = j;
        }
    }
}

}  // namespace

std::vector<Index> LongestIncreasingRun(const std::vector<Index>& values)
{
    // tails[k]: the index of the smallest value that ends an increasing run of length k + 1.
    std::vector<Index> tails, previous(values.size(), kNone);
    for (Index i = 0; i < values.size(); ++i) {
        const auto pos = std::lower_bound(tails.begin(), tails.end(), values[i],
                                          [&](Index t, Index value) { return values[t] < value; });
        if (pos != tails.begin())
            previous[i] = *(pos - 1);
        if (pos == tails.end())
            tails.push_back(i);
        else
            *pos = i;
    }
    std::vector<Index> run(tails.size());
    Index i = tails.empty() ? kNone : tails.back();
    for (std::size_t k = run.size(); k > 0; --k, i = previous[i])
        run[k - 1] = i;
    return run;
}

CEntryDiff DiffEntries(const std::vector<Entry>& oldEntries, const std::vector<Entry>& newEntries)
{
    if (oldEntries.size() >= kNone || newEntries.size() >= kNone)
        throw std::length_error("too many entries to compare");
    CEntryDiff diff;
    diff.m_newOfOld.assign(oldEntries.size(), kNone);
    diff.m_oldOfNew.assign(newEntries.size(), kNone);
    diff.m_bMoved.assign(newEntries.size(), false);
    MatchByName(oldEntries, newEntries, diff);

    // The new positions of the matched entries, in old order; those outside
    // the longest increasing run moved.
    std::vector<Index> newPositions;
    for (const Index j : diff.m_newOfOld)
        if (j != kNone)
            newPositions.push_back(j);
    std::vector<bool> bKept(newPositions.size(), false);
    for (const Index k : LongestIncreasingRun(newPositions))
        bKept[k] = true;
    for (std::size_t k = 0; k < newPositions.size(); ++k)
        diff.m_bMoved[newPositions[k]] = !bKept[k];

    for (Index j = 0; j < newEntries.size(); ++j) {
        const Index i = diff.m_oldOfNew[j];
        if (i == kNone) {
            ++diff.m_nAdded;
            continue;
        }
        const bool bChanged = oldEntries[i].data != newEntries[j].data || oldEntries[i].extra != newEntries[j].extra;
        diff.m_nChanged += bChanged;
        diff.m_nMoved += diff.m_bMoved[j];
        diff.m_nUnchanged += !bChanged && !diff.m_bMoved[j];
    }
    diff.m_nRemoved = oldEntries.size() - (newEntries.size() - diff.m_nAdded);
    return diff;
}

}  // namespace lumo_cli
