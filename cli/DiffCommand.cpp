// SPDX-License-Identifier: MIT
// lumo diff: reads both entry files, compares them and prints the changes as
// lines of text or as one JSON document, in a merged order: the entries of the
// new file in its order, each removed entry just before the first entry that
// followed it in the old file and stayed in place.
#include "Cli.h"
#include "Commands.h"
#include "Diff.h"
#include "Text.h"
#include "StreamIo.h"

#include "platform/Cp1252.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>

namespace lumo_cli {

namespace {

using Index = std::uint32_t;
constexpr Index kNone = CEntryDiff::kNone;

std::string JsonText(std::string_view bytes)
{
    return nlohmann::json(Cp1252ToUtf8(bytes)).dump();
}

// Walks the changes in merged order and hands each to the writer.
template <class Writer>
void ForEachChange(const std::vector<Entry>& oldEntries, const std::vector<Entry>& newEntries,
                   const CEntryDiff& diff, Writer&& write)
{
    Index nextOld = 0;
    auto removedUpTo = [&](Index end) {
        for (; nextOld < end; ++nextOld)
            if (diff.m_newOfOld[nextOld] == kNone)
                write.Removed(nextOld, oldEntries[nextOld]);
    };
    for (Index j = 0; j < newEntries.size(); ++j) {
        const Index i = diff.m_oldOfNew[j];
        if (i == kNone) {
            write.Added(j, newEntries[j]);
            continue;
        }
        if (!diff.m_bMoved[j]) {
            removedUpTo(i);
            nextOld = i + 1;
        }
        const Entry& before = oldEntries[i];
        const Entry& after = newEntries[j];
        if (diff.m_bMoved[j] || before.data != after.data || before.extra != after.extra)
            write.Matched(i, j, diff.m_bMoved[j], before, after);
    }
    removedUpTo(static_cast<Index>(oldEntries.size()));
}

class CTextWriter {
public:
    explicit CTextWriter(std::ostream& out) : m_out(out) {}
    void Added(Index j, const Entry& e) { Whole('+', j, e); }
    void Removed(Index i, const Entry& e) { Whole('-', i, e); }
    void Matched(Index i, Index j, bool bMoved, const Entry& before, const Entry& after)
    {
        const std::string name = ShownEntryName(after.name);
        if (bMoved)
            m_out << "> " << name << ": moved from entry " << i + 1 << " to " << j + 1 << '\n';
        if (before.data != after.data)
            m_out << "~ " << name << " (entry " << j + 1 << "): data text " << QuotedEntryText(before.data) << " -> "
                  << QuotedEntryText(after.data) << '\n';
        if (before.extra != after.extra)
            m_out << "~ " << name << " (entry " << j + 1 << "): extra text " << QuotedEntryText(before.extra) << " -> "
                  << QuotedEntryText(after.extra) << '\n';
    }

private:
    void Whole(char mark, Index n, const Entry& e)
    {
        m_out << mark << ' ' << ShownEntryName(e.name) << " (entry " << n + 1 << "): " << QuotedEntryText(e.data);
        if (!e.extra.empty())
            m_out << ", extra text " << QuotedEntryText(e.extra);
        m_out << '\n';
    }
    std::ostream& m_out;
};

class CJsonWriter {
public:
    explicit CJsonWriter(std::ostream& out) : m_out(out) {}
    void Added(Index j, const Entry& e) { Whole("added", "new_entry", j, e); }
    void Removed(Index i, const Entry& e) { Whole("removed", "old_entry", i, e); }
    void Matched(Index i, Index j, bool bMoved, const Entry& before, const Entry& after)
    {
        const bool bChanged = before.data != after.data || before.extra != after.extra;
        Start();
        m_out << "{\"change\": \"" << (bChanged ? "changed" : "moved") << "\", \"name\": " << JsonText(after.name)
              << ", \"old_entry\": " << i + 1 << ", \"new_entry\": " << j + 1
              << ", \"moved\": " << (bMoved ? "true" : "false");
        if (before.data != after.data)
            m_out << ", \"data\": {\"old\": " << JsonText(before.data) << ", \"new\": " << JsonText(after.data) << '}';
        if (before.extra != after.extra)
            m_out << ", \"extra\": {\"old\": " << JsonText(before.extra) << ", \"new\": " << JsonText(after.extra)
                  << '}';
        m_out << '}';
    }
    void Finish() { m_out << (m_bFirst ? "]\n" : "\n  ]\n"); }

private:
    void Start()
    {
        m_out << (m_bFirst ? "\n    " : ",\n    ");
        m_bFirst = false;
    }
    void Whole(const char* change, const char* entryKey, Index n, const Entry& e)
    {
        Start();
        m_out << "{\"change\": \"" << change << "\", \"name\": " << JsonText(e.name) << ", \"" << entryKey
              << "\": " << n + 1 << ", \"data\": " << JsonText(e.data) << ", \"extra\": " << JsonText(e.extra) << '}';
    }
    std::ostream& m_out;
    bool m_bFirst = true;
};

std::string FileName(const std::string& path)
{
    return nlohmann::json(path).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

int RunDiff(const CArguments& args, std::ostream& out, std::ostream& err)
{
    const bool bJson = args.Value("--format") == "json";
    const std::vector<std::string>& files = args.operands;
    if (files.size() != 2)
        return UsageError(err, "diff", "name the old and the new entry file");
    if (IsStream(files[0]) && files[0] == files[1])
        return UsageError(err, "diff", "'" + Shown(files[0]) + "' can be read only once; name it for one of the files");
    if (const int status =
            RefuseOutputThatIsInput(err, "diff", "", {{files[0], "the old entry file"}, {files[1], "the new entry file"}});
        status != exitOk)
        return status;

    std::vector<Entry> oldEntries, newEntries;
    const CEntryPurpose purpose{"compared", "compared", exitUsage};
    if (const int status = ReadEntriesOrReport(files[0], oldEntries, purpose, err); status != exitOk)
        return status;
    if (const int status = ReadEntriesOrReport(files[1], newEntries, purpose, err); status != exitOk)
        return status;
    const CEntryDiff diff = DiffEntries(oldEntries, newEntries);

    if (!bJson) {
        ForEachChange(oldEntries, newEntries, diff, CTextWriter(out));
        out << diff.m_nAdded << " added, " << diff.m_nRemoved << " removed, " << diff.m_nChanged << " changed, "
            << diff.m_nMoved << " moved, " << diff.m_nUnchanged << " unchanged (" << oldEntries.size()
            << " entries before, " << newEntries.size() << " after)\n";
    } else {
        out << "{\n  \"old\": {\"file\": " << FileName(files[0]) << ", \"entries\": " << oldEntries.size()
            << "},\n  \"new\": {\"file\": " << FileName(files[1]) << ", \"entries\": " << newEntries.size()
            << "},\n  \"same\": " << (diff.Same() ? "true" : "false") << ",\n  \"summary\": {\"added\": "
            << diff.m_nAdded << ", \"removed\": " << diff.m_nRemoved << ", \"changed\": " << diff.m_nChanged
            << ", \"moved\": " << diff.m_nMoved << ", \"unchanged\": " << diff.m_nUnchanged
            << "},\n  \"changes\": [";
        CJsonWriter writer(out);
        ForEachChange(oldEntries, newEntries, diff, writer);
        writer.Finish();
        out << "}\n";
    }
    if (!out.flush()) {
        err << "lumo: cannot write to standard output\n";
        return exitUsage;
    }
    return diff.Same() ? exitOk : exitRefused;
}

}  // namespace lumo_cli
