// Entry files and other files as the commands read and write them: entry
// files strictly (bytes after the last entry are damage), every output by
// replacement, so a failure never leaves a half-written file behind.
#pragma once

#include "document/EntryFile.h"

#include <string>
#include <vector>

namespace lumo_cli {

// One entry's texts as the file stores them: Windows-1252 bytes.
struct Entry {
    std::string name, data, extra;
    bool operator==(const Entry&) const = default;
};

// Records the reader accepts but the writer never makes: a record with
// bytes after its first 0x00 (the editor and an export see only the text
// before it), or a record of length 0 (read as an empty text).
struct CIrregularRecords {
    bool bEmptyFile = false;  // no bytes at all: read as no entries, written as a count of 0
    std::size_t nCount = 0;
    // The first of them:
    UINT nEntry = 0;  // 1-based
    EEntryField field = EEntryField::name;
    ULONGLONG nOffset = 0;  // of its length
    ULONGLONG nHidden = 0;  // bytes after the text's terminating 0x00; 0 for a record of length 0
};

// Reads all entries, then expects the end of the data. Throws
// CEntryFileException for damage. pEntries may be null to only check.
UINT ReadEntries(CArchive& ar, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular = nullptr);
// The same for a file. Also throws CFileException when it cannot be read.
UINT ReadEntryFile(const std::string& path, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular = nullptr);

// The bytes of an entry file holding these entries.
void WriteEntries(CArchive& ar, const std::vector<Entry>& entries);
// Replaces (or creates) the file at path; on failure it stays as it was.
void WriteEntryFile(const std::string& path, const std::vector<Entry>& entries);

// What is wrong, as "damaged: <what> at entry K of N, byte offset B".
std::string DescribeDamage(const CEntryFileException& e);
// One line about an irregular record, for a warning.
std::string DescribeIrregular(const CIrregularRecords& irregular);

// A whole file's bytes. Throws CFileException.
std::string ReadWholeFile(const std::string& path);
// Replaces (or creates) the file at path with these bytes, atomically.
void ReplaceFile(const std::string& path, std::string_view bytes);

// True when both names lead to the same existing file.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace lumo_cli
