// SPDX-License-Identifier: MIT
// Imports of the translators' formats as whole operations on files, for
// the import command and the fuzz targets.
#include "TranslationFormats.h"

namespace lumo_cli {

void RefuseUnmatchedTranslation(const CImportCounts& counts)
{
    // A translation of another file would give a copy of the template.
    if (counts.nMatched == 0 && counts.nNotInTemplate > 0)
        throw CImportError((counts.nNotInTemplate == 1
                                ? std::string("its one message matches no text of the template")
                                : "none of its " + std::to_string(counts.nNotInTemplate) +
                                      " messages matches a text of the template") +
                           "; is it the translation of another entry file?");
}

CEntryStore ImportTranslations(const std::string& path, EFormat format, CEntrySpan templ, EUntranslated untranslated,
                               CImportCounts& counts, CWarnings& warnings)
{
    const CTranslations translations = FormatOf(format).readTranslations(path, warnings);
    const CTemplatePairing pairing(templ, translations);
    const CTranslatedTemplate result(templ, translations, pairing, untranslated == EUntranslated::empty, counts);
    RefuseUnmatchedTranslation(counts);
    return result.ToStore();
}

}  // namespace lumo_cli
