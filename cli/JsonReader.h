// SPDX-License-Identifier: MIT
// lumo's own reader of the one JSON shape an import takes: an array of
// objects whose keys are exactly "name", "data" and "extra", each a text.
// It decodes every string straight into the Windows-1252 bytes an entry
// file stores, in one pass and with one allocation per text that needs one.
//
// It accepts exactly what nlohmann-json's parser, with the import's checks
// on its events, accepts, with the same entries: the library stays the
// oracle (a test and lumo_fuzz_json compare the two) and the one that
// words a refusal, so the messages for bad JSON are the library's.
#pragma once

#include "EntryIo.h"
#include "EntryStore.h"

#include <string_view>
#include <vector>

namespace lumo_cli {

// The entries of input, or false when input is not such an array (or a
// text has no Windows-1252 form or holds a NUL). *pStop is then the byte
// offset where reading stopped, and entries holds nothing of use.
bool ReadJsonEntries(std::string_view input, CEntryStore& entries, std::size_t* pStop = nullptr);

// The same input through nlohmann-json's SAX parser: the entries, or a
// CImportError that says what is wrong and where.
std::vector<Entry> EntriesFromJsonLibrary(std::string_view input);

}  // namespace lumo_cli
