// SPDX-License-Identifier: MIT
// Imports of the translators' formats as whole operations on files, for
// the import command and the fuzz targets.
#include "TranslationFormats.h"


namespace lumo_cli {

CEntryStore ImportTranslations(const std::string& path, EFormat format, CEntrySpan templ, EUntranslated untranslated,
                               CImportCounts& counts, CWarnings& warnings,
                               const std::function<void(const CTranslations&)>& inspect)
{
    const CTranslations translations = FormatOf(format).readTranslations(path, warnings);
    if (inspect)
        inspect(translations);
    CEntryStore entries = ApplyTranslations(templ, translations, untranslated == EUntranslated::empty, counts);
    // A translation of another file would give a copy of the template.
    if (counts.nMatched == 0 && counts.nNotInTemplate > 0)
        throw CImportError((counts.nNotInTemplate == 1
                                ? std::string("its one message matches no text of the template")
                                : "none of its " + std::to_string(counts.nNotInTemplate) +
                                      " messages matches a text of the template") +
                           "; is it the translation of another entry file?");
    return entries;
}

}  // namespace lumo_cli
