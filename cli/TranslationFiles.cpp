// SPDX-License-Identifier: MIT
// Imports of the translators' formats as whole operations on files, for
// the import command and the fuzz targets.
#include "TranslationFormats.h"

#include <future>
#include <system_error>


namespace lumo_cli {

CEntryStore ImportTranslations(const std::string& path, EFormat format, CEntrySpan templ, EUntranslated untranslated,
                               CImportCounts& counts, CWarnings& warnings,
                               const std::function<void(const CTranslations&)>& inspect)
{
    const CTranslations translations = FormatOf(format).readTranslations(path, warnings);
    return ImportTranslations(translations, templ, untranslated, counts, inspect);
}

CEntryStore ImportTranslations(const CTranslations& translations, CEntrySpan templ, EUntranslated untranslated,
                               CImportCounts& counts, const std::function<void(const CTranslations&)>& inspect)
{
    // The translations go into the template while inspect looks at them:
    // both only read them, and each has most of a core's work in a large file.
    const auto apply = [&] { return ApplyTranslations(templ, translations, untranslated == EUntranslated::empty, counts); };
    std::future<CEntryStore> applied;
    if (inspect) {
        try {
            applied = std::async(std::launch::async, apply);
        } catch (const std::system_error&) {
            // No thread to be had: one after the other.
        }
        // Should inspect refuse, the future's end waits for the work on the other thread.
        inspect(translations);
    }
    CEntryStore entries = applied.valid() ? applied.get() : apply();
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
