#include "EntryFile.h"

#include <cstring>
#include <limits>

namespace {
UINT DecodeLE32(const unsigned char* p)
{
    return UINT{p[0]} | UINT{p[1]} << 8 | UINT{p[2]} << 16 | UINT{p[3]} << 24;
}

void EncodeLE32(unsigned char* p, UINT value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
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
    : CArchiveException(badFormat, Describe(error, nOffset, nEntry, nCount, field, nClaimed, nAvailable)),
      m_error(error), m_nOffset(nOffset), m_nEntry(nEntry), m_nCount(nCount), m_field(field), m_nClaimed(nClaimed),
      m_nAvailable(nAvailable)
{
}

CString CEntryFileException::Describe(EEntryFileError error, ULONGLONG nOffset, UINT nEntry, UINT nCount,
                                      EEntryField field, ULONGLONG nClaimed, ULONGLONG nAvailable)
{
    const CString offset = "byte offset " + std::to_string(nOffset);
    const CString entry = "entry " + std::to_string(nEntry) + " of " + std::to_string(nCount);
    const CString what = EntryFieldName(field);
    switch (error) {
    case EEntryFileError::countTruncated:
        return "the file is damaged: it ends inside the entry count (" + std::to_string(nAvailable) +
               " of 4 bytes, at " + offset + ")";
    case EEntryFileError::lengthTruncated:
        if (field == EEntryField::name && nAvailable == 0)
            return "the file is damaged: it ends before " + entry + " (at " + offset + ")";
        return "the file is damaged: " + entry + " ends inside the length of its " + what + " (at " + offset + ")";
    case EEntryFileError::textPastEnd:
        return "the file is damaged: " + entry + " says its " + what + " has " + std::to_string(nClaimed) +
               " bytes, but only " + std::to_string(nAvailable) + " follow (at " + offset + ")";
    case EEntryFileError::textTruncated:
        return "the file is damaged: it ended while the " + what + " of " + entry + " was read (at " + offset + ")";
    case EEntryFileError::trailingData:
        return "the file is damaged: " + std::to_string(nAvailable) +
               (nAvailable == 1 ? " unexpected byte follows" : " unexpected bytes follow") + " the last of its " +
               std::to_string(nCount) + " entries (at " + offset + ")";
    }
    return "the file is damaged (at " + offset + ")";
}

UINT CEntryReader::ReadCount()
{
    unsigned char bytes[4];
    const ULONGLONG offset = m_ar.GetPosition();
    const UINT n = m_ar.Read(bytes, 4);
    // No bytes at all is an empty list; a file that had bytes when it was
    // opened and has none now was cut short while it was read.
    if (n == 0 && offset == 0 && m_ar.GetRemaining() == 0) {
        m_nCount = 0;
        return 0;
    }
    if (n < 4)
        throw CEntryFileException(EEntryFileError::countTruncated, offset, 0, 0, EEntryField::name, 4, n);
    m_nCount = DecodeLE32(bytes);
    return m_nCount;
}

std::string_view CEntryReader::ReadRecord(UINT nEntry, EEntryField field)
{
    // Most records lie whole in the archive's buffer, with a 0x00 in them:
    // the text is read right there.
    const std::string_view buffered = m_ar.Buffered();
    if (buffered.size() >= 4) {
        const UINT length = DecodeLE32(reinterpret_cast<const unsigned char*>(buffered.data()));
        if (length != 0 && length <= buffered.size() - 4 && ULONGLONG{length} + 4 <= m_ar.GetRemaining()) {
            const char* text = buffered.data() + 4;
            if (const void* nul = std::memchr(text, 0, length)) {
                m_ar.Take(4 + std::size_t{length});
                return {text, static_cast<std::size_t>(static_cast<const char*>(nul) - text)};
            }
        }
    }
    return ReadRecordPiecewise(nEntry, field);
}

std::string_view CEntryReader::ReadRecordPiecewise(UINT nEntry, EEntryField field)
{
    const ULONGLONG offset = m_ar.GetPosition();
    UINT length;
    if (const char* p = m_ar.ReadInPlace(4)) {
        length = DecodeLE32(reinterpret_cast<const unsigned char*>(p));
    } else {
        unsigned char bytes[4];
        const UINT n = m_ar.Read(bytes, 4);
        if (n < 4)
            throw CEntryFileException(EEntryFileError::lengthTruncated, offset, nEntry + 1, m_nCount, field, 4, n);
        length = DecodeLE32(bytes);
    }
    const ULONGLONG remaining = m_ar.GetRemaining();
    if (length > remaining)
        throw CEntryFileException(EEntryFileError::textPastEnd, offset, nEntry + 1, m_nCount, field, length, remaining);
    if (length == 0)
        return {"", 0};

    // Most records are read where they lie in the archive's buffer; the text
    // ends at the record's first 0x00, which then also follows it in memory.
    const char* text = m_ar.ReadInPlace(length);
    if (text) {
        if (const void* nul = std::memchr(text, 0, length))
            return {text, static_cast<std::size_t>(static_cast<const char*>(nul) - text)};
    } else {
        // A record too long for the buffer goes into one of our own; it grows
        // to the longest.
        if (m_buffer.size() < std::size_t{length} + 1)
            m_buffer.resize(std::size_t{length} + 1);
        const UINT got = m_ar.Read(m_buffer.data(), length);
        if (got < length)
            throw CEntryFileException(EEntryFileError::textTruncated, offset, nEntry + 1, m_nCount, field, length, got);
        if (const void* nul = std::memchr(m_buffer.data(), 0, length))
            return {m_buffer.data(), static_cast<std::size_t>(static_cast<const char*>(nul) - m_buffer.data())};
    }
    // No 0x00 in the record: the text is all of it, copied so a 0x00 can follow.
    if (text) {
        if (m_buffer.size() < std::size_t{length} + 1)
            m_buffer.resize(std::size_t{length} + 1);
        std::memcpy(m_buffer.data(), text, length);
    }
    m_buffer[length] = '\0';
    return {m_buffer.data(), length};
}

void CEntryReader::ExpectEnd()
{
    char byte;
    const ULONGLONG offset = m_ar.GetPosition();
    if (m_ar.Read(&byte, 1) == 0)
        return;
    const ULONGLONG extra = 1 + m_ar.GetRemaining();
    throw CEntryFileException(EEntryFileError::trailingData, offset, m_nCount, m_nCount, EEntryField::extra, 0, extra);
}

void CEntryWriter::WriteCount(UINT nCount)
{
    unsigned char bytes[4];
    EncodeLE32(bytes, nCount);
    m_ar.Write(bytes, 4);
}

void CEntryWriter::WriteRecord(std::string_view text)
{
    if (text.size() >= std::numeric_limits<UINT>::max())
        throw CArchiveException(CArchiveException::badFormat, "a text is too long for the file format (4 GiB or more)");
    const auto length = static_cast<UINT>(text.size() + 1);
    // A record that fits the archive's buffer is put together right there.
    char* p = length < (1u << 30) ? m_ar.WriteInPlace(4 + length) : nullptr;
    if (p) {
        EncodeLE32(reinterpret_cast<unsigned char*>(p), length);
        if (!text.empty())
            std::memcpy(p + 4, text.data(), text.size());
        p[4 + text.size()] = '\0';
        return;
    }
    unsigned char bytes[4];
    EncodeLE32(bytes, length);
    m_ar.Write(bytes, 4);
    m_ar.Write(text.data(), static_cast<UINT>(text.size()));
    m_ar.Write("", 1);
}
