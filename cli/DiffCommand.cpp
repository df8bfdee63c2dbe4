// SPDX-License-Identifier: MIT
// lumo diff: reads both entry files, compares them and prints the changes as
// lines of text or as one JSON document, in a merged order: the entries of the
// new file in its order, each removed entry just before the first entry that
// followed it in the old file and stayed in place.
#include "Cli.h"
#include "Commands.h"
#include "Diff.h"
#include "Options.h"
#include "StreamIo.h"

#include "platform/Cp1252.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>

namespace lumo_cli {

namespace {

using Index = std::uint32_t;
constexpr Index kNone = CEntryDiff::kNone;

enum class EDiffFormat { text, json };

// Takes --format out of the arguments: diff's formats are not those of the
// other commands. What remains goes to the common parser.
EDiffFormat TakeFormat(std::vector<std::string>& args)
{
    std::optional<std::string> value;
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        std::string found;
        if (args[i] == "--format") {
            if (i + 1 >= args.size())
                throw CUsageError("--format needs a value");
            found = args[i + 1];
            const auto at = args.begin() + static_cast<std::ptrdiff_t>(i);
            args.erase(at, at + 2);
        } else if (args[i].rfind("--format=", 0) == 0) {
            found = args[i].substr(9);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            continue;
        }
        --i;
        if (value)
            throw CUsageError("--format is given more than once");
        value = found;
    }
    if (!value || *value == "text")
        return EDiffFormat::text;
    if (*value == "json")
        return EDiffFormat::json;
    throw CUsageError("unknown format '" + *value + "' (use text or json)");
}

}  // namespace

// Windows-1252 bytes as UTF-8 with every byte kept: backslash, quote and the
// control characters (C0, DEL and C1, which a terminal would act on or hide)
// escaped, so one change stays on one line.
std::string Escaped(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 2);
    for (const char c : bytes) {
        const char32_t ch = Cp1252ToUnicode(static_cast<unsigned char>(c));
        switch (ch) {
        case '\\': out += "\\\\"; continue;
        case '"': out += "\\\""; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
        }
        if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0)) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(ch));
            out += code;
        } else {
            out += Cp1252ToUtf8(std::string_view(&c, 1));
        }
    }
    return out;
}

std::string Quoted(std::string_view bytes)
{
    return '"' + Escaped(bytes) + '"';
}

// A name bare when it is plainly one word, quoted otherwise.
std::string ShownName(std::string_view name)
{
    const bool bPlain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b > 0x20 && b != 0x7F && b != '"' && b != '\\' && !(b >= 0x80 && b < 0xA0);
    });
    return bPlain ? Escaped(name) : Quoted(name);
}

namespace {

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
        const std::string name = ShownName(after.name);
        if (bMoved)
            m_out << "> " << name << ": moved from entry " << i + 1 << " to " << j + 1 << '\n';
        if (before.data != after.data)
            m_out << "~ " << name << " (entry " << j + 1 << "): data text " << Quoted(before.data) << " -> "
                  << Quoted(after.data) << '\n';
        if (before.extra != after.extra)
            m_out << "~ " << name << " (entry " << j + 1 << "): extra text " << Quoted(before.extra) << " -> "
                  << Quoted(after.extra) << '\n';
    }

private:
    void Whole(char mark, Index n, const Entry& e)
    {
        m_out << mark << ' ' << ShownName(e.name) << " (entry " << n + 1 << "): " << Quoted(e.data);
        if (!e.extra.empty())
            m_out << ", extra text " << Quoted(e.extra);
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

// Reads one side; on failure says why and returns false.
bool ReadSide(const std::string& path, std::vector<Entry>& entries, std::ostream& err)
{
    CIrregularRecords irregular;
    try {
        ReadEntryInput(path, &entries, &irregular);
    } catch (const CEntryFileException& e) {
        err << "lumo: " << path << ": " << DescribeDamage(e) << "; nothing was compared\n";
        return false;
    } catch (const std::exception& e) {
        FileError(err, path, e);
        return false;
    }
    if (const std::string warning = DescribeIrregular(irregular); !warning.empty())
        err << "lumo: warning: " << path << ": " << warning << "; only the texts are compared\n";
    return true;
}

}  // namespace

int RunDiff(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    const auto optionsEnd = std::find(arguments.begin(), arguments.end(), "--");
    if (std::any_of(arguments.begin(), optionsEnd, [](const std::string& a) { return a == "-h" || a == "--help"; })) {
        out << HelpText("diff");
        return exitOk;
    }
    std::vector<std::string> args = arguments;
    EDiffFormat format = EDiffFormat::text;
    CCommandLine cl;
    try {
        format = TakeFormat(args);
        cl = ParseCommandLine(args, optNone);
    } catch (const CUsageError& e) {
        return UsageError(err, "diff", e.what());
    }
    if (cl.operands.size() != 2)
        return UsageError(err, "diff", "name the old and the new entry file");
    if (IsStream(cl.operands[0]) && cl.operands[0] == cl.operands[1])
        return UsageError(err, "diff", "'" + cl.operands[0] + "' can be read only once; name it for one of the files");

    std::vector<Entry> oldEntries, newEntries;
    if (!ReadSide(cl.operands[0], oldEntries, err) || !ReadSide(cl.operands[1], newEntries, err))
        return exitUsage;
    const CEntryDiff diff = DiffEntries(oldEntries, newEntries);

    if (format == EDiffFormat::text) {
        ForEachChange(oldEntries, newEntries, diff, CTextWriter(out));
        out << diff.m_nAdded << " added, " << diff.m_nRemoved << " removed, " << diff.m_nChanged << " changed, "
            << diff.m_nMoved << " moved, " << diff.m_nUnchanged << " unchanged (" << oldEntries.size()
            << " entries before, " << newEntries.size() << " after)\n";
    } else {
        out << "{\n  \"old\": {\"file\": " << FileName(cl.operands[0]) << ", \"entries\": " << oldEntries.size()
            << "},\n  \"new\": {\"file\": " << FileName(cl.operands[1]) << ", \"entries\": " << newEntries.size()
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
