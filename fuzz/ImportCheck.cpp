// SPDX-License-Identifier: MIT
#include "ImportCheck.h"

#include "JsonCheck.h"

#include "tests/support/EntryBytes.h"

#include "cli/EntryIo.h"
#include "cli/Formats.h"
#include "platform/Cp1252.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace lumo_fuzz {
namespace {

using lumo_cli::Entry;

// A file in memory holding these bytes, for reading them back the way
// `lumo export` reads an entry file.
std::string BackingFile(std::string_view bytes)
{
    static const int fd = ::memfd_create("lumo-import-check", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        throw std::runtime_error("no file in memory to write to");
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0)
            throw std::runtime_error("could not write the file in memory");
        done += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

std::string Describe(const std::exception& e)
{
    return AfxDescribeException(e);
}

// Runs an import of text made by the export side; what it gave must be the entries again.
template <class Import>
std::string RoundTrip(const char* what, const std::vector<Entry>& entries, const std::string& text, Import&& import)
{
    try {
        if (import(text) != entries)
            return std::string("the entries -> ") + what + " -> import gave other entries";
    } catch (const std::exception& e) {
        return std::string("the entries -> ") + what + " -> import failed: " + Describe(e);
    }
    return {};
}

// Accepted JSON read as a document by the library directly: the same number
// of entries with the same texts, in UTF-8.
std::string CompareWithDocument(std::string_view input, const std::vector<Entry>& entries)
{
    const nlohmann::json doc = nlohmann::json::parse(input, nullptr, false);
    if (doc.is_discarded() || !doc.is_array())
        return "accepted JSON that the library does not read as an array";
    if (doc.size() != entries.size())
        return "accepted " + std::to_string(entries.size()) + " entries from an array of " + std::to_string(doc.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const nlohmann::json& item = doc[i];
        if (!item.is_object() || item.size() != 3)
            return "entry " + std::to_string(i + 1) + " was accepted but is not an object of three keys";
        const std::pair<const char*, const std::string*> fields[] = {
            {"name", &entries[i].name}, {"data", &entries[i].data}, {"extra", &entries[i].extra}};
        for (const auto& [key, text] : fields) {
            const auto it = item.find(key);
            if (it == item.end() || !it->is_string() || it->get<std::string>() != Cp1252ToUtf8(*text))
                return "the \"" + std::string(key) + "\" of entry " + std::to_string(i + 1) +
                       " differs from the JSON's text";
        }
    }
    return {};
}

std::string CheckAccepted(bool bCsv, std::string_view input, const std::vector<Entry>& entries)
{
    for (std::size_t i = 0; i < entries.size(); ++i)
        for (const std::string* text : {&entries[i].name, &entries[i].data, &entries[i].extra})
            if (text->find('\0') != std::string::npos)
                return "entry " + std::to_string(i + 1) + " holds a 0x00, which an entry file cannot keep";
    if (!bCsv)
        if (std::string p = CompareWithDocument(input, entries); !p.empty())
            return p;

    // Entries -> entry file -> entries.
    std::string bytes;
    try {
        CArchive ar(&bytes);
        lumo_cli::WriteEntries(ar, entries);
        ar.Close();
    } catch (const std::exception& e) {
        return "writing the accepted entries failed: " + Describe(e);
    }
    if (bytes != lumo_test_support::EntryFileBytes(entries))
        return "the entry file written is not the canonical bytes of the entries";
    try {
        const std::string path = BackingFile(bytes);
        std::vector<Entry> back;
        lumo_cli::CIrregularRecords notes;
        lumo_cli::ReadEntryFile(path, &back, &notes);
        if (back != entries)
            return "the entry file written reads back as other entries";
        if (notes.LosesBytes())
            return "the entry file written holds bytes that no entry shows";
    } catch (const std::exception& e) {
        return "the entry file written does not read back: " + Describe(e);
    }

    if (std::string p = RoundTrip("JSON", entries, lumo_cli::EntriesToJson(entries),
                                  [](const std::string& t) { return lumo_cli::EntriesFromJson(t); });
        !p.empty())
        return p;
    return RoundTrip("CSV", entries, lumo_cli::EntriesToCsv(entries),
                     [](const std::string& t) { return lumo_cli::EntriesFromCsv(t); });
}

}  // namespace

ImportOutcome CheckImport(std::string_view bytes)
{
    ImportOutcome outcome;
    if (bytes.empty())
        return outcome;
    const bool bCsv = (static_cast<unsigned char>(bytes[0]) & 1) != 0;
    const std::string_view input = bytes.substr(1);
    const char* format = bCsv ? "CSV" : "JSON";
    if (!bCsv)
        if (std::string p = CompareJsonReaders(input); !p.empty()) {
            outcome.problem = p;
            return outcome;
        }
    std::vector<Entry> entries;
    try {
        entries = bCsv ? lumo_cli::EntriesFromCsv(input) : lumo_cli::EntriesFromJson(input);
    } catch (const lumo_cli::CImportError& e) {
        outcome.refusal = e.what();
        // Every refusal says where: "line L, ..." or "line L: ...".
        if (outcome.refusal.rfind("line ", 0) != 0)
            outcome.problem = std::string("the ") + format + " refusal does not say where: " + outcome.refusal;
        return outcome;
    } catch (const std::exception& e) {
        outcome.problem = std::string("the ") + format + " import threw something other than an import error: " +
                          Describe(e);
        return outcome;
    } catch (...) {
        outcome.problem = std::string("the ") + format + " import threw something that is not an exception";
        return outcome;
    }
    outcome.bAccepted = true;
    outcome.problem = CheckAccepted(bCsv, input, entries);
    if (!outcome.problem.empty())
        outcome.problem = std::string(format) + " input: " + outcome.problem;
    return outcome;
}

}  // namespace lumo_fuzz
