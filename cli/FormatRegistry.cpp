// SPDX-License-Identifier: MIT
#include "FormatRegistry.h"

#include "EntryWriters.h"
#include "Formats.h"
#include "TranslationFormats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

namespace lumo_cli {

namespace {

void WritePot(const CCatalog& catalog, const CCatalogInfo& info, const ByteSink& sink)
{
    WritePo(catalog, info, true, sink);
}

void WritePoTranslation(const CCatalog& catalog, const CCatalogInfo& info, const ByteSink& sink)
{
    WritePo(catalog, info, false, sink);
}

}  // namespace

const std::vector<CFormat>& Formats()
{
    static const std::vector<CFormat> s_formats = {
        {EFormat::json, "json", {}, {".json"}, false, true, WriteJsonEntries, EntryStoreFromJson, nullptr, nullptr},
        {EFormat::csv, "csv", {}, {".csv"}, false, true, WriteCsvEntries, EntryStoreFromCsv, nullptr, nullptr},
        {EFormat::pot, "pot", {}, {".pot"}, true, true, nullptr, nullptr, WritePot, ReadPo},
        {EFormat::po, "po", {}, {".po"}, true, true, nullptr, nullptr, WritePoTranslation, ReadPo},
        {EFormat::xliff, "xliff", {"xlf"}, {".xlf", ".xliff"}, true, true, nullptr, nullptr, WriteXliff, ReadXliff},
    };
    return s_formats;
}

const CFormat& FormatOf(EFormat id)
{
    for (const CFormat& format : Formats())
        if (format.id == id)
            return format;
    throw std::logic_error("a format without an entry in the registry");
}

const CFormat* FindFormat(std::string_view name)
{
    for (const CFormat& format : Formats())
        if (format.name == name || std::find(format.aliases.begin(), format.aliases.end(), name) != format.aliases.end())
            return &format;
    return nullptr;
}

const CFormat* FormatOfPath(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const CFormat& format : Formats())
        if (std::find(format.extensions.begin(), format.extensions.end(), ext) != format.extensions.end())
            return &format;
    return nullptr;
}

std::vector<std::string> FormatNames(bool bReadableOnly)
{
    std::vector<std::string> names;
    for (const CFormat& format : Formats())
        if (!bReadableOnly || format.bReadable)
            names.push_back(format.name);
    return names;
}

std::vector<std::pair<std::string, std::string>> FormatAliases()
{
    std::vector<std::pair<std::string, std::string>> aliases;
    for (const CFormat& format : Formats())
        for (const std::string& alias : format.aliases)
            aliases.emplace_back(alias, format.name);
    return aliases;
}

}  // namespace lumo_cli
