// Reading and writing entry files: a 32-bit little-endian entry count, then
// for each entry three string records (name, data, extra), each a 32-bit
// little-endian length L and L bytes ending in a 0x00.
//
// The reader never trusts a length or count: a length that runs past the end
// of the data is refused before anything is allocated, and every damage is
// reported with the entry (1-based, of how many) and the byte offset.
#pragma once

#include "platform/Archive.h"
#include "platform/Exceptions.h"

#include <vector>

enum class EEntryField { name, data, extra };

enum class EEntryFileError {
    countTruncated,   // the file ends inside the entry count
    lengthTruncated,  // the file ends inside (or right at) a record's length
    textPastEnd,      // a record's length runs past the end of the file
    textTruncated,    // the file ended while a record's bytes were read (it shrank)
    trailingData,     // bytes follow the last entry
};

class CEntryFileException : public CArchiveException {
public:
    CEntryFileException(EEntryFileError error, ULONGLONG nOffset, UINT nEntry = 0, UINT nCount = 0,
                        EEntryField field = EEntryField::name, ULONGLONG nClaimed = 0, ULONGLONG nAvailable = 0);

    EEntryFileError m_error;
    ULONGLONG m_nOffset;  // where the damaged part starts
    UINT m_nEntry;        // 1-based
    UINT m_nCount;
    EEntryField m_field;
    ULONGLONG m_nClaimed;    // what the length or count said
    ULONGLONG m_nAvailable;  // what the file had

    static CString Describe(EEntryFileError error, ULONGLONG nOffset, UINT nEntry, UINT nCount, EEntryField field,
                            ULONGLONG nClaimed, ULONGLONG nAvailable);
};

const char* EntryFieldName(EEntryField field);

class CEntryReader {
public:
    explicit CEntryReader(CArchive& ar) : m_ar(ar) {}

    // An empty file (no bytes at all) holds no entries.
    UINT ReadCount();
    // Reads the next string record of entry nEntry (0-based). The text is the
    // bytes up to the first 0x00 within the record; it stays valid until the
    // next read and is always followed by a 0x00 in memory.
    std::string_view ReadRecord(UINT nEntry, EEntryField field);
    // After the last entry: the file must end here.
    void ExpectEnd();

    UINT GetCount() const { return m_nCount; }

private:
    std::string_view ReadRecordPiecewise(UINT nEntry, EEntryField field);

    CArchive& m_ar;
    UINT m_nCount = 0;
    std::vector<char> m_buffer;
};

class CEntryWriter {
public:
    explicit CEntryWriter(CArchive& ar) : m_ar(ar) {}
    void WriteCount(UINT nCount);
    void WriteRecord(std::string_view text);
    // The five bytes 01 00 00 00 00.
    void WriteEmptyRecord() { WriteRecord({}); }

private:
    CArchive& m_ar;
};
