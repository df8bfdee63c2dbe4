// SPDX-License-Identifier: MIT
#include "TextConv.h"

#include "Cli.h"
#include "Commands.h"
#include "Text.h"
#include "CommandLine.h"
#include "StreamIo.h"

#include "platform/Archive.h"

#include <ostream>

namespace lumo_cli {

const char* const kTextConvHelp = R"(Usage: lumo textconv FILE
Write an entry file as text, one entry per line in file order, for git's
textconv (git diff, git log -p and git show then show which entries changed):
  STR_MENU_START: "Start Game"
  STR_MENU_QUIT: "Quit", extra text "Shown on the title screen only"
Names and texts are shown as 'lumo diff' shows them: UTF-8, in quotes (a
name only when it is empty or holds a blank, a quote, a backslash or a
control character), with \\, \", \n, \r, \t and \uXXXX escaped, so each
entry stays on its line. There are no entry numbers, so adding or moving
an entry changes only its own line. Set up with:
  git config diff.lumo.textconv 'lumo textconv'
(or run 'lumo git-setup').

A file holding bytes no entry holds ends with a line "# lumo: ..." saying
so; a damaged file gives the entries before the damage, then
"# lumo: damaged: ...".

Options:
  -h, --help   show this help

Exit status: 0, also for a damaged file (so that git goes on past it), 2
for a usage error or a file that cannot be read.
)";

void WriteTextForm(std::string_view bytes, std::ostream& out)
{
    CArchive ar(bytes);
    CEntryReader reader(ar);
    std::string line;
    try {
        const UINT nCount = reader.ReadCount();
        for (UINT i = 0; i < nCount; ++i) {
            line = ShownEntryName(reader.ReadRecord(i, EEntryField::name));
            line += ": ";
            line += QuotedEntryText(reader.ReadRecord(i, EEntryField::data));
            if (const std::string_view extra = reader.ReadRecord(i, EEntryField::extra); !extra.empty()) {
                line += ", extra text ";
                line += QuotedEntryText(extra);
            }
            line += '\n';
            out << line;
        }
        reader.ReadEnd();
    } catch (const CEntryFileException& e) {
        out << "# lumo: " << DescribeDamage(e) << '\n';
        return;
    }
    if (const std::string note = DescribeIrregular(reader.GetNotes()); !note.empty())
        out << "# lumo: " << note << '\n';
}

int RunTextConv(const CTextConvOptions& options, std::ostream& out, std::ostream& err)
{
    std::string bytes;
    try {
        bytes = ReadTextInput(options.input);
    } catch (const std::exception& e) {
        FileError(err, options.input, e);
        return exitUsage;
    }
    WriteTextForm(bytes, out);
    if (!out.flush()) {
        err << "lumo: cannot write to standard output\n";
        return exitUsage;
    }
    return exitOk;
}

int RunTextConvCommand(const CArguments& args, std::ostream& out, std::ostream& err)
{
    if (args.operands.size() != 1)
        return UsageError(err, "textconv", "name one entry file");
    return RunTextConv(CTextConvOptions{args.operands[0]}, out, err);
}

}  // namespace lumo_cli
