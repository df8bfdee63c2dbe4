// SPDX-License-Identifier: MIT
// Entry files and other files as the commands read and write them: entry
// files strictly (damage is refused, bytes no text holds are noted), every
// output by replacement, so a failure never leaves a half-written file behind.
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

// What the reader accepted but the writer never makes (bytes after the last
// entry or after a record's first 0x00, records of length 0, an empty file).
using CIrregularRecords = CEntryFileNotes;

// Reads all entries and notes what follows the last. Throws
// CEntryFileException for damage. pEntries may be null to only check.
UINT ReadEntries(CArchive& ar, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular = nullptr);
// The same for a file. Also throws CFileException when it cannot be read.
UINT ReadEntryFile(const std::string& path, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular = nullptr);

// The bytes of an entry file holding these entries.
void WriteEntries(CArchive& ar, const std::vector<Entry>& entries);
// Replaces (or creates) the file at path; on failure it stays as it was.
void WriteEntryFile(const std::string& path, const std::vector<Entry>& entries);

// What is wrong, as "damaged: <what and where>", in the editor's words.
std::string DescribeDamage(const CEntryFileException& e);
// What of the file is in no text, or not as the writer would store it, for
// a warning; empty when the texts are all the file holds. An empty file is
// not mentioned: it reads as no entries, which is what it means.
std::string DescribeIrregular(const CIrregularRecords& irregular);

// A whole file's bytes. Throws CFileException.
std::string ReadWholeFile(const std::string& path);

}  // namespace lumo_cli
