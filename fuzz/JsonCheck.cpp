// SPDX-License-Identifier: MIT
#include "JsonCheck.h"

#include "cli/JsonReader.h"
#include "cli/Text.h"

#include <vector>

namespace lumo_fuzz {

std::string CompareJsonReaders(std::string_view json)
{
    lumo_cli::CEntryStore store;
    std::size_t nStop = 0;
    const bool bOurs = lumo_cli::ReadJsonEntries(json, store, &nStop);
    const std::vector<lumo_cli::Entry> ours = lumo_cli::EntriesOf(store);
    std::vector<lumo_cli::Entry> library;
    std::string refusal;
    try {
        library = lumo_cli::EntriesFromJsonLibrary(json);
    } catch (const lumo_cli::CImportError& e) {
        refusal = e.what();
    }
    const bool bLibrary = refusal.empty();
    if (bOurs && !bLibrary)
        return "our JSON reader accepted what the library refuses: " + refusal;
    if (!bOurs && bLibrary)
        return "our JSON reader refused (at byte " + std::to_string(nStop) + ") what the library accepts";
    if (bOurs && ours != library) {
        std::size_t i = 0;
        while (i < ours.size() && i < library.size() && ours[i] == library[i])
            ++i;
        return "the JSON readers accepted other entries (" + std::to_string(ours.size()) + " and " +
               std::to_string(library.size()) + ", the first difference at entry " + std::to_string(i + 1) + ")";
    }
    return {};
}

}  // namespace lumo_fuzz
