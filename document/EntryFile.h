// SPDX-License-Identifier: MIT
// Reading and writing entry files: a 32-bit little-endian entry count, then
// for each entry three string records (name, data, extra), each a 32-bit
// little-endian length L and L bytes ending in a 0x00.
//
// The reader never trusts a length or count: a length that runs past the end
// of the data is refused before anything is allocated, and every damage is
// reported with the entry (1-based, of how many) and the byte offset.
//
// Some files hold bytes that no entry shows: bytes after the last entry (other
// tools pad or append), or bytes after a record's first 0x00. They load, and
// the reader notes them, so the user can be told that a save drops them.
#pragma once

#include "platform/Archive.h"
#include "platform/Exceptions.h"

#include <cstring>
#include <vector>

enum class EEntryField { name, data, extra };

enum class EEntryFileError {
    countTruncated,   // the file ends inside the entry count
    lengthTruncated,  // the file ends inside (or right at) a record's length
    textPastEnd,      // a record's length runs past the end of the file
    textTruncated,    // the file ended while a record's bytes were read (it shrank)
    grewWhileRead,    // more bytes followed the last entry than the file had when opened
};

// The longest text a string record can hold: its length counts the closing 0x00.
constexpr ULONGLONG kMaxEntryTextLength = 0xFFFFFFFEull;

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
    // The count or the first length is far beyond the file's size: most
    // likely some other kind of file, which the message says first.
    bool m_bForeign = false;

    // What is wrong and where, in the words the editor and lumo both use:
    // "entry 3 of 10 says its data text has 200 bytes, but only 5 follow (at byte offset 40)",
    // after "does not look like an entry file; " for a foreign file.
    CString DescribeDamage() const;
    void MarkForeign();
};

const char* EntryFieldName(EEntryField field);

// Records and bytes that the reader accepted but a save does not write back
// as they were.
struct CEntryFileNotes {
    struct CRecords {
        ULONGLONG nCount = 0;  // how many records
        // The first of them:
        UINT nEntry = 0;  // 1-based
        EEntryField field = EEntryField::name;
        ULONGLONG nOffset = 0;  // of its length
        ULONGLONG nBytes = 0;   // bytes after its text's first 0x00
    };
    bool bEmptyFile = false;      // no bytes at all: no entries, saved as a count of 0
    ULONGLONG nTrailing = 0;      // bytes after the last entry
    ULONGLONG nTrailingOffset = 0;
    CRecords hidden;              // records with bytes after their text's first 0x00
    CRecords zeroLength;          // records of length 0, read as empty texts
    CRecords unterminated;        // records whose bytes do not end in a 0x00

    // Bytes that are in the file but in no text: a save loses them.
    bool LosesBytes() const { return nTrailing > 0 || hidden.nCount > 0; }
    // Records whose texts a save keeps, but in other bytes (length + 1, a closing 0x00).
    ULONGLONG RewrittenRecords() const { return zeroLength.nCount + unterminated.nCount; }
};

// The bytes a save loses, such as "3 bytes after the last entry are not part
// of any entry; the data text of entry 4 hides 2 bytes after its first 0x00
// byte (byte offset 120)". Empty when nothing is lost.
CString DescribeHiddenBytes(const CEntryFileNotes& notes);
// The records a save writes in other bytes, such as "2 records will be
// written in the usual form: the name of entry 1 does not end in a 0x00 byte
// (byte offset 4), and 1 more record is the same". Empty when there are none.
CString DescribeRewrittenRecords(const CEntryFileNotes& notes);
// Everything a save does not keep as it was, in the words the editor and
// lumo both use: the two above, joined by "; ". Empty when a save keeps
// every byte.
CString DescribeLostBytes(const CEntryFileNotes& notes);

class CEntryReader {
public:
    explicit CEntryReader(CArchive& ar) : m_ar(ar) {}

    // An empty file (no bytes at all) holds no entries.
    UINT ReadCount();
    // After ReadCount: how many of the entries counted the bytes left can
    // hold at most (an entry takes at least three 4-byte lengths), so that a
    // damaged count reserves no more memory than the file could fill.
    UINT GetCountThatFits() const
    {
        const ULONGLONG nFits = m_ar.GetRemaining() / 12;
        return nFits < m_nCount ? static_cast<UINT>(nFits) : m_nCount;
    }
    // Reads the next string record of entry nEntry (0-based). The text is the
    // bytes up to the first 0x00 within the record; it stays valid until the
    // next read and is always followed by a 0x00 in memory.
    std::string_view ReadRecord(UINT nEntry, EEntryField field)
    {
        // Most records lie whole in the archive's buffer, with a 0x00 in them:
        // the text is read right there.
        const std::string_view buffered = m_ar.Buffered();
        if (buffered.size() >= 4) {
            const UINT length = DecodeLE32(buffered.data());
            if (length != 0 && length <= buffered.size() - 4 && ULONGLONG{length} + 4 <= m_ar.GetRemaining()) {
                const char* text = buffered.data() + 4;
                if (const void* nul = std::memchr(text, 0, length)) {
                    const std::string_view result(text, static_cast<std::size_t>(static_cast<const char*>(nul) - text));
                    if (result.size() + 1 != length)
                        NoteRecord(m_notes.hidden, nEntry, field, m_ar.GetPosition(), length - result.size() - 1);
                    m_ar.Take(4 + std::size_t{length});
                    return result;
                }
            }
        }
        return ReadRecordPiecewise(nEntry, field);
    }
    // After the last entry: notes how many bytes follow it.
    void ReadEnd();

    UINT GetCount() const { return m_nCount; }
    const CEntryFileNotes& GetNotes() const { return m_notes; }

    static UINT DecodeLE32(const char* p)
    {
        const auto* b = reinterpret_cast<const unsigned char*>(p);
        return UINT{b[0]} | UINT{b[1]} << 8 | UINT{b[2]} << 16 | UINT{b[3]} << 24;
    }

private:
    std::string_view ReadRecordPiecewise(UINT nEntry, EEntryField field);
    [[noreturn]] void Fail(CEntryFileException e) const;
    static void NoteRecord(CEntryFileNotes::CRecords& records, UINT nEntry, EEntryField field, ULONGLONG nOffset,
                           ULONGLONG nBytes);

    CArchive& m_ar;
    UINT m_nCount = 0;
    bool m_bForeign = false;
    std::vector<char> m_buffer;
    CEntryFileNotes m_notes;
};

class CEntryWriter {
public:
    explicit CEntryWriter(CArchive& ar) : m_ar(ar) {}
    void WriteCount(UINT nCount);
    // Refuses (before writing anything) a text longer than kMaxEntryTextLength.
    void WriteRecord(std::string_view text);
    // The five bytes 01 00 00 00 00.
    void WriteEmptyRecord() { WriteRecord({}); }

private:
    CArchive& m_ar;
};

// Refuses a text too long for a string record, naming its entry (0-based nEntry).
void AfxCheckEntryTextLength(ULONGLONG nLength, UINT nEntry, EEntryField field);
