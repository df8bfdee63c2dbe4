// SPDX-License-Identifier: MIT
// A buffered stream of bytes to or from a file, or from and to memory (which
// keeps the readers easy to test and to fuzz). Reading knows how many bytes
// remain, so a reader can refuse a length that runs past the end before it
// allocates anything.
#pragma once

#include "AfxTypes.h"

#include <memory>

class CFile;

class CArchive {
public:
    enum Mode { store = 0, load = 1 };
    static constexpr UINT kDefaultBufferSize = 1u << 20;

    CArchive(CFile* pFile, UINT nMode, UINT nBufSize = kDefaultBufferSize);
    explicit CArchive(std::string_view memory);  // loads from memory
    explicit CArchive(std::string* pOut);         // stores into a string
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_nMode == load; }
    bool IsStoring() const { return m_nMode == store; }

    // Takes the next nMax bytes, fewer at the end of the data; returns how many it delivered.
    UINT Read(void* lpBuf, UINT nMax);
    // Appends nMax bytes.
    void Write(const void* lpBuf, UINT nMax);

    // Reading without a copy: the next nBytes as one piece of the buffer (or
    // of the memory read from), valid until the next call that reads. Null,
    // with nothing taken, when they do not fit in the buffer or fewer remain;
    // Read then delivers what there is.
    const char* ReadInPlace(UINT nBytes)
    {
        if (m_nMode == load && static_cast<std::size_t>(m_pEnd - m_pCur) >= nBytes) {
            const char* p = m_pCur;
            m_pCur += nBytes;
            m_nPosition += nBytes;
            return p;
        }
        return ReadInPlaceRefill(nBytes);
    }
    // Loading: the bytes in the buffer (or the memory) not taken yet, and
    // taking the first nBytes of them.
    std::string_view Buffered() const
    {
        return m_nMode == load ? std::string_view(m_pCur, static_cast<std::size_t>(m_pEnd - m_pCur)) : std::string_view();
    }
    void Take(std::size_t nBytes)
    {
        m_pCur += nBytes;
        m_nPosition += nBytes;
    }
    // Writing without a copy: room for nBytes in the buffer, to be filled
    // before the next call that writes. Null when they do not fit; Write
    // takes them then.
    char* WriteInPlace(UINT nBytes)
    {
        if (m_nMode == store && m_buffer && nBytes <= m_nBufSize - m_nUsed) {
            char* p = m_buffer.get() + m_nUsed;
            m_nUsed += nBytes;
            m_nPosition += nBytes;
            return p;
        }
        return WriteInPlaceFlush(nBytes);
    }

    ULONGLONG GetPosition() const { return m_nPosition; }
    // Bytes left to read, from the length the data had when the archive was made.
    ULONGLONG GetRemaining() const { return m_nLength > m_nPosition ? m_nLength - m_nPosition : 0; }

    void Flush();
    // Writes what is buffered. Throws on failure.
    void Close();
    // Drops what is buffered without writing it.
    void Abort();
    CFile* GetFile() const { return m_pFile; }

private:
    void Fill();
    const char* ReadInPlaceRefill(UINT nBytes);
    char* WriteInPlaceFlush(UINT nBytes);

    UINT m_nMode;
    CFile* m_pFile = nullptr;
    std::string* m_pOut = nullptr;
    std::unique_ptr<char[]> m_buffer;
    UINT m_nBufSize = 0;
    const char* m_pCur = nullptr;  // loading: next byte in the buffer
    const char* m_pEnd = nullptr;
    UINT m_nUsed = 0;              // storing: bytes in the buffer
    ULONGLONG m_nPosition = 0;
    ULONGLONG m_nLength = 0;
    bool m_bMemory = false;
};
