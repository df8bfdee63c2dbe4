// SPDX-License-Identifier: MIT
#include "TranslationCheck.h"

#include "cli/EntryIo.h"
#include "cli/TranslationFormats.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "tests/support/ScratchFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace lumo_fuzz {
namespace {

using lumo_cli::Entry;

// The template every input is imported into: a name twice with its texts
// swapped (so one message is a data text in one entry and an extra text in
// the next), an empty data text, bytes above 0x7F, a control character, and
// an entry repeating another one whole.
const std::vector<Entry>& Template()
{
    static const std::vector<Entry> templ = {
        {"TITLE", "Start", ""},
        {"DUP", "Yes", "No"},
        {"DUP", "No", "Yes"},
        {"EMPTY", "", "Only the extra"},
        {"CAFE", "Caf\xe9 \x80", "Bell\x07"},
        {"TITLE", "Start", "Start"},
    };
    return templ;
}

using lumo_test_support::CScratchFile;

struct Attempt {
    bool bAccepted = false;
    std::vector<Entry> entries;
    std::string refusal, problem;
};

Attempt Import(const std::string& path, lumo_cli::EFormat format, lumo_cli::EUntranslated untranslated)
{
    Attempt attempt;
    lumo_cli::CImportCounts counts;
    lumo_cli::CWarnings warnings;
    try {
        attempt.entries =
            lumo_cli::EntriesOf(lumo_cli::ImportTranslations(path, format, Template(), untranslated, counts, warnings));
        attempt.bAccepted = true;
    } catch (const lumo_cli::CImportError& e) {
        attempt.refusal = e.what();
        if (attempt.refusal.empty())
            attempt.problem = "the refusal has no message";
    } catch (const std::exception& e) {
        attempt.problem = "the import threw something other than an import error: " + AfxDescribeException(e);
    } catch (...) {
        attempt.problem = "the import threw something that is not an exception";
    }
    return attempt;
}

std::string Where(std::size_t nEntry, bool bExtra)
{
    return std::string(bExtra ? "the extra text" : "the data text") + " of entry " + std::to_string(nEntry + 1);
}

// The entries an import gave, against the template.
std::string CheckAgainstTemplate(const std::vector<Entry>& entries, std::size_t& nReplaced)
{
    const std::vector<Entry>& templ = Template();
    if (entries.size() != templ.size())
        return "the import gave " + std::to_string(entries.size()) + " entries for a template of " +
               std::to_string(templ.size());
    // What each (name, source text) became where it first occurred.
    std::map<std::pair<std::string, std::string>, std::string> became;
    for (std::size_t i = 0; i < templ.size(); ++i) {
        if (entries[i].name != templ[i].name)
            return "entry " + std::to_string(i + 1) + " is named \"" + entries[i].name + "\", not \"" +
                   templ[i].name + "\"";
        for (const bool bExtra : {false, true}) {
            const std::string& source = bExtra ? templ[i].extra : templ[i].data;
            const std::string& text = bExtra ? entries[i].extra : entries[i].data;
            if (source.empty()) {
                if (!text.empty())
                    return Where(i, bExtra) + " is empty in the template but not after the import";
                continue;
            }
            if (text == source)
                continue;
            ++nReplaced;
            if (text.empty())
                return Where(i, bExtra) + " was replaced by an empty text";
            if (text.find('\0') != std::string::npos)
                return Where(i, bExtra) + " holds a 0x00, which an entry file cannot keep";
            const auto [it, bFirst] = became.try_emplace({templ[i].name, source}, text);
            if (!bFirst && it->second != text)
                return Where(i, bExtra) + " got another translation than the same name and text before it";
        }
    }
    // A text kept as it was must not sit beside the same name and text translated.
    for (std::size_t i = 0; i < templ.size(); ++i)
        for (const bool bExtra : {false, true}) {
            const std::string& source = bExtra ? templ[i].extra : templ[i].data;
            const std::string& text = bExtra ? entries[i].extra : entries[i].data;
            if (!source.empty() && text == source && became.count({templ[i].name, source}))
                return Where(i, bExtra) + " kept its source text where the same name and text were translated";
        }
    return {};
}

// With untranslated texts left empty, every text is empty or what the
// default import gave, and every text the default import replaced stays.
std::string CheckEmptyUntranslated(const std::vector<Entry>& keeping, const std::vector<Entry>& emptying)
{
    const std::vector<Entry>& templ = Template();
    if (emptying.size() != keeping.size())
        return "leaving untranslated texts empty changed the number of entries";
    for (std::size_t i = 0; i < keeping.size(); ++i) {
        if (emptying[i].name != keeping[i].name)
            return "leaving untranslated texts empty changed the name of entry " + std::to_string(i + 1);
        for (const bool bExtra : {false, true}) {
            const std::string& source = bExtra ? templ[i].extra : templ[i].data;
            const std::string& kept = bExtra ? keeping[i].extra : keeping[i].data;
            const std::string& emptied = bExtra ? emptying[i].extra : emptying[i].data;
            if (!emptied.empty() && emptied != kept)
                return "leaving untranslated texts empty gave " + Where(i, bExtra) + " another text";
            if (kept != source && emptied != kept)
                return "leaving untranslated texts empty lost the translation of " + Where(i, bExtra);
        }
    }
    return {};
}

std::string CheckEntryFile(const std::vector<Entry>& entries)
{
    std::string bytes;
    try {
        CArchive ar(&bytes);
        lumo_cli::WriteEntries(ar, entries);
        ar.Close();
    } catch (const std::exception& e) {
        return "writing the imported entries failed: " + AfxDescribeException(e);
    }
    try {
        CArchive ar{std::string_view(bytes)};
        std::vector<Entry> back;
        lumo_cli::CIrregularRecords notes;
        lumo_cli::ReadEntries(ar, &back, &notes);
        if (back != entries)
            return "the entry file written reads back as other entries";
        if (notes.LosesBytes())
            return "the entry file written holds bytes that no entry shows";
    } catch (const std::exception& e) {
        return "the entry file written does not read back: " + AfxDescribeException(e);
    }
    return {};
}

}  // namespace

