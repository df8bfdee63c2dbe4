// SPDX-License-Identifier: MIT
// The table of lumo's commands: name, synopsis, help, options and the
// function that runs it. Run, the help texts and the usage errors all come
// from here.
#include "Commands.h"

#include "Cli.h"
#include "FormatRegistry.h"
#include "GitSetup.h"
#include "MergeCommand.h"
#include "TextConv.h"
#include "checks/TranslationChecks.h"
#include "Text.h"

#include <algorithm>
#include <ostream>

namespace lumo_cli {

namespace {

constexpr const char* kMainHelpHead = R"(Usage: lumo COMMAND [OPTION]... [FILE]...
Check entry files (.lumo), and move their entries to and from JSON or CSV
without losing a byte.

)";

constexpr const char* kMainHelpTail = R"(
Translating with gettext's tools (or XLIFF 1.2 with --format xliff):
  lumo export game.lumo --format pot -o game.pot    the template
  msginit -i game.pot -l fr -o fr.po                start the translation
  ...translate fr.po in a PO editor...
  lumo export game.lumo --format pot -o game.pot    after a game update:
  msgmerge --update fr.po game.pot                  keep what still fits
  lumo import fr.po --template game.lumo -o fr.lumo the translated file

Options:
  -h, --help     show this help, or with a command that command's help
      --version  show the version

A FILE of '-' is standard input (an output of '-' standard output); pipes
and devices such as /dev/stdin and /dev/stdout are read and written as they
are, while a regular file is replaced only once all of it was written.

Exit status: 0 when all went well, 1 when a file is damaged or an import
refuses its input, 2 for a usage error or a file that cannot be read or
written. diff: 0 when the files hold the same entries in the same order,
1 when they differ, 2 for any error.

Run 'lumo COMMAND --help' for more about a command.
)";

constexpr const char* kCheckHelp = R"(Usage: lumo check [--strict] FILE...
       lumo check --against SOURCE.lumo [OPTION]... TARGET.lumo...
       lumo check --template SOURCE.lumo [OPTION]... TRANSLATION.po|.xlf...
Read each entry file strictly and report on it, one line per file:
  FILE: ok, N entries
  FILE: ok, N entries; 3 bytes after the last entry are not part of any entry
  FILE: damaged: WHAT (at byte offset B)
