// SPDX-License-Identifier: MIT
// Entries as JSON and as CSV, the texts in UTF-8. Reading refuses anything
// it cannot turn back into exactly the texts an entry file holds, with a
// CImportError that says where (line and column) and what is wrong.
#pragma once

#include "EntryIo.h"
#include "EntryStore.h"
#include "Text.h"

#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

// [{"name": ..., "data": ..., "extra": ...}, ...], one entry per line.
std::string EntriesToJson(const std::vector<Entry>& entries);
// An array of objects, each with exactly the keys "name", "data" and "extra",
// all texts.
CEntryStore EntryStoreFromJson(std::string_view json);
// The same as a list of entries.
std::vector<Entry> EntriesFromJson(std::string_view json);

// The header name,data,extra, then one record per entry; CRLF line ends.
std::string EntriesToCsv(const std::vector<Entry>& entries);
// The header names the columns name, data and extra, in any order; every
// record has exactly those fields. A UTF-8 byte order mark is skipped.
CEntryStore EntryStoreFromCsv(std::string_view csv);
// The same as a list of entries.
std::vector<Entry> EntriesFromCsv(std::string_view csv);

}  // namespace lumo_cli
