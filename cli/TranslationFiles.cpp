// SPDX-License-Identifier: MIT
// Exports and imports of the translators' formats as whole operations on
// files, for the import and export commands and for the benchmark.
#include "TranslationFormats.h"


namespace lumo_cli {

void ExportTranslations(const std::vector<Entry>& source, const std::vector<Entry>* pTarget, EFormat format,
                        const CCatalogInfo& info, const ByteSink& sink, CWarnings& warnings)
{
    CCatalog catalog(source);
    if (pTarget && format != EFormat::pot)
        catalog.AddTranslations(*pTarget, warnings);
    FormatOf(format).writeTranslations(catalog, info, sink);
}

std::vector<Entry> ImportTranslations(const std::string& path, EFormat format, const std::vector<Entry>& templ,
                                      EUntranslated untranslated, CImportCounts& counts, CWarnings& warnings,
                                      const std::function<void(const CTranslations&)>& inspect)
{
    const CTranslations translations = FormatOf(format).readTranslations(path, warnings);
    if (inspect)
        inspect(translations);
    std::vector<Entry> entries = ApplyTranslations(templ, translations, untranslated == EUntranslated::empty, counts);
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
