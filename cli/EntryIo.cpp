// SPDX-License-Identifier: MIT
#include "EntryIo.h"

#include "platform/File.h"

#include <algorithm>
#include <limits>

namespace lumo_cli {


UINT ReadEntries(CArchive& ar, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular)
{
    CEntryReader reader(ar);
    const UINT nCount = reader.ReadCount();
    if (pEntries) {
        pEntries->clear();
        pEntries->reserve(reader.GetCountThatFits());
    }
    for (UINT i = 0; i < nCount; ++i) {
        // A text stays valid only until the next read.
        if (!pEntries) {
            reader.ReadRecord(i, EEntryField::name);
            reader.ReadRecord(i, EEntryField::data);
            reader.ReadRecord(i, EEntryField::extra);
            continue;
        }
        Entry& entry = pEntries->emplace_back();
        entry.name.assign(reader.ReadRecord(i, EEntryField::name));
        entry.data.assign(reader.ReadRecord(i, EEntryField::data));
        entry.extra.assign(reader.ReadRecord(i, EEntryField::extra));
    }
    reader.ReadEnd();
    if (pIrregular)
        *pIrregular = reader.GetNotes();
    return nCount;
}

UINT ReadEntryFile(const std::string& path, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular)
{
    CFile file;
    file.Open(path, CFile::modeRead);
    CArchive ar(&file, CArchive::load);
    return ReadEntries(ar, pEntries, pIrregular);
}

void WriteEntries(CArchive& ar, const std::vector<Entry>& entries)
{
    if (entries.size() > std::numeric_limits<UINT>::max())
        throw CArchiveException(CArchiveException::badFormat,
                                "an entry file holds at most " + std::to_string(std::numeric_limits<UINT>::max()) +
                                    " entries, not " + std::to_string(entries.size()));
    // Every text must fit its record before the first byte is written.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        AfxCheckEntryTextLength(entry.name.size(), static_cast<UINT>(i), EEntryField::name);
        AfxCheckEntryTextLength(entry.data.size(), static_cast<UINT>(i), EEntryField::data);
        AfxCheckEntryTextLength(entry.extra.size(), static_cast<UINT>(i), EEntryField::extra);
    }
    CEntryWriter writer(ar);
    writer.WriteCount(static_cast<UINT>(entries.size()));
    for (const Entry& entry : entries) {
        writer.WriteRecord(entry.name);
        writer.WriteRecord(entry.data);
        writer.WriteRecord(entry.extra);
    }
}

void WriteEntryFile(const std::string& path, const std::vector<Entry>& entries)
{
    AfxReplaceFile(path, [&](CArchive& ar) { WriteEntries(ar, entries); });
}

std::string DescribeDamage(const CEntryFileException& e)
{
    return "damaged: " + e.DescribeDamage();
}

std::string DescribeIrregular(const CIrregularRecords& irregular)
{
    // The entry file's own description names bytes that no text holds and
    // records that a save writes in the usual form, length-0 records among them.
    return DescribeLostBytes(irregular);
}

std::string ReadWholeFile(const std::string& path)
{
    CFile file;
    file.Open(path, CFile::modeRead);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(file.GetLength()));
    char buffer[1 << 16];
    while (const UINT n = file.Read(buffer, sizeof buffer))
        bytes.append(buffer, n);
    return bytes;
}

}  // namespace lumo_cli
