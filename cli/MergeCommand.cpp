// SPDX-License-Identifier: MIT
#include "MergeCommand.h"

#include "Cli.h"
#include "Commands.h"
#include "Text.h"
#include "CommandLine.h"
#include "StreamIo.h"

#include <ostream>

namespace lumo_cli {

const char* const kMergeHelp = R"(Usage: lumo merge BASE OURS THEIRS -o OUT [--marker-size N] [--name PATH]
                  [--favor ours|theirs]
Merge two entry files that both changed a common ancestor, BASE: what OURS
changed and what THEIRS changed go into OUT. As git's merge driver:
  git config merge.lumo.driver 'lumo merge %O %A %B -o %A --marker-size %L --name %P'
(or run 'lumo git-setup').

Entries are paired by name and occurrence, as 'lumo diff' pairs them. Each
text of an entry (data and extra) merges on its own: changed on one side,
that side's text; changed the same way on both, that text once; changed
differently, a conflict. An entry removed on one side is removed if the
other side left its texts as they were; if the other side changed them,
that is a conflict and the changed entry is kept. Entries added on both
sides with the same texts are added once; with different texts each text
that differs is a conflict.

The order: entries one side added or moved go where that side put them,
after the same neighbour; what both sides added at one place comes ours
first. An entry both sides moved to different places stays where ours put
it, with a note on standard error (not a conflict).

OUT is always a sound entry file. A text in conflict holds all three
versions between git's markers:
  <<<<<<< ours:PATH
  OURS
  ||||||| base:PATH
  BASE
  =======
  THEIRS
  >>>>>>> theirs:PATH
(no base section for an entry both sides added). Each conflict is also
listed on standard error with its entry number in OUT, its name, which text
and the three versions, quoted as 'lumo diff' quotes texts.

Options:
  -o, --output=OUT      the merged entry file (required; it may be OURS)
      --marker-size=N   the markers' length, 7 without it (git's %L)
      --name=PATH       the file's path, written after the markers and
                        named in the messages (git's %P)
      --favor=SIDE      resolve every conflict in favour of ours or theirs:
                        that side's text, that side's removal or change
                        (as git merge-file --ours or --theirs); exit 0
  -h, --help            show this help

Exit status: 0 for a clean merge, 1 when OUT holds conflicts, 2 for a usage
error, a damaged input or a file that cannot be read or written (OUT is
left as it was).
)";

namespace {

const char* FieldName(EEntryField field)
{
    return field == EEntryField::extra ? "extra text" : "data text";
}

const std::string& Field(const Entry& entry, EEntryField field)
{
    return field == EEntryField::extra ? entry.extra : entry.data;
}

void ListConflict(std::ostream& err, const std::string& prefix, const CMergeConflict& c)
{
    using EKind = CMergeConflict::EKind;
    err << prefix << "conflict in " << ShownEntryName(c.name) << " (entry " << c.nEntry + 1 << "): ";
    switch (c.kind) {
    case EKind::text:
        err << FieldName(c.field) << ": ours " << QuotedEntryText(Field(c.ours, c.field)) << ", base "
            << QuotedEntryText(Field(c.base, c.field)) << ", theirs " << QuotedEntryText(Field(c.theirs, c.field)) << '\n';
        return;
    case EKind::addedBoth:
        err << "added on both sides, " << FieldName(c.field) << ": ours " << QuotedEntryText(Field(c.ours, c.field))
            << ", theirs " << QuotedEntryText(Field(c.theirs, c.field)) << '\n';
        return;
    case EKind::removedByOurs:
    case EKind::removedByTheirs: {
        const bool bOursKept = c.kind == EKind::removedByTheirs;
        const Entry& kept = bOursKept ? c.ours : c.theirs;
        err << "removed by " << (bOursKept ? "theirs" : "ours") << ", changed by " << (bOursKept ? "ours" : "theirs")
            << " and kept:";
        const char* separator = " ";
        for (const EEntryField field : {EEntryField::data, EEntryField::extra})
            if (Field(kept, field) != Field(c.base, field)) {
                err << separator << FieldName(field) << ' ' << QuotedEntryText(Field(c.base, field)) << " -> "
                    << QuotedEntryText(Field(kept, field));
                separator = ", ";
            }
        err << '\n';
        return;
    }
    }
}

}  // namespace

int RunMerge(const CMergeOptions& options, std::ostream& /*out*/, std::ostream& err)
{
    const std::string* inputs[] = {&options.base, &options.ours, &options.theirs};
    for (int a = 0; a < 3; ++a)
        for (int b = a + 1; b < 3; ++b)
            if (IsStream(*inputs[a]) && *inputs[a] == *inputs[b])
                return UsageError(err, "merge",
                                  "'" + *inputs[a] + "' can be read only once; name it for one of the files");

    std::vector<Entry> base, ours, theirs;
    // OUT is usually OURS itself (git's %A): all three are read before it is written.
    const CEntryPurpose purpose{"merged", "merged", exitUsage};
    for (const auto& [path, entries] : {std::pair{&options.base, &base}, {&options.ours, &ours}, {&options.theirs, &theirs}})
        if (ReadEntriesOrReport(*path, *entries, purpose, err) != exitOk) {
            err << "lumo: " << Shown(options.output) << " was left as it was\n";
            return exitUsage;
        }
    CMergeSettings settings;
    settings.nMarkerSize = options.nMarkerSize;
    settings.label = options.name.value_or("");
    settings.favor = options.favor;
    const CMergeResult result = MergeEntries(base, ours, theirs, settings);
    if (const int status = WriteEntriesOrReport(options.output, result.entries, err); status != exitOk)
        return status;

    const std::string shown = options.name.value_or(options.output);
    const std::string prefix = "lumo merge: " + shown + ": ";
    for (const CMergeConflict& conflict : result.conflicts)
        ListConflict(err, prefix, conflict);
    const char* kept = options.favor == EMergeFavor::theirs ? "theirs" : "ours";
    for (const CMergeOrderNote& note : result.orderNotes)
        err << prefix << "note: both sides moved " << ShownEntryName(note.name) << "; it stays where ours put it (entry "
            << note.nEntry + 1 << ")\n";
    if (result.nResolved > 0)
        err << prefix << result.nResolved << (result.nResolved == 1 ? " conflict" : " conflicts")
            << " resolved in favour of " << kept << '\n';
    if (result.conflicts.empty())
        return exitOk;
    err << prefix << result.conflicts.size() << (result.conflicts.size() == 1 ? " conflict" : " conflicts")
        << " left in the texts between conflict markers\n";
    return exitRefused;
}

int RunMergeCommand(const CArguments& args, std::ostream& out, std::ostream& err)
{
    if (args.operands.size() != 3)
        return UsageError(err, "merge", "name the three entry files: BASE OURS THEIRS");
    if (!args.Value("--output"))
        return UsageError(err, "merge", "name the merged file with -o OUT");
    CMergeOptions options;
    options.base = args.operands[0];
    options.ours = args.operands[1];
    options.theirs = args.operands[2];
    options.output = *args.Value("--output");
    if (const auto nSize = args.Integer("--marker-size"))
        options.nMarkerSize = static_cast<int>(*nSize);
    options.name = args.Value("--name");
    if (const auto favor = args.Value("--favor"))
        options.favor = *favor == "ours" ? EMergeFavor::ours : EMergeFavor::theirs;
    return RunMerge(options, out, err);
}

}  // namespace lumo_cli
