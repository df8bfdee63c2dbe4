// SPDX-License-Identifier: MIT
#include "XliffReadCheck.h"

#include "cli/Text.h"
#include "cli/Translation.h"
#include "cli/XliffUnits.h"

#include <exception>

namespace lumo_fuzz {

namespace {

// Everything a reader gives, as text to compare.
std::string Describe(const lumo_cli::CTranslations& translations, const lumo_cli::CWarnings& warnings)
{
    std::string text = "unmatchable " + std::to_string(translations.Unmatchable()) + "\n";
    for (std::size_t i = 0; i < translations.Size(); ++i) {
        const lumo_cli::CTranslation& t = translations.At(i);
        text += lumo_cli::QuotedEntryText(t.name) + " " + lumo_cli::QuotedEntryText(t.source) + " -> " +
                lumo_cli::QuotedEntryText(t.text) + (t.bFuzzy ? " fuzzy" : "") + " unit " + std::to_string(t.nUnitId) +
                "\n";
    }
    for (const std::string& line : warnings.Lines())
        text += "warning: " + line + "\n";
    return text;
}

template <class Read>
CXliffReadOutcome Outcome(Read&& read)
{
    CXliffReadOutcome outcome;
    lumo_cli::CWarnings warnings;
    try {
        const lumo_cli::CTranslations translations = read(warnings);
        outcome.text = Describe(translations, warnings);
    } catch (const lumo_cli::CXmlNotWellFormed& e) {
        outcome.kind = CXliffReadOutcome::notWellFormed;
        outcome.text = "at byte " + std::to_string(e.Offset()) + ": " + e.what();
    } catch (const lumo_cli::CImportError& e) {
        outcome.kind = CXliffReadOutcome::refused;
        outcome.text = e.what();
    }
    return outcome;
}

}  // namespace

CXliffReadOutcome OwnXliffRead(std::string_view bytes, std::size_t nSplit)
{
    return Outcome([&](lumo_cli::CWarnings& warnings) { return lumo_cli::ReadXliffBytes(bytes, warnings, nSplit); });
}

CXliffReadOutcome LibraryXliffRead(std::string_view bytes)
{
    return Outcome([&](lumo_cli::CWarnings& warnings) { return lumo_cli::ReadXliffWithLibrary(bytes, warnings); });
}

std::string CompareXliffReaders(std::string_view bytes)
{
    const CXliffReadOutcome own = OwnXliffRead(bytes, 0);
    // Read from two places at once, the second at each place a unit seems
    // to start (inside a comment, a CDATA section, another element...): the
    // outcome is that of one reading, whether the guess held or not.
    constexpr std::string_view kUnit = "<trans-unit";
    std::size_t nTried = 0;
    for (std::size_t at = bytes.find(kUnit); at != std::string_view::npos && nTried < 16; at = bytes.find(kUnit, at + 1)) {
        if (at == bytes.find(kUnit))
            continue;
        ++nTried;
        const CXliffReadOutcome split = OwnXliffRead(bytes, at);
        if (split.kind != own.kind || split.text != own.text)
            return "read from two places (the second at byte " + std::to_string(at) + "), lumo's reader gives:\n" +
                   split.text + "\n-- read in one: " + own.text;
    }
    const CXliffReadOutcome library = LibraryXliffRead(bytes);
    const bool bOwnAccepts = own.kind == CXliffReadOutcome::accepted;
    const bool bLibraryAccepts = library.kind == CXliffReadOutcome::accepted;
    if (bOwnAccepts != bLibraryAccepts)
        return std::string(bOwnAccepts ? "lumo accepts, libxml2 refuses: " + library.text
                                       : "libxml2 accepts, lumo refuses: " + own.text);
    if (bOwnAccepts && own.text != library.text)
        return "the translations differ:\n-- lumo:\n" + own.text + "-- libxml2:\n" + library.text;
    // lumo's own refusals keep their words (a line, a unit, a limit). Of a
    // file in another encoding than UTF-8, or compressed, libxml2 may find
    // fault first.
    const bool bNotUtf8 = own.text.find(": the file is in the encoding ") != std::string::npos ||
                          own.text.find(": the file is compressed (") != std::string::npos;
    if (own.kind == CXliffReadOutcome::refused && !bNotUtf8 && own.text != library.text)
        return "the refusals differ:\n-- lumo: " + own.text + "\n-- libxml2: " + library.text;
    return "";
}

}  // namespace lumo_fuzz