The second shape names bytes that no entry holds (after the last entry, or
after a text's first 0x00 byte) and records a save writes in the usual
form: the file opens, but saving it changes its bytes. A text that still
holds git's conflict markers (an unresolved 'lumo merge') adds
"; warning: the data text of entry 4 (STR_A) holds merge conflict markers".

With --against, check each translated entry file against its source-language
file: entries are paired by name and occurrence (the second STR_A with the
second STR_A), data text with data text, extra text with extra text. With
--template, check PO or XLIFF translations before they are imported, message
by message; fuzzy and untranslated messages are counted, not compared.

Errors:
  missing       an entry of the source has no counterpart in the translation
  extra         an entry (or a text) of the translation has none in the source
  printf        C placeholders differ: %s, %d, %5.2f, %-10s, %ls, %1$s (by
                position and conversion); %% is a percent sign
  variables     brace placeholders differ: {0}, {name}, {name:fmt}; {{ and }}
                are braces
  xmltags       tags differ (<b>, </b>, <br/>, <color=#ff0>), or balance in
                the source and not in the translation
  placeholder   the matches of a --placeholder pattern differ
  controls      control characters (U+0001 to U+001F but tab, LF, CR) differ
  newlines      the number of line breaks differs
  length        the translation has more bytes than --max-length
Warnings:
  untranslated  the translation is empty, the source is not
  unchanged     the translation is the source text, which has words
  startwhitespace, endwhitespace
                the whitespace at the start (end) differs
  doublespacing the number of double spaces differs
  endpunc       one ends in . ! ? : or an ellipsis, the other in none of them
  numbers       a number of the source is not in the translation
  urls          URLs or e-mail addresses differ
  long          the translation grew more than --max-growth percent
  order         paired entries are in another order than the source's
Multisets are compared: each code as often in the translation as in the
source. Digits inside codes are no numbers.

One line per finding, then a summary per file:
  fr.lumo: entry 12 STR_SHOP_PRICE (data): printf: the source has %d, the translation has %s
  fr.po: line 57: STR_SHOP_PRICE (data): variables: {count} is missing
  fr.lumo: 980 entries checked; 1 error (printf 1), 0 warnings; translated:
  975 of 980 entries (99.4%), 1010 of 1016 texts (99.4%)
(the summary is one line). Texts are quoted as lumo diff quotes them.

Options:
      --against=SOURCE.lumo   check entry files against their source
      --template=SOURCE.lumo  check PO or XLIFF translations of it
      --checks=LIST  run only these checks (comma-separated names)
      --skip=LIST    leave these checks out
      --placeholder=REGEX
                     a game's own codes, such as '\[[A-Z_]+\]' or '\^[0-9]'
                     (PCRE2 syntax, matched on the Windows-1252 bytes); may be
                     repeated
      --max-length=N      the most bytes a stored translation may have
      --max-growth=PERCENT
                     how much longer than its source a translation may be
      --format=FMT   text (the default) or json: one document with "source",
                     "mode", "files" (each "file", "summary" and "findings", or
                     "damaged"), "errors" and "warnings"; a summary has
                     "entries_checked" (or "messages_checked", "fuzzy",
                     "untranslated"), "errors", "warnings", "checks" (per
                     check: "errors", "warnings"), "entries",
                     "entries_translated", "texts", "texts_translated" and
                     "texts_translated_percent"; a finding has "check",
                     "severity" ("error" or "warning"), "entry", "line" (PO),
                     "name", "field" ("data", "extra" or null), "source",
                     "translation" and "message"
      --strict       count bytes that no entry holds, records a save would
                     rewrite and conflict markers as a fault (exit status 1);
                     with --against or --template, warnings are errors
  -h, --help         show this help

Exit status: 0 when every file is sound (and no translation has an error),
1 when any is damaged (or, with --strict, holds bytes no entry holds or
conflict markers) or a
translation has an error-level finding, 2 for a usage error (an unknown check
is one) or a file that cannot be read.
)";

constexpr const char* kExportHelp = R"(Usage: lumo export FILE [-o OUT] [--format json|csv]
       lumo export SOURCE.lumo --format pot [-o OUT.pot]
       lumo export TARGET.lumo --source SOURCE.lumo --format po|xliff [-o OUT]
Write the entries of an entry file, in file order, as JSON or CSV. Texts are
converted from Windows-1252 to UTF-8; every byte has its own character, so
'lumo import' turns the result back into the same file.

  JSON: an array of objects with the keys "name", "data" and "extra"
  CSV:  RFC 4180, header name,data,extra, CRLF line ends

For translators, the texts instead: every distinct pair of an entry name and
a non-empty text (data or extra) is one message, the name its context
(msgctxt, XLIFF resname) and the text its source (msgid, <source>). Each
message says where it occurs (#: SOURCE.lumo:ENTRY, entries from 1) and
whether it is a data or an extra text (#.). Texts are UTF-8; tabs, line
breaks and control characters survive.
  pot:    the template (gettext PO syntax, every msgstr empty)
  po:     the translation so far: the texts of TARGET translate the texts
          of SOURCE, entries paired by name and by occurrence of the name
          (the second "A" with the second "A"); a target text equal to its
          source counts as translated. Without --source, FILE is the source
          and nothing is translated yet.
  xliff:  XLIFF 1.2 with the same messages: one <trans-unit> each, with
          resname, <source>, <target state="translated"> where translated
          and a <note>. A control character XML cannot carry (U+0001 to
          U+001F but tab, LF and CR) is written as
          <ph id="N" ctype="x-lumo-control">U+0007</ph>.
Target entries whose name the source lacks, or that repeat a name more
often than the source, are left out with a warning; a message translated
two ways keeps the first translation, with a warning. XLIFF refuses an
entry name holding such a control character, and a text over 10,000,000
bytes of UTF-8, more than XML readers take (exit status 1); use PO then.

Options:
  -o, --output=OUT   write to OUT (replacing it only once all is written)
                     instead of standard output; '-' is standard output
      --format=FMT   {formats}; without it, an OUT named
                     *.csv, *.pot, *.po, *.xlf or *.xliff gets that format
                     and anything else JSON
      --source=SOURCE.lumo
                     the entry file in the source language (po, xliff)
      --language=LL  the translation's language, such as fr or pt_BR (the
                     PO Language header, XLIFF target-language)
      --source-language=LL
                     XLIFF source-language (en without it)
  -h, --help         show this help

A damaged entry file is not exported (exit status 1).
)";

constexpr const char* kImportHelp = R"(Usage: lumo import IN.json|IN.csv -o OUT.lumo [--format json|csv]
       lumo import IN.po|IN.xlf --template SOURCE.lumo -o OUT.lumo
Write an entry file from JSON or CSV in UTF-8, in the shape 'lumo export'
writes. The format follows the input's extension unless --format names it.

A translation (PO, POT or XLIFF 1.2, as 'lumo export' writes them or
gettext's tools and XLIFF editors rewrite them) goes into its template, the
entry file in the source language: OUT holds the template's entries in its
order, and every non-empty text whose name and text have a translation that
is neither empty nor fuzzy becomes that translation; the other texts keep
their source text. Fuzzy is a PO message marked "#, fuzzy", or an XLIFF
<target> whose state is not translated, final or signed-off; obsolete PO
messages (#~) are ignored. A summary goes to standard output:
  T translated, F fuzzy, U untranslated messages
Messages that match no text of the template are left out with a warning.

Options:
  -o, --output=OUT   the entry file to write (required); it is replaced only
                     once everything was written
      --format=FMT   {formats}
      --template=SOURCE.lumo
                     the entry file the translation is for (po, pot, xliff)
      --untranslated=WHAT
                     source (the default) keeps the source text of a text
                     without translation, empty writes an empty text
      --strict       refuse the import (writing nothing, exit status 1) when
                     a translation check finds an error
      --checks=LIST, --skip=LIST, --placeholder=REGEX, --max-length=N,
      --max-growth=PERCENT
                     the translation checks to run, as for 'lumo check'
  -h, --help         show this help

A translation is checked against its template as 'lumo check --template'
checks it, and what the checks find is printed as warnings (at most ten of
each check; 'lumo check --template' lists all).

Refused, naming the line (CSV, PO, XLIFF) or line and column (JSON), and
writing nothing: malformed JSON or CSV, a missing or unknown key or column, a
text with a character Windows-1252 cannot hold or with a NUL (U+0000); PO
syntax errors, a PO without header or not in UTF-8 (convert it with msgconv),
plural forms; malformed XML, a document that is not XLIFF 1.2, inline
elements other than <g>, <mrk> and lumo's <ph>.
Exit status 1 then, 2 for a usage error or a file that cannot be read or
written.
)";

constexpr const char* kDiffHelp = R"(Usage: lumo diff OLD.lumo NEW.lumo [--format text|json]
Show what changed from one entry file to another, say from one release of a
game to the next. Entries are paired by name: the first entry of a name in
OLD with the first of that name in NEW, the second with the second, and so
on, since names may repeat. One of the two may be '-', standard input.

One line per change (entry numbers count from 1; for a removed entry they
are in OLD, otherwise in NEW):
  - NAME (entry 4): "data text", extra text "extra"     removed
  + NAME (entry 7): "data text"                         added
  ~ NAME (entry 7): data text "old" -> "new"            data text changed
  ~ NAME (entry 7): extra text "old" -> "new"           extra text changed
  > NAME: moved from entry 4 to 7                       moved
then a summary: A added, R removed, C changed, M moved, U unchanged.

Moved: of the entries in both files, the largest set that keeps its order
stays in place (ties go to the entries that come first in the new file);
the others moved. An entry taken out and put back elsewhere is the one that
moved, not the entries it passed; entries added or removed around others
move nothing.
Texts are converted from Windows-1252 to UTF-8 and shown in quotes, with \\,
\", \n, \r, \t and \uXXXX (for other control characters) escaped; a name is
quoted like a text when it is empty or holds a blank, a quote, a backslash
or a control character. Changes come in the new file's order, each removed
entry before the entry that followed it in the old file.

Options:
      --format=FMT   text (the default) or json: one document with the
                     files, "same", a "summary" of the counts above and
                     "changes", each an object with "change" ("added",
                     "removed", "changed" or "moved"), "name", "old_entry"
                     and/or "new_entry", and the texts: "data" and "extra"
                     for added and removed entries, {"old", "new"} for the
                     texts that changed, and "moved" (true or false)
  -h, --help         show this help

Exit status: 0 when the files hold the same entries in the same order, 1
when they differ, 2 for a usage error or a file that cannot be read or is
damaged.
)";

std::string WithFormats(std::string text)
{
    const std::string key = "{formats}";
    if (const std::size_t at = text.find(key); at != std::string::npos)
        text.replace(at, key.size(), JoinChoices(FormatNames(false)));
    return text;
}

COption OutputOption()
{
    return {"--output", 'o', EOptionKind::value, "OUT"};
}

COption FormatOption(bool bReadableOnly)
{
    COption option{"--format", 0, EOptionKind::choice, "FMT"};
    option.choices = FormatNames(bReadableOnly);
    for (const auto& [alias, name] : FormatAliases())
        option.aliases.emplace(alias, name);
    option.badValueMessage = "unknown format '{value}' (use {choices})";
    return option;
}

COption ValueOption(const char* name, const char* valueName)
{
    return {name, 0, EOptionKind::value, valueName};
}

std::string FormatList(bool bTranslations)
{
    std::string list;
    for (const CFormat& format : Formats())
        if (format.bTranslations == bTranslations)
            list += (list.empty() ? "" : "|") + format.name;
    return list;
}

// import runs the translation checks too, with the same options.
std::vector<COption> WithCheckOptions(std::vector<COption> options)
{
    for (COption& option : CheckOptionTable(false))
        options.push_back(std::move(option));
    return options;
}

std::vector<CCommand> MakeTable()
{
    COption untranslated{"--untranslated", 0, EOptionKind::choice, "WHAT", {"source", "empty"}};
    COption diffFormat{"--format", 0, EOptionKind::choice, "FMT", {"text", "json"}};
    diffFormat.badValueMessage = "unknown format '{value}' (use {choices})";
    COption markerSize{"--marker-size", 0, EOptionKind::integer, "N"};
    markerSize.nMin = 1;
    markerSize.nMax = kMaxMarkerSize;
    markerSize.badValueMessage = "{option} takes a number from {min} to {max}, not '{value}'";
    COption favor{"--favor", 0, EOptionKind::choice, "SIDE", {"ours", "theirs"}};
    favor.badValueMessage = "--favor takes ours or theirs, not '{value}'";
    return {
        {"check", "check [--against|--template SOURCE] FILE...",
         "check that entry files are sound, or\ntranslations against their source", kCheckHelp,
         CheckOptionTable(true), RunCheck},
        {"export",
         "export FILE [-o OUT] [--format " + FormatList(false) + "|" + FormatList(true) + "] [--source SOURCE]",
         "write the entries as JSON or CSV (UTF-8), or\ntheir texts for translators as PO or XLIFF",
         WithFormats(kExportHelp),
         {OutputOption(), FormatOption(false), ValueOption("--source", "SOURCE.lumo"), ValueOption("--language", "LL"),
          ValueOption("--source-language", "LL")},
         RunExport},
        {"import", "import IN -o OUT.lumo [--format " + FormatList(false) + "|po|xliff] [--template SOURCE]",
         "write an entry file from JSON or CSV, or a\ntranslation into its template", WithFormats(kImportHelp),
         WithCheckOptions({OutputOption(), FormatOption(true), ValueOption("--template", "SOURCE.lumo"), untranslated}),
         RunImport},
        {"diff", "diff OLD NEW [--format text|json]",
         "list the entries added, removed, changed\nand moved between two entry files", kDiffHelp, {diffFormat},
         RunDiff},
        {"merge", "merge BASE OURS THEIRS -o OUT [--favor ours|theirs]",
         "merge two changed versions of an entry\nfile, entry by entry (git's merge driver)", kMergeHelp,
         {OutputOption(), markerSize, ValueOption("--name", "PATH"), favor}, RunMergeCommand},
        {"textconv", "textconv FILE", "the entries as lines of text, for git diff", kTextConvHelp, {},
         RunTextConvCommand},
        {"git-setup", "git-setup [--global] [--attributes]", "make lumo git's diff and merge driver", kGitSetupHelp,
         {{"--global", 0, EOptionKind::flag}, {"--attributes", 0, EOptionKind::flag}}, RunGitSetupCommand},
    };
}

}  // namespace

