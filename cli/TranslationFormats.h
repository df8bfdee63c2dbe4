// SPDX-License-Identifier: MIT
// The translators' file formats: gettext PO and POT and XLIFF 1.2, read and
// written by lumo itself, each held to its library (gettext's libgettextpo,
// libxml2) as the oracle, which also words the refusal of a file that is
// not PO or not well-formed XML. Texts are UTF-8 in the files and
// Windows-1252 in the entries.
#pragma once

#include "FormatRegistry.h"
#include "Text.h"
#include "Translation.h"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumo_cli {

// An export that cannot be written in the format asked for; nothing was written.
class CExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CCatalogInfo {
    std::string sourceFile;             // the source entry file's name, as references give it
    std::string sourceLanguage = "en";  // for XLIFF's source-language
    std::string language;               // the translation's; empty when not known
};

// A PO file, or with bTemplate a POT (the translations left out).
void WritePo(const CCatalog& catalog, const CCatalogInfo& info, bool bTemplate, const ByteSink& sink);
// An XLIFF 1.2 document. Throws CExportError for an entry name that XML
// cannot carry (a control character other than tab and line breaks).
void WriteXliff(const CCatalog& catalog, const CCatalogInfo& info, const ByteSink& sink);

// The translations of a PO (or POT) or XLIFF file. Throws CImportError,
// naming the line, for a file that cannot be used as it is, and
// CFileException when it cannot be read.
CTranslations ReadPo(const std::string& path, CWarnings& warnings);
// The same, and for each translation kept the line where its message starts
// (its msgctxt), for messages that name it.
CTranslations ReadPo(const std::string& path, CWarnings& warnings, std::vector<std::size_t>* pLines);
CTranslations ReadXliff(const std::string& path, CWarnings& warnings);

// A whole import of a translator's file into its template's entries, by
// the format registry's reader.
CEntryStore ImportTranslations(const std::string& path, EFormat format, CEntrySpan templ, EUntranslated untranslated,
                               CImportCounts& counts, CWarnings& warnings);
// Throws CImportError when no message of the file matched the template:
// the translation of another entry file would give a copy of the template.
void RefuseUnmatchedTranslation(const CImportCounts& counts);

// The control characters XML 1.0 cannot carry. In an XLIFF text each is
// written as <ph ctype="x-lumo-control">U+0007</ph>.
inline bool IsXmlForbiddenControl(unsigned char byte)
{
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
}

}  // namespace lumo_cli
