// SPDX-License-Identifier: MIT
#include "EntryWriters.h"

#include "Csv.h"
#include "EntryStore.h"
#include "ParallelChunks.h"

#include "platform/Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace lumo_cli {

namespace {

// What a byte becomes inside a JSON string (escaped as nlohmann-json's dump()
// escapes it, or its UTF-8 form), and inside a CSV field (its UTF-8 form).
struct CByteForm {
    char bytes[6];
    unsigned char nCount;
};

struct CByteForms {
    std::array<CByteForm, 256> json{}, csv{};
    CByteForms()
    {
        for (unsigned b = 0; b < 256; ++b) {
            const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
            std::string escaped = utf8;
            if (b < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", b);
                escaped = code;
            }
            switch (b) {
            case '\b': escaped = "\\b"; break;
            case '\t': escaped = "\\t"; break;
            case '\n': escaped = "\\n"; break;
            case '\f': escaped = "\\f"; break;
            case '\r': escaped = "\\r"; break;
            case '"': escaped = "\\\""; break;
            case '\\': escaped = "\\\\"; break;
            default: break;
            }
            Set(json[b], escaped);
            Set(csv[b], b == '"' ? std::string("\"\"") : utf8);
        }
    }
    static void Set(CByteForm& form, const std::string& bytes)
    {
        std::memcpy(form.bytes, bytes.data(), bytes.size());
        form.nCount = static_cast<unsigned char>(bytes.size());
    }
};

const CByteForms kForms;

// Appends text with each byte in its form of the table: straight into room
// for the longest form, then cut to what was written.
template <std::size_t nLongest>
void AppendForms(std::string& out, std::string_view cp1252, const std::array<CByteForm, 256>& forms, char quote)
{
    const std::size_t nOld = out.size();
    out.resize(nOld + nLongest * cp1252.size() + 2);
    char* p = out.data() + nOld;
    if (quote)
        *p++ = quote;
    for (const char c : cp1252) {
        const CByteForm& form = forms[static_cast<unsigned char>(c)];
        std::memcpy(p, form.bytes, nLongest);
        p += form.nCount;
    }
    if (quote)
        *p++ = quote;
    out.resize(static_cast<std::size_t>(p - out.data()));
}

// A text as a CSV field in UTF-8: as AppendCsvField quotes its UTF-8 form
// (the bytes that decide it are ASCII, the same in both).
void AppendCsvText(std::string& out, std::string_view cp1252)
{
    const bool bQuote = cp1252.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!cp1252.empty() && (cp1252.front() == ' ' || cp1252.front() == '\t' ||
                                             cp1252.back() == ' ' || cp1252.back() == '\t'));
    AppendForms<3>(out, cp1252, kForms.csv, bQuote ? '"' : '\0');
}

// The texts of entry i of a store or a list.
struct CTexts {
    std::string_view name, data, extra;
};
CTexts TextsOf(const CEntryStore& entries, std::size_t i)
{
    return {entries.Name(i), entries.Data(i), entries.Extra(i)};
}
CTexts TextsOf(const std::vector<Entry>& entries, std::size_t i)
{
    return {entries[i].name, entries[i].data, entries[i].extra};
}
std::size_t CountOf(const CEntryStore& entries)
{
    return entries.Size();
}
std::size_t CountOf(const std::vector<Entry>& entries)
{
    return entries.size();
}

// Hands the bytes of the entries, each made by appendEntry(out, texts,
// bLast), to the sink in stretches made on every core, in order.
template <class Entries, class AppendEntry>
void WriteInStretches(const Entries& entries, const ByteSink& sink, const AppendEntry& appendEntry)
{
    const std::size_t n = CountOf(entries);
    ProduceChunksInOrder(
        ChunkCount(n),
        [&]() -> ChunkProducer {
            return [&](std::size_t nChunk, std::string& out) {
                const std::size_t nEnd = std::min(n, (nChunk + 1) * kChunkItems);
                for (std::size_t i = nChunk * kChunkItems; i < nEnd; ++i)
                    appendEntry(out, TextsOf(entries, i), i + 1 == n);
            };
        },
        [&](std::string_view bytes) { sink(bytes.data(), bytes.size()); });
}

template <class Entries>
void WriteJson(const Entries& entries, const ByteSink& sink)
{
    if (CountOf(entries) == 0) {
        sink("[]\n", 3);
        return;
    }
    sink("[\n", 2);
    WriteInStretches(entries, sink, [](std::string& out, const CTexts& texts, bool bLast) {
        out += "  {\"name\": ";
        AppendJsonString(out, texts.name);
        out += ", \"data\": ";
        AppendJsonString(out, texts.data);
        out += ", \"extra\": ";
        AppendJsonString(out, texts.extra);
        out += bLast ? "}\n" : "},\n";
    });
    sink("]\n", 2);
}

template <class Entries>
void WriteCsv(const Entries& entries, const ByteSink& sink)
{
    static constexpr std::string_view kHeader = "name,data,extra\r\n";
    sink(kHeader.data(), kHeader.size());
    WriteInStretches(entries, sink, [](std::string& out, const CTexts& texts, bool) {
        AppendCsvText(out, texts.name);
        out += ',';
        AppendCsvText(out, texts.data);
        out += ',';
        AppendCsvText(out, texts.extra);
        out += "\r\n";
    });
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view cp1252)
{
    AppendForms<6>(out, cp1252, kForms.json, '"');
}

void WriteJsonEntries(const CEntryStore& entries, const ByteSink& sink)
{
    WriteJson(entries, sink);
}

void WriteJsonEntries(const std::vector<Entry>& entries, const ByteSink& sink)
{
    WriteJson(entries, sink);
}

void WriteCsvEntries(const CEntryStore& entries, const ByteSink& sink)
{
    WriteCsv(entries, sink);
}

void WriteCsvEntries(const std::vector<Entry>& entries, const ByteSink& sink)
{
    WriteCsv(entries, sink);
}

}  // namespace lumo_cli
