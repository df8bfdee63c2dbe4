// SPDX-License-Identifier: MIT
#include "MergeCommand.h"

#include "Cli.h"
#include "Commands.h"
#include "Diff.h"
#include "GitCommands.h"
#include "Options.h"
#include "StreamIo.h"

#include <charconv>
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

constexpr int kMaxMarkerSize = 1000;

// Reads one input; on failure says why and returns false.
bool ReadInput(const std::string& path, std::vector<Entry>& entries, std::ostream& err)
{
    CIrregularRecords irregular;
    try {
        ReadEntryInput(path, &entries, &irregular);
    } catch (const CEntryFileException& e) {
        err << "lumo: " << path << ": " << DescribeDamage(e) << "; nothing was merged\n";
        return false;
    } catch (const std::exception& e) {
        FileError(err, path, e);
        return false;
    }
    if (const std::string warning = DescribeIrregular(irregular); !warning.empty())
        err << "lumo: warning: " << path << ": " << warning << "; only the texts are merged\n";
    return true;
}

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
    err << prefix << "conflict in " << ShownName(c.name) << " (entry " << c.nEntry + 1 << "): ";
    switch (c.kind) {
    case EKind::text:
        err << FieldName(c.field) << ": ours " << Quoted(Field(c.ours, c.field)) << ", base "
            << Quoted(Field(c.base, c.field)) << ", theirs " << Quoted(Field(c.theirs, c.field)) << '\n';
        return;
    case EKind::addedBoth:
        err << "added on both sides, " << FieldName(c.field) << ": ours " << Quoted(Field(c.ours, c.field))
            << ", theirs " << Quoted(Field(c.theirs, c.field)) << '\n';
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
                err << separator << FieldName(field) << ' ' << Quoted(Field(c.base, field)) << " -> "
                    << Quoted(Field(kept, field));
                separator = ", ";
            }
        err << '\n';
        return;
    }
    }
}

std::optional<int> ParseMarkerSize(const std::string& text)
{
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kMaxMarkerSize)
        return std::nullopt;
    return n;
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
    if (!ReadInput(options.base, base, err) || !ReadInput(options.ours, ours, err) ||
        !ReadInput(options.theirs, theirs, err)) {
        err << "lumo: " << options.output << " was left as it was\n";
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
        err << prefix << "note: both sides moved " << ShownName(note.name) << "; it stays where ours put it (entry "
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

int RunMergeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    CMergeOptions options;
    try {
        const CParsedArguments parsed =
            ParseArguments(args, {"--output", "--marker-size", "--name", "--favor"}, {});
        if (parsed.help) {
            out << kMergeHelp;
            return exitOk;
        }
        if (parsed.operands.size() != 3)
            throw CUsageError("name the three entry files: BASE OURS THEIRS");
        options.base = parsed.operands[0];
        options.ours = parsed.operands[1];
        options.theirs = parsed.operands[2];
        const auto value = [&](const char* name) -> const std::string* {
            const auto it = parsed.values.find(name);
            return it == parsed.values.end() ? nullptr : &it->second;
        };
        if (!value("--output"))
            throw CUsageError("name the merged file with -o OUT");
        options.output = *value("--output");
        if (const std::string* size = value("--marker-size")) {
            const std::optional<int> n = ParseMarkerSize(*size);
            if (!n)
                throw CUsageError("--marker-size takes a number from 1 to " + std::to_string(kMaxMarkerSize) +
                                  ", not '" + *size + "'");
            options.nMarkerSize = *n;
        }
        if (const std::string* name = value("--name"))
            options.name = *name;
        if (const std::string* favor = value("--favor")) {
            if (*favor == "ours")
                options.favor = EMergeFavor::ours;
            else if (*favor == "theirs")
                options.favor = EMergeFavor::theirs;
            else
                throw CUsageError("--favor takes ours or theirs, not '" + *favor + "'");
        }
    } catch (const CUsageError& e) {
        return UsageError(err, "merge", e.what());
    }
    return RunMerge(options, out, err);
}

}  // namespace lumo_cli
