// SPDX-License-Identifier: MIT
#include "MergeCheck.h"

#include "cli/EntryIo.h"
#include "cli/Merge.h"
#include "cli/MergeMarkers.h"
#include "platform/Archive.h"

#include <set>
#include <sstream>
#include <vector>

namespace lumo_fuzz {
namespace {

using lumo_cli::CMergeResult;
using lumo_cli::CMergeSettings;
using lumo_cli::EMergeFavor;
using lumo_cli::Entry;

struct CSides {
    std::vector<Entry> base, ours, theirs;
};

CSides Decode(std::string_view input)
{
    CSides sides;
    std::vector<Entry>* lists[] = {&sides.base, &sides.ours, &sides.theirs};
    std::size_t nList = 0;
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        std::string_view line = input.substr(0, end);
        input.remove_prefix(std::min(end + 1, input.size()));
        if (line == "--") {
            if (++nList == 3)
                break;
            continue;
        }
        // The format holds no 0x00 in a text: it ends the text when read.
        std::string text;
        for (const char c : line)
            text += c == '\0' ? '\x01' : c;
        Entry entry;
        const std::size_t eq = text.find('='), bar = text.find('|', eq == std::string::npos ? 0 : eq);
        entry.name = text.substr(0, eq);
        if (eq != std::string::npos) {
            entry.data = text.substr(eq + 1, bar == std::string::npos ? std::string::npos : bar - eq - 1);
            if (bar != std::string::npos)
                entry.extra = text.substr(bar + 1);
        }
        lists[nList]->push_back(std::move(entry));
    }
    return sides;
}

std::string Sound(const CMergeResult& result, const CSides& sides, bool bFavoured)
{
    std::string bytes;
    {
        CArchive ar(&bytes);
        lumo_cli::WriteEntries(ar, result.entries);
        ar.Flush();
    }
    std::vector<Entry> back;
    CArchive in{std::string_view(bytes)};
    lumo_cli::ReadEntries(in, &back);
    if (back != result.entries)
        return "the merged entries do not read back as themselves";
    std::set<std::string> names;
    for (const auto* side : {&sides.ours, &sides.theirs})
        for (const Entry& e : *side)
            names.insert(e.name);
    for (const Entry& e : result.entries)
        if (!names.count(e.name))
            return "a merged entry has a name neither side has";
    if (bFavoured && !result.conflicts.empty())
        return "a favoured merge lists conflicts";
    for (const lumo_cli::CMergeConflict& c : result.conflicts) {
        if (c.nEntry >= result.entries.size() || result.entries[c.nEntry].name != c.name)
            return "a conflict names an entry the result does not hold there";
        using EKind = lumo_cli::CMergeConflict::EKind;
        const Entry& e = result.entries[c.nEntry];
        if ((c.kind == EKind::text || c.kind == EKind::addedBoth) &&
            !lumo_cli::HoldsConflictMarkers(c.field == EEntryField::data ? e.data : e.extra))
            return "a text in conflict holds no markers";
    }
    return {};
}

}  // namespace

MergeOutcome CheckMerge(std::string_view input)
{
    MergeOutcome outcome;
    const CSides sides = Decode(input);
    // The merge's pairing against lumo diff's, which is its oracle.
    for (const auto* side : {&sides.ours, &sides.theirs}) {
        const lumo_cli::CEntryDiff expected = lumo_cli::DiffEntries(sides.base, *side);
        const lumo_cli::CEntryDiff paired = lumo_cli::CBasePairing(sides.base).Pair(*side);
        if (paired.m_newOfOld != expected.m_newOfOld || paired.m_oldOfNew != expected.m_oldOfNew ||
            paired.m_bMoved != expected.m_bMoved || paired.m_nAdded != expected.m_nAdded) {
            outcome.problem = "the merge pairs entries otherwise than lumo diff";
            return outcome;
        }
    }
    const CMergeResult plain = lumo_cli::MergeEntries(sides.base, sides.ours, sides.theirs);
    outcome.nConflicts = plain.conflicts.size();
    outcome.problem = Sound(plain, sides, false);
    for (const EMergeFavor favor : {EMergeFavor::ours, EMergeFavor::theirs}) {
        if (!outcome.problem.empty())
            return outcome;
        CMergeSettings settings;
        settings.favor = favor;
        const CMergeResult favoured = lumo_cli::MergeEntries(sides.base, sides.ours, sides.theirs, settings);
        outcome.problem = Sound(favoured, sides, true);
        if (outcome.problem.empty() && favoured.nResolved != plain.conflicts.size())
            outcome.problem = "favour resolved another number of conflicts than the plain merge has";
    }
    for (const auto* side : {&sides.ours, &sides.theirs}) {
        if (!outcome.problem.empty())
            return outcome;
        const CMergeResult one[] = {lumo_cli::MergeEntries(sides.base, *side, sides.base),
                                    lumo_cli::MergeEntries(sides.base, sides.base, *side),
                                    lumo_cli::MergeEntries(sides.base, *side, *side)};
        for (const CMergeResult& result : one)
            if (result.entries != *side || !result.conflicts.empty())
                outcome.problem = "a change on one side (or the same on both) did not merge cleanly to that side";
    }
    return outcome;
}

}  // namespace lumo_fuzz