TranslationOutcome CheckTranslationImport(std::string_view bytes)
{
    TranslationOutcome outcome;
    if (bytes.empty())
        return outcome;
    const bool bXliff = (static_cast<unsigned char>(bytes[0]) & 0x08) != 0;
    const lumo_cli::EFormat format = bXliff ? lumo_cli::EFormat::xliff : lumo_cli::EFormat::po;
    const std::string prefix = bXliff ? "XLIFF input: " : "PO input: ";
    static CScratchFile file("translation");
    const std::string& path = file.Write(bytes.substr(1));

    const Attempt keeping = Import(path, format, lumo_cli::EUntranslated::source);
    if (!keeping.problem.empty()) {
        outcome.problem = prefix + keeping.problem;
        return outcome;
    }
    const Attempt emptying = Import(path, format, lumo_cli::EUntranslated::empty);
    if (!emptying.problem.empty()) {
        outcome.problem = prefix + "leaving untranslated texts empty: " + emptying.problem;
        return outcome;
    }
    // Only whether: gettext's parser keeps some state from one file to the
    // next, so a second read of a broken file may list its errors differently.
    if (emptying.bAccepted != keeping.bAccepted) {
        outcome.problem = prefix + "leaving untranslated texts empty changed whether the file is refused";
        return outcome;
    }
    outcome.bAccepted = keeping.bAccepted;
    outcome.refusal = keeping.refusal;
    if (!outcome.bAccepted)
        return outcome;

    for (std::string p : {CheckAgainstTemplate(keeping.entries, outcome.nReplaced),
                          CheckEmptyUntranslated(keeping.entries, emptying.entries),
                          CheckEntryFile(keeping.entries), CheckEntryFile(emptying.entries)})
        if (!p.empty()) {
            outcome.problem = prefix + p;
            return outcome;
        }
    return outcome;
}

}  // namespace lumo_fuzz
