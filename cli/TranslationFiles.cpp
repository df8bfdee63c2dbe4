// SPDX-License-Identifier: MIT
// Exports and imports of the translators' formats as whole operations on
// files, for the import and export commands and for the benchmark.
#include "TranslationFormats.h"

#include "platform/Archive.h"
#include "platform/File.h"

#include <algorithm>

namespace lumo_cli {

void ExportTranslations(const std::vector<Entry>& source, const std::vector<Entry>* pTarget, EFormat format,
                        const CCatalogInfo& info, const ByteSink& sink, CWarnings& warnings)
{
    CCatalog catalog(source);
    if (pTarget && format != EFormat::pot)
        catalog.AddTranslations(*pTarget, warnings);
    if (format == EFormat::xliff)
        WriteXliff(catalog, info, sink);
    else
        WritePo(catalog, info, format == EFormat::pot, sink);
}

void ExportTranslations(const std::vector<Entry>& source, const std::vector<Entry>* pTarget, EFormat format,
                        const CCatalogInfo& info, const std::string& path, CWarnings& warnings)
{
    AfxReplaceFile(path, [&](CArchive& ar) {
        ExportTranslations(source, pTarget, format, info,
                           [&](const char* pBytes, std::size_t nCount) {
                               constexpr std::size_t kChunk = 1u << 24;
                               for (std::size_t pos = 0; pos < nCount; pos += kChunk)
                                   ar.Write(pBytes + pos, static_cast<UINT>(std::min(kChunk, nCount - pos)));
                           },
                           warnings);
    });
}

std::vector<Entry> ImportTranslations(const std::string& path, EFormat format, const std::vector<Entry>& templ,
                                      EUntranslated untranslated, CImportCounts& counts, CWarnings& warnings)
{
    const CTranslations translations =
        format == EFormat::xliff ? ReadXliff(path, warnings) : ReadPo(path, warnings);
    return ApplyTranslations(templ, translations, untranslated == EUntranslated::empty, counts);
}

}  // namespace lumo_cli
