// SPDX-License-Identifier: MIT
// Entries written as JSON and as CSV straight to a sink, a buffer's worth
// at a time, so an export never holds the whole document in memory.
#pragma once

#include "EntryIo.h"
#include "FormatRegistry.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

// [{"name": ..., "data": ..., "extra": ...}, ...], one entry per line.
void WriteJsonEntries(const std::vector<Entry>& entries, const ByteSink& sink);
// The header name,data,extra, then one record per entry; CRLF line ends.
void WriteCsvEntries(const std::vector<Entry>& entries, const ByteSink& sink);

// A Windows-1252 text as a JSON string, quotes included, escaped as
// nlohmann-json's dump() escapes it (the oracle in the tests).
void AppendJsonString(std::string& out, std::string_view cp1252);

}  // namespace lumo_cli
