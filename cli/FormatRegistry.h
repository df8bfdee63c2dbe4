// SPDX-License-Identifier: MIT
// Every file format lumo reads or writes besides entry files, in one table:
// its name, its extensions, whether it carries whole entries or texts for
// translators, and its reader and writer. --format, the format an extension
// names, the help's lists and "unknown format" all come from here.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

struct Entry;
class CEntryStore;
class CCatalog;
class CTranslations;
class CWarnings;
struct CCatalogInfo;

enum class EFormat { json, csv, pot, po, xliff };

// What import writes for a text that has no translation.
enum class EUntranslated { source, empty };

// Receives the bytes of an output in order; throws when they cannot be written.
using ByteSink = std::function<void(const char* pBytes, std::size_t nCount)>;

struct CFormat {
    EFormat id;
    std::string name;                     // as --format takes it
    std::vector<std::string> aliases;     // other spellings --format takes
    std::vector<std::string> extensions;  // lower case, with the dot
    bool bTranslations;                   // texts for translators (with a source or template entry file)
    bool bReadable;                       // import takes it
    // Entry formats: the entries as the format's bytes, and back (throws CImportError).
    void (*writeEntries)(const CEntryStore&, const ByteSink&) = nullptr;
    CEntryStore (*readEntries)(std::string_view) = nullptr;
    // Translation formats: the catalog as the format's bytes (throws
    // CExportError), and the translations of a file (throws CImportError).
    void (*writeTranslations)(const CCatalog&, const CCatalogInfo&, const ByteSink&) = nullptr;
    CTranslations (*readTranslations)(const std::string& path, CWarnings&) = nullptr;
};

const std::vector<CFormat>& Formats();
const CFormat& FormatOf(EFormat id);
// The format --format names (or an alias of it), or nullptr.
const CFormat* FindFormat(std::string_view name);
// The format an output or input's name ends in (any case), or nullptr.
const CFormat* FormatOfPath(const std::string& path);
// The names --format takes, for export (every format) or import (the readable ones).
std::vector<std::string> FormatNames(bool bReadableOnly);
// Their other spellings, to their names.
std::vector<std::pair<std::string, std::string>> FormatAliases();

}  // namespace lumo_cli
