#include "EntryIo.h"

#include "platform/File.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace lumo_cli {


UINT ReadEntries(CArchive& ar, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular)
{
    CEntryReader reader(ar);
    const UINT nCount = reader.ReadCount();
    if (pIrregular && ar.GetPosition() == 0)
        pIrregular->bEmptyFile = true;
    if (pEntries) {
        pEntries->clear();
        // Never reserve more than the data could hold: an entry takes at least 15 bytes.
        pEntries->reserve(static_cast<std::size_t>(std::min<ULONGLONG>(nCount, ar.GetRemaining() / 15)));
    }
    static constexpr EEntryField kFields[] = {EEntryField::name, EEntryField::data, EEntryField::extra};
    for (UINT i = 0; i < nCount; ++i) {
        Entry entry;
        std::string* texts[] = {&entry.name, &entry.data, &entry.extra};
        for (int f = 0; f < 3; ++f) {
            const ULONGLONG start = ar.GetPosition();
            const std::string_view text = reader.ReadRecord(i, kFields[f]);
            const ULONGLONG length = ar.GetPosition() - start - 4;
            if (pIrregular && length != text.size() + 1) {
                if (pIrregular->nCount++ == 0) {
                    pIrregular->nEntry = i + 1;
                    pIrregular->field = kFields[f];
                    pIrregular->nOffset = start;
                    pIrregular->nHidden = length == 0 ? 0 : length - text.size() - 1;
                }
            }
            if (pEntries)
                texts[f]->assign(text);
        }
        if (pEntries)
            pEntries->push_back(std::move(entry));
    }
    reader.ExpectEnd();
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
    const std::string what = EntryFieldName(e.m_field);
    const std::string offset = "byte offset " + std::to_string(e.m_nOffset);
    const std::string at = " at entry " + std::to_string(e.m_nEntry) + " of " + std::to_string(e.m_nCount) + ", " + offset;
    switch (e.m_error) {
    case EEntryFileError::countTruncated:
        return "damaged: the file ends inside the entry count, " + offset;
    case EEntryFileError::lengthTruncated:
        if (e.m_nAvailable == 0)
            return "damaged: the file ends before the length of the " + what + at;
        return "damaged: the file ends inside the length of the " + what + at;
    case EEntryFileError::textPastEnd:
        return "damaged: the " + what + " claims " + std::to_string(e.m_nClaimed) + " bytes but only " +
               std::to_string(e.m_nAvailable) + " follow" + at;
    case EEntryFileError::textTruncated:
        return "damaged: the file ended while the " + what + " was read" + at;
    case EEntryFileError::trailingData:
        if (e.m_nCount == 0)
            return "damaged: " + std::to_string(e.m_nAvailable) +
                   " unexpected bytes follow the entry count of 0, " + offset;
        return "damaged: " + std::to_string(e.m_nAvailable) + " unexpected bytes follow the last entry" + at;
    }
    return "damaged: " + e.GetErrorMessage();
}

std::string DescribeIrregular(const CIrregularRecords& irregular)
{
    if (irregular.bEmptyFile)
        return "the file is empty (0 bytes); it holds no entries, and importing the export writes the 4-byte "
               "count of 0 instead";
    std::string text = "the " + std::string(EntryFieldName(irregular.field)) + " of entry " +
                       std::to_string(irregular.nEntry) + " (byte offset " + std::to_string(irregular.nOffset) + ") ";
    if (irregular.nHidden > 0)
        text += "has " + std::to_string(irregular.nHidden) +
                " bytes after its terminating 0x00; only the text before it is exported";
    else
        text += "is a record of length 0; it is exported as an empty text";
    if (irregular.nCount > 1)
        text += " (" + std::to_string(irregular.nCount - 1) + " more such records)";
    return text + ", so importing the export will not reproduce the file byte for byte";
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

void ReplaceFile(const std::string& path, std::string_view bytes)
{
    AfxReplaceFile(path, [&](CArchive& ar) {
        constexpr std::size_t kChunk = 1u << 24;
        for (std::size_t pos = 0; pos < bytes.size(); pos += kChunk) {
            const std::size_t n = std::min(kChunk, bytes.size() - pos);
            ar.Write(bytes.data() + pos, static_cast<UINT>(n));
        }
    });
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace lumo_cli
