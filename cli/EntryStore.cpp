// SPDX-License-Identifier: MIT
#include "EntryStore.h"

#include "StreamIo.h"

#include "platform/File.h"

#include <algorithm>
#include <limits>

namespace lumo_cli {

void CEntryStore::Reserve(std::size_t nEntries, std::size_t nBytes)
{
    m_places.reserve(nEntries);
    m_bytes.reserve(nBytes);
}

void CEntryStore::Append(std::string_view name, std::string_view data, std::string_view extra)
{
    const auto nEntry = static_cast<UINT>(std::min<std::size_t>(m_places.size(), std::numeric_limits<UINT>::max()));
    AfxCheckEntryTextLength(name.size(), nEntry, EEntryField::name);
    AfxCheckEntryTextLength(data.size(), nEntry, EEntryField::data);
    m_places.push_back(CPlace{m_bytes.size(), static_cast<std::uint32_t>(name.size()),
                              static_cast<std::uint32_t>(data.size())});
    m_bytes.insert(m_bytes.end(), name.begin(), name.end());
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    m_bytes.insert(m_bytes.end(), extra.begin(), extra.end());
}

void CEntryStore::AppendToLast(std::string_view text, bool bData)
{
    if (bData)
        m_places.back().nData = static_cast<std::uint32_t>(text.size());
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
}

bool CEntryStore::operator==(const CEntryStore& other) const
{
    if (Size() != other.Size())
        return false;
    for (std::size_t i = 0; i < Size(); ++i)
        if (Name(i) != other.Name(i) || Data(i) != other.Data(i) || Extra(i) != other.Extra(i))
            return false;
    return true;
}

std::vector<Entry> EntriesOf(const CEntryStore& store)
{
    std::vector<Entry> entries;
    entries.reserve(store.Size());
    for (std::size_t i = 0; i < store.Size(); ++i)
        entries.push_back({std::string(store.Name(i)), std::string(store.Data(i)), std::string(store.Extra(i))});
    return entries;
}

UINT VisitEntries(CArchive& ar, const EntryVisitor& visit, CIrregularRecords* pIrregular)
{
    CEntryReader reader(ar);
    const UINT nCount = reader.ReadCount();
    // A text stays valid only until the next read: the name and the data
    // wait here for the extra text.
    std::string name, data;
    for (UINT i = 0; i < nCount; ++i) {
        name.assign(reader.ReadRecord(i, EEntryField::name));
        data.assign(reader.ReadRecord(i, EEntryField::data));
        visit(i, name, data, reader.ReadRecord(i, EEntryField::extra));
    }
    reader.ReadEnd();
    if (pIrregular)
        *pIrregular = reader.GetNotes();
    return nCount;
}

UINT ReadEntryStore(CArchive& ar, CEntryStore& store, CIrregularRecords* pIrregular)
{
    store = CEntryStore();
    CEntryReader reader(ar);
    const UINT nCount = reader.ReadCount();
    // The texts take what is left of the file less three lengths an entry:
    // no more than the file could fill, whatever its count says.
    const UINT nFits = reader.GetCountThatFits();
    const ULONGLONG nRemaining = ar.GetRemaining();
    store.Reserve(nFits, static_cast<std::size_t>(nRemaining - std::min<ULONGLONG>(nRemaining, 12ull * nFits)));
    for (UINT i = 0; i < nCount; ++i) {
        // Each text is copied before the next read replaces it.
        store.Append(reader.ReadRecord(i, EEntryField::name), {}, {});
        store.AppendToLast(reader.ReadRecord(i, EEntryField::data), true);
        store.AppendToLast(reader.ReadRecord(i, EEntryField::extra), false);
    }
    reader.ReadEnd();
    if (pIrregular)
        *pIrregular = reader.GetNotes();
    return nCount;
}

void ReadEntryArchive(const std::string& path, const std::function<void(CArchive&)>& read)
{
    if (!IsStream(path)) {
        CFile file;
        file.Open(path, CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        read(ar);
        return;
    }
    const std::string bytes = ReadStream(path);
    CArchive ar{std::string_view(bytes)};
    read(ar);
}

void WriteEntrySource(CArchive& ar, const CEntrySource& entries)
{
    if (entries.nEntries > std::numeric_limits<UINT>::max())
        throw CArchiveException(CArchiveException::badFormat,
                                "an entry file holds at most " + std::to_string(std::numeric_limits<UINT>::max()) +
                                    " entries, not " + std::to_string(entries.nEntries));
    // Every text must fit its record before the first byte is written.
    for (std::size_t i = 0; i < entries.nEntries; ++i)
        for (const EEntryField field : {EEntryField::name, EEntryField::data, EEntryField::extra})
            AfxCheckEntryTextLength(entries.text(i, field).size(), static_cast<UINT>(i), field);
    CEntryWriter writer(ar);
    writer.WriteCount(static_cast<UINT>(entries.nEntries));
    for (std::size_t i = 0; i < entries.nEntries; ++i)
        for (const EEntryField field : {EEntryField::name, EEntryField::data, EEntryField::extra})
            writer.WriteRecord(entries.text(i, field));
}

void WriteEntrySourceOutput(const std::string& path, const CEntrySource& entries,
                            const std::function<void()>& beforeCommit)
{
    if (!IsStream(path)) {
        AfxReplaceFile(path, [&](CArchive& ar) {
            WriteEntrySource(ar, entries);
            if (beforeCommit)
                beforeCommit();
        });
        return;
    }
    std::string bytes;
    {
        CArchive ar(&bytes);
        WriteEntrySource(ar, entries);
        ar.Close();
    }
    if (beforeCommit)
        beforeCommit();
    WriteOutput(path, bytes);
}

namespace {

CEntrySource SourceOf(const CEntryStore& store)
{
    return {store.Size(), [&store](std::size_t i, EEntryField field) {
                return field == EEntryField::name ? store.Name(i) : store.Text(i, field == EEntryField::extra);
            }};
}

}  // namespace

void WriteEntryStore(CArchive& ar, const CEntryStore& store)
{
    WriteEntrySource(ar, SourceOf(store));
}

void WriteEntryStoreOutput(const std::string& path, const CEntryStore& store)
{
    WriteEntrySourceOutput(path, SourceOf(store));
}

}  // namespace lumo_cli
