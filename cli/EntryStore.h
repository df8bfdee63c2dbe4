// SPDX-License-Identifier: MIT
// Entries held compactly for the conversions of a million of them: every
// text in one block, an entry's three texts side by side and found from one
// offset and two lengths, instead of three strings an entry. Entry texts
// never hold a 0x00, which the block uses to end a text kept on its own.
#pragma once

#include "EntryIo.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

class CEntryStore {
public:
    std::size_t Size() const { return m_places.size(); }
    std::string_view Name(std::size_t i) const { return {m_bytes.data() + m_places[i].offset, m_places[i].nName}; }
    std::string_view Data(std::size_t i) const
    {
        return {m_bytes.data() + m_places[i].offset + m_places[i].nName, m_places[i].nData};
    }
    std::string_view Extra(std::size_t i) const
    {
        const std::uint64_t start = m_places[i].offset + m_places[i].nName + m_places[i].nData;
        const std::uint64_t end = i + 1 < m_places.size() ? m_places[i + 1].offset : m_bytes.size();
        return {m_bytes.data() + start, static_cast<std::size_t>(end - start)};
    }
    std::string_view Text(std::size_t i, bool bExtra) const { return bExtra ? Extra(i) : Data(i); }

    // Room for this many entries and bytes of text, so that the block is
    // not copied as it grows.
    void Reserve(std::size_t nEntries, std::size_t nBytes);
    // Throws CArchiveException for a name or data text longer than a record holds.
    void Append(std::string_view name, std::string_view data, std::string_view extra);
    // Adds to the last entry its data text (bData) or then its extra text.
    void AppendToLast(std::string_view text, bool bData);

    bool operator==(const CEntryStore& other) const;

private:
    struct CPlace {
        std::uint64_t offset;
        std::uint32_t nName, nData;  // a text has at most 0xFFFFFFFE bytes
    };
    std::vector<char> m_bytes;
    std::vector<CPlace> m_places;
};

// The store's entries as a list, for callers that want one.
std::vector<Entry> EntriesOf(const CEntryStore& store);

// Reads all entries into the store; as ReadEntries, damage throws
// CEntryFileException and pIrregular, if given, learns what follows.
UINT ReadEntryStore(CArchive& ar, CEntryStore& store, CIrregularRecords* pIrregular = nullptr);
// Hands each entry to visit as it is read, for a reader that keeps only
// part of the file; the texts are valid during the call only.
using EntryVisitor = std::function<void(std::size_t nEntry, std::string_view name, std::string_view data,
                                        std::string_view extra)>;
UINT VisitEntries(CArchive& ar, const EntryVisitor& visit, CIrregularRecords* pIrregular = nullptr);
// An entry file (or stream) opened for reading, as ReadEntryInput opens it.
void ReadEntryArchive(const std::string& path, const std::function<void(CArchive&)>& read);

// The bytes of an entry file holding the store's entries.
void WriteEntryStore(CArchive& ar, const CEntryStore& store);
// Replaces the file at path (or writes the stream) with them, as WriteEntryOutput does.
void WriteEntryStoreOutput(const std::string& path, const CEntryStore& store);

// Entries asked for text by text, for a writer: their texts may be made
// as they are written instead of being held.
struct CEntrySource {
    std::size_t nEntries = 0;
    std::function<std::string_view(std::size_t nEntry, EEntryField field)> text;
};
void WriteEntrySource(CArchive& ar, const CEntrySource& entries);
// Replaces the file at path (or writes the stream) with them. beforeCommit,
// when given, runs once every byte is written and before the file replaces
// the old one (or, for a stream, before the first byte): it may throw to
// leave the old file as it was.
void WriteEntrySourceOutput(const std::string& path, const CEntrySource& entries,
                            const std::function<void()>& beforeCommit = nullptr);

}  // namespace lumo_cli
