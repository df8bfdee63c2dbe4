// SPDX-License-Identifier: MIT
#include "EntryFile.h"

#include <cstring>

namespace {
void EncodeLE32(unsigned char* p, UINT value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

CString Bytes(ULONGLONG n)
{
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// A count or length that no damage to a real entry file explains: far more
// than the file's size (an entry takes at least 12 bytes).
bool IsFarBeyond(ULONGLONG nNeeded, ULONGLONG nAvailable)
{
    return nNeeded > 16 * nAvailable + 4096;
}

// "the name of entry 2 does not end in a 0x00 byte (byte offset 30), and 1 more record is the same"
CString DescribeRecords(const CEntryFileNotes::CRecords& records, const CString& what)
{
    CString text = "the " + CString(EntryFieldName(records.field)) + " of entry " + std::to_string(records.nEntry) +
                   " " + what + " (byte offset " + std::to_string(records.nOffset) + ")";
    if (records.nCount > 1)
        text += ", and " + std::to_string(records.nCount - 1) +
                (records.nCount == 2 ? " more record is the same" : " more records are the same");
    return text;
}
}  // namespace

const char* EntryFieldName(EEntryField field)
{
    switch (field) {
    case EEntryField::name:
        return "name";
    case EEntryField::data:
        return "data text";
    case EEntryField::extra:
        return "extra text";
    }
    return "text";
}

CEntryFileException::CEntryFileException(EEntryFileError error, ULONGLONG nOffset, UINT nEntry, UINT nCount,
                                         EEntryField field, ULONGLONG nClaimed, ULONGLONG nAvailable)
    : CArchiveException(badFormat, {}), m_error(error), m_nOffset(nOffset), m_nEntry(nEntry), m_nCount(nCount),
      m_field(field), m_nClaimed(nClaimed), m_nAvailable(nAvailable)
{
    m_strMessage = "the file is damaged: " + DescribeDamage();
}

void CEntryFileException::MarkForeign()
{
    m_bForeign = true;
    m_strMessage = "the file " + DescribeDamage();
}

CString CEntryFileException::DescribeDamage() const
{
    if (m_bForeign) {
        CEntryFileException detail = *this;
        detail.m_bForeign = false;
        return "does not look like an entry file; " + detail.DescribeDamage();
    }
    const CString at = "(at byte offset " + std::to_string(m_nOffset) + ")";
    const CString entry = "entry " + std::to_string(m_nEntry) + " of " + std::to_string(m_nCount);
    const CString what = EntryFieldName(m_field);
    switch (m_error) {
    case EEntryFileError::countTruncated:
        return "it ends inside the entry count (" + std::to_string(m_nAvailable) + " of 4 bytes, at byte offset " +
               std::to_string(m_nOffset) + ")";
    case EEntryFileError::lengthTruncated:
        if (m_field == EEntryField::name && m_nAvailable == 0)
            return "it ends before " + entry + " " + at;
        return entry + " ends inside the length of its " + what + " " + at;
    case EEntryFileError::textPastEnd:
        return entry + " says its " + what + " has " + Bytes(m_nClaimed) + ", but only " +
               std::to_string(m_nAvailable) + " follow " + at;
    case EEntryFileError::textTruncated:
        return "it ended while the " + what + " of " + entry + " was read " + at;
    case EEntryFileError::grewWhileRead:
        return "it grew while it was read: " + Bytes(m_nAvailable) + " followed the last of its " +
               std::to_string(m_nCount) + " entries, " + std::to_string(m_nClaimed) + " when it was opened " + at;
    }
    return "at byte offset " + std::to_string(m_nOffset);
}

CString DescribeHiddenBytes(const CEntryFileNotes& notes)
{
    CString text;
    if (notes.nTrailing > 0)
        text = Bytes(notes.nTrailing) + (notes.nTrailing == 1 ? " after the last entry is" : " after the last entry are") +
               " not part of any entry";
    if (const CEntryFileNotes::CRecords& hidden = notes.hidden; hidden.nCount > 0) {
        if (!text.empty())
            text += "; ";
        text += "the " + CString(EntryFieldName(hidden.field)) + " of entry " + std::to_string(hidden.nEntry) +
                " hides " + Bytes(hidden.nBytes) + " after its first 0x00 byte (byte offset " +
                std::to_string(hidden.nOffset) + ")";
        if (hidden.nCount > 1)
            text += ", and " + std::to_string(hidden.nCount - 1) +
                    (hidden.nCount == 2 ? " more record does" : " more records do") + " the same";
    }
    return text;
}

CString DescribeRewrittenRecords(const CEntryFileNotes& notes)
{
    const ULONGLONG n = notes.RewrittenRecords();
    if (n == 0)
        return {};
    CString text = std::to_string(n) + (n == 1 ? " record" : " records") + " will be written in the usual form: ";
    if (notes.unterminated.nCount > 0)
        text += DescribeRecords(notes.unterminated, "does not end in a 0x00 byte");
    if (notes.zeroLength.nCount > 0)
        text += (notes.unterminated.nCount > 0 ? "; " : "") + DescribeRecords(notes.zeroLength, "has length 0");
    return text;
}

CString DescribeLostBytes(const CEntryFileNotes& notes)
{
    CString text = DescribeHiddenBytes(notes);
    if (const CString records = DescribeRewrittenRecords(notes); !records.empty())
        text += (text.empty() ? "" : "; ") + records;
    return text;
}

void CEntryReader::NoteRecord(CEntryFileNotes::CRecords& records, UINT nEntry, EEntryField field, ULONGLONG nOffset,
                              ULONGLONG nBytes)
{
    if (records.nCount++ == 0) {
        records.nEntry = nEntry + 1;
        records.field = field;
        records.nOffset = nOffset;
        records.nBytes = nBytes;
    }
}

UINT CEntryReader::ReadCount()
{
    char bytes[4];
    const ULONGLONG offset = m_ar.GetPosition();
    const UINT n = m_ar.Read(bytes, 4);
    // No bytes at all is an empty list; a file that had bytes when it was
    // opened and has none now was cut short while it was read.
    if (n == 0 && offset == 0 && m_ar.GetRemaining() == 0) {
        m_nCount = 0;
        m_notes.bEmptyFile = true;
        return 0;
    }
    if (n < 4)
        throw CEntryFileException(EEntryFileError::countTruncated, offset, 0, 0, EEntryField::name, 4, n);
    m_nCount = DecodeLE32(bytes);
    m_bForeign = IsFarBeyond(ULONGLONG{m_nCount} * 12, m_ar.GetRemaining());
    return m_nCount;
}

void CEntryReader::Fail(CEntryFileException e) const
{
    if (m_bForeign)
        e.MarkForeign();
    throw e;
}

std::string_view CEntryReader::ReadRecordPiecewise(UINT nEntry, EEntryField field)
{
    const ULONGLONG offset = m_ar.GetPosition();
    UINT length;
    if (const char* p = m_ar.ReadInPlace(4)) {
        length = DecodeLE32(p);
    } else {
        char bytes[4];
        const UINT n = m_ar.Read(bytes, 4);
        if (n < 4)
            Fail(CEntryFileException(EEntryFileError::lengthTruncated, offset, nEntry + 1, m_nCount, field, 4, n));
        length = DecodeLE32(bytes);
    }
    const ULONGLONG remaining = m_ar.GetRemaining();
    if (nEntry == 0 && field == EEntryField::name && IsFarBeyond(length, remaining))
        m_bForeign = true;
    if (length > remaining)
        Fail(CEntryFileException(EEntryFileError::textPastEnd, offset, nEntry + 1, m_nCount, field, length, remaining));
    if (length == 0) {
        NoteRecord(m_notes.zeroLength, nEntry, field, offset, 0);
        return {"", 0};
    }

    // Most records are read where they lie in the archive's buffer; the text
    // ends at the record's first 0x00, which then also follows it in memory.
    std::string_view result;
    const char* text = m_ar.ReadInPlace(length);
    const void* nul = nullptr;
    if (text) {
        nul = std::memchr(text, 0, length);
    } else {
        // A record too long for the buffer goes into one of our own; it grows
        // to the longest.
        if (m_buffer.size() < std::size_t{length} + 1)
            m_buffer.resize(std::size_t{length} + 1);
        const UINT got = m_ar.Read(m_buffer.data(), length);
        if (got < length)
            Fail(CEntryFileException(EEntryFileError::textTruncated, offset, nEntry + 1, m_nCount, field, length, got));
        text = m_buffer.data();
        nul = std::memchr(text, 0, length);
    }
    if (nul) {
        result = {text, static_cast<std::size_t>(static_cast<const char*>(nul) - text)};
        if (result.size() + 1 != length)
            NoteRecord(m_notes.hidden, nEntry, field, offset, length - result.size() - 1);
        return result;
    }
    // No 0x00 in the record: the text is all of it, copied so a 0x00 can follow.
    NoteRecord(m_notes.unterminated, nEntry, field, offset, 0);
    if (text != m_buffer.data()) {
        if (m_buffer.size() < std::size_t{length} + 1)
            m_buffer.resize(std::size_t{length} + 1);
        std::memcpy(m_buffer.data(), text, length);
    }
    m_buffer[length] = '\0';
    return {m_buffer.data(), length};
}

void CEntryReader::ReadEnd()
{
    // Count what follows by reading it: the length seen at opening may no
    // longer be true.
    const ULONGLONG offset = m_ar.GetPosition();
    const ULONGLONG expected = m_ar.GetRemaining();
    ULONGLONG found = 0;
    char scratch[1 << 16];
    while (const UINT n = m_ar.Read(scratch, sizeof scratch)) {
        found += n;
        if (found > expected)
            break;
    }
    if (found > expected)
        Fail(CEntryFileException(EEntryFileError::grewWhileRead, offset, m_nCount, m_nCount, EEntryField::extra,
                                 expected, found));
    m_notes.nTrailing = found;
    m_notes.nTrailingOffset = offset;
}

void AfxCheckEntryTextLength(ULONGLONG nLength, UINT nEntry, EEntryField field)
{
    if (nLength > kMaxEntryTextLength)
        throw CArchiveException(CArchiveException::badFormat,
                                "the " + CString(EntryFieldName(field)) + " of entry " + std::to_string(nEntry + 1) +
                                    " is " + std::to_string(nLength) + " bytes long; an entry file holds texts of at most " +
                                    std::to_string(kMaxEntryTextLength) + " bytes");
}

void CEntryWriter::WriteCount(UINT nCount)
{
    unsigned char bytes[4];
    EncodeLE32(bytes, nCount);
    m_ar.Write(bytes, 4);
}

void CEntryWriter::WriteRecord(std::string_view text)
{
    if (text.size() > kMaxEntryTextLength)
        throw CArchiveException(CArchiveException::badFormat, "a text is too long for an entry file (4 GiB or more)");
    const ULONGLONG length = ULONGLONG{text.size()} + 1;
    // A record that fits the archive's buffer is put together right there.
    char* p = length < (1u << 30) ? m_ar.WriteInPlace(static_cast<UINT>(4 + length)) : nullptr;
    if (p) {
        EncodeLE32(reinterpret_cast<unsigned char*>(p), static_cast<UINT>(length));
        if (!text.empty())
            std::memcpy(p + 4, text.data(), text.size());
        p[4 + text.size()] = '\0';
        return;
    }
    unsigned char bytes[4];
    EncodeLE32(bytes, static_cast<UINT>(length));
    m_ar.Write(bytes, 4);
    m_ar.Write(text.data(), static_cast<UINT>(text.size()));
    m_ar.Write("", 1);
}
