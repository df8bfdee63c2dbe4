// SPDX-License-Identifier: MIT
// lumo's own XLIFF writer against libxml2's xmlTextWriter on the same
// export: the bytes must be the same. The fuzzer calls this for every input
// it makes; the oracle test for a table of cases, random ones and the seeds.
#pragma once

#include "cli/Translation.h"
#include "cli/TranslationFormats.h"

#include <string>
#include <string_view>
#include <vector>

namespace lumo_fuzz {

// A source and its translation, as an export --source reads them.
struct CXliffTestExport {
    std::vector<lumo_cli::Entry> source, target;
    lumo_cli::CCatalogInfo info;
};

// The export an input makes. Fields end at 0x00: the source file's name,
// the target language, then per entry its name, data and extra text and
// the translation's data and extra text, all Windows-1252 bytes. Names
// lose the control characters lumo refuses in them, so the writers have
// something to compare.
CXliffTestExport XliffExportFromBytes(std::string_view bytes);

// The document as libxml2's writer writes it, and as lumo's export does.
std::string LibraryXliffText(const lumo_cli::CCatalog& catalog, const lumo_cli::CCatalogInfo& info);
std::string OwnXliffText(const lumo_cli::CCatalog& catalog, const lumo_cli::CCatalogInfo& info);

// Empty when both give the same bytes; otherwise where they differ.
std::string CompareXliffWriters(const CXliffTestExport& given);

}  // namespace lumo_fuzz
