// SPDX-License-Identifier: MIT
// Entries written as JSON and as CSV straight to a sink, in stretches made
// on every core and handed on in order, so an export never holds the whole
// document in memory. The lists are written by the same code as the store.
#pragma once

#include "EntryIo.h"
#include "FormatRegistry.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

class CEntryStore;

// [{"name": ..., "data": ..., "extra": ...}, ...], one entry per line.
void WriteJsonEntries(const CEntryStore& entries, const ByteSink& sink);
void WriteJsonEntries(const std::vector<Entry>& entries, const ByteSink& sink);
// The header name,data,extra, then one record per entry; CRLF line ends.
void WriteCsvEntries(const CEntryStore& entries, const ByteSink& sink);
void WriteCsvEntries(const std::vector<Entry>& entries, const ByteSink& sink);

// A Windows-1252 text as a JSON string, quotes included, escaped as
// nlohmann-json's dump() escapes it (the oracle in the tests).
void AppendJsonString(std::string& out, std::string_view cp1252);

}  // namespace lumo_cli
