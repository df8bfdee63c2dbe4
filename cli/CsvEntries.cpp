// SPDX-License-Identifier: MIT
#include "Csv.h"
#include "EntryWriters.h"
#include "Formats.h"
#include "Text.h"

#include "platform/Cp1252.h"

#include <algorithm>
#include <array>
#include <optional>

namespace lumo_cli {

namespace {

constexpr std::array<const char*, 3> kColumns = {"name", "data", "extra"};

std::string At(std::size_t nLine)
{
    return "line " + std::to_string(nLine) + ": ";
}

// Which field of a record holds each column.
std::array<std::size_t, 3> ReadHeader(const CCsvRecord& header)
{
    std::array<std::optional<std::size_t>, 3> where;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string_view text = header.fields[i].text;
        const auto it = std::find_if(kColumns.begin(), kColumns.end(), [&](const char* c) { return text == c; });
        if (it == kColumns.end())
            throw CImportError(At(header.nLine) + "the header names an unknown column " + Quoted(text) +
                               "; the columns are name,data,extra");
        auto& slot = where[static_cast<std::size_t>(it - kColumns.begin())];
        if (slot)
            throw CImportError(At(header.nLine) + "the header names the column " + Quoted(text) + " twice");
        slot = i;
    }
    std::array<std::size_t, 3> result{};
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        if (!where[c])
            throw CImportError(At(header.nLine) + "the header has no column \"" + kColumns[c] +
                               "\"; the columns are name,data,extra");
        result[c] = *where[c];
    }
    return result;
}

}  // namespace

std::string EntriesToCsv(const std::vector<Entry>& entries)
{
    std::string out;
    WriteCsvEntries(entries, [&](const char* pBytes, std::size_t nCount) { out.append(pBytes, nCount); });
    return out;
}

std::vector<Entry> EntriesFromCsv(std::string_view csv)
{
    return EntriesOf(EntryStoreFromCsv(csv));
}

CEntryStore EntryStoreFromCsv(std::string_view csv)
{
    if (csv.substr(0, 3) == "\xEF\xBB\xBF")
        csv.remove_prefix(3);
    CEntryStore entries;
    // No text is longer converted than in the input: the block is never copied as it grows.
    entries.Reserve(0, csv.size());
    try {
        CCsvReader reader(csv);
        CCsvRecord record;
        if (!reader.Next(record))
            throw CImportError(At(1) + "the file is empty; its first line must be the header name,data,extra");
        const std::array<std::size_t, 3> columns = ReadHeader(record);
        const std::size_t nFields = record.fields.size();
        std::string texts[3];  // each entry's texts converted here, then appended to the store
        while (reader.Next(record)) {
            if (record.fields.size() == 1 && record.fields[0].text.empty())
                throw CImportError(At(record.nLine) + "the line is empty; every record needs the fields name,data,extra");
            if (record.fields.size() != nFields)
                throw CImportError(At(record.nLine) + "the record has " + std::to_string(record.fields.size()) +
                                   (record.fields.size() == 1 ? " field" : " fields") + ", but the header has " +
                                   std::to_string(nFields));
            for (std::size_t c = 0; c < kColumns.size(); ++c) {
                const CCsvField& field = record.fields[columns[c]];
                if (const auto problem = ToEntryText(field.text, texts[c])) {
                    // The line of the problem itself: the field may span lines.
                    const std::string_view before = field.text.substr(0, problem->offset);
                    const std::size_t nLine = field.nLine + static_cast<std::size_t>(
                                                                std::count(before.begin(), before.end(), '\n'));
                    throw CImportError(At(nLine) + "the " + kColumns[c] + " of entry " +
                                       std::to_string(entries.Size() + 1) + ": " + problem->message);
                }
            }
            entries.Append(texts[0], texts[1], texts[2]);
        }
    } catch (const CCsvError& e) {
        throw CImportError(At(e.m_nLine) + "malformed CSV: " + e.what());
    }
    return entries;
}

}  // namespace lumo_cli