const std::vector<CCommand>& CommandTable()
{
    static const std::vector<CCommand> s_table = MakeTable();
    return s_table;
}

const CCommand* FindCommand(std::string_view name)
{
    for (const CCommand& command : CommandTable())
        if (command.name == name)
            return &command;
    return nullptr;
}

std::string MainHelp()
{
    // Synopses in a column of 34, their summaries beside or below them.
    constexpr std::size_t kColumn = 34;
    std::string text = std::string(kMainHelpHead) + "Commands:\n";
    for (const CCommand& command : CommandTable()) {
        std::string line = "  " + command.synopsis;
        std::string summary = command.summary;
        for (std::size_t at = summary.find('\n'); at != std::string::npos; at = summary.find('\n', at + 1))
            summary.insert(at + 1, kColumn, ' ');
        if (line.size() + 1 < kColumn)
            text += line + std::string(kColumn - line.size(), ' ') + summary + '\n';
        else
            text += line + '\n' + std::string(kColumn, ' ') + summary + '\n';
    }
    return text + kMainHelpTail;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> names;
    for (const CCommand& command : CommandTable())
        names.push_back(command.name);
    if (args.empty())
        return UsageError(err, "", "a command is missing (" + JoinChoices(names) + ")");
    const std::string& name = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (name == "-h" || name == "--help") {
        out << MainHelp();
        return exitOk;
    }
    if (name == "--version") {
        out << "lumo " << LUMO_VERSION << '\n';
        return exitOk;
    }
    if (name == "help") {
        if (rest.empty()) {
            out << MainHelp();
            return exitOk;
        }
        const CCommand* pCommand = FindCommand(rest[0]);
        if (!pCommand)
            return UsageError(err, "", "there is no command '" + Shown(rest[0]) + "'");
        out << pCommand->help;
        return exitOk;
    }
    const CCommand* pCommand = FindCommand(name);
    if (!pCommand) {
        if (!name.empty() && name[0] == '-')
            return UsageError(err, "", "unknown option '" + Shown(name) + "'");
        return UsageError(err, "", "unknown command '" + Shown(name) + "'");
    }
    CArguments parsed;
    try {
        parsed = ParseArguments(rest, pCommand->options);
    } catch (const CUsageError& e) {
        return UsageError(err, pCommand->name, e.what());
    }
    if (parsed.bHelp) {
        out << pCommand->help;
        return exitOk;
    }
    return pCommand->run(parsed, out, err);
}

}  // namespace lumo_cli
