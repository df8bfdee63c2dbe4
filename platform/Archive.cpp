// SPDX-License-Identifier: MIT
#include "Archive.h"

#include "File.h"

#include <algorithm>
#include <cstring>

CArchive::CArchive(CFile* pFile, UINT nMode, UINT nBufSize)
    : m_nMode(nMode), m_pFile(pFile), m_buffer(new char[std::max(nBufSize, 16u)]), m_nBufSize(std::max(nBufSize, 16u))
{
    m_pCur = m_pEnd = m_buffer.get();
    if (IsLoading() && pFile)
        m_nLength = pFile->GetLength();
}

CArchive::CArchive(std::string_view memory)
    : m_nMode(load), m_pCur(memory.data()), m_pEnd(memory.data() + memory.size()), m_nLength(memory.size()),
      m_bMemory(true)
{
}

CArchive::CArchive(std::string* pOut) : m_nMode(store), m_pOut(pOut), m_bMemory(true) {}

CArchive::~CArchive() = default;

void CArchive::Fill()
{
    if (m_bMemory || !m_pFile)
        return;
    const UINT n = m_pFile->Read(m_buffer.get(), m_nBufSize);
    m_pCur = m_buffer.get();
    m_pEnd = m_pCur + n;
}

UINT CArchive::Read(void* lpBuf, UINT nMax)
{
    char* out = static_cast<char*>(lpBuf);
    UINT nDone = 0;
    while (nDone < nMax) {
        if (m_pCur == m_pEnd) {
            // A large read goes straight from the file into the caller's buffer.
            if (!m_bMemory && m_pFile && nMax - nDone >= m_nBufSize) {
                const UINT n = m_pFile->Read(out + nDone, nMax - nDone);
                nDone += n;
                m_nPosition += n;
                break;
            }
            Fill();
            if (m_pCur == m_pEnd)
                break;
        }
        const UINT n = static_cast<UINT>(std::min<std::size_t>(m_pEnd - m_pCur, nMax - nDone));
        std::memcpy(out + nDone, m_pCur, n);
        m_pCur += n;
        nDone += n;
        m_nPosition += n;
    }
    return nDone;
}

const char* CArchive::ReadInPlaceRefill(UINT nBytes)
{
    if (!IsLoading())
        return nullptr;
    if (static_cast<std::size_t>(m_pEnd - m_pCur) < nBytes) {
        if (m_bMemory || !m_pFile || nBytes > m_nBufSize)
            return nullptr;
        // Keep what is left at the start of the buffer and fill the rest.
        const std::size_t nLeft = static_cast<std::size_t>(m_pEnd - m_pCur);
        std::memmove(m_buffer.get(), m_pCur, nLeft);
        m_pCur = m_buffer.get();
        m_pEnd = m_pCur + nLeft;
        while (static_cast<std::size_t>(m_pEnd - m_pCur) < nBytes) {
            const UINT n = m_pFile->Read(const_cast<char*>(m_pEnd), m_nBufSize - static_cast<UINT>(m_pEnd - m_pCur));
            if (n == 0)
                return nullptr;
            m_pEnd += n;
        }
    }
    const char* p = m_pCur;
    m_pCur += nBytes;
    m_nPosition += nBytes;
    return p;
}

char* CArchive::WriteInPlaceFlush(UINT nBytes)
{
    if (!IsStoring() || m_pOut || !m_pFile || nBytes > m_nBufSize)
        return nullptr;
    if (ULONGLONG{m_nUsed} + nBytes > m_nBufSize)
        Flush();
    char* p = m_buffer.get() + m_nUsed;
    m_nUsed += nBytes;
    m_nPosition += nBytes;
    return p;
}

void CArchive::Write(const void* lpBuf, UINT nMax)
{
    m_nPosition += nMax;
    if (m_pOut) {
        m_pOut->append(static_cast<const char*>(lpBuf), nMax);
        return;
    }
    const char* in = static_cast<const char*>(lpBuf);
    // In 64 bits: a text of nearly 4 GiB would wrap a 32-bit sum and be
    // copied into the buffer.
    if (ULONGLONG{m_nUsed} + nMax > m_nBufSize) {
        Flush();
        if (nMax >= m_nBufSize) {
            m_pFile->Write(in, nMax);
            return;
        }
    }
    std::memcpy(m_buffer.get() + m_nUsed, in, nMax);
    m_nUsed += nMax;
}

void CArchive::Flush()
{
    if (IsStoring() && m_pFile && m_nUsed > 0) {
        const UINT n = m_nUsed;
        m_nUsed = 0;
        m_pFile->Write(m_buffer.get(), n);
    }
}

void CArchive::Close()
{
    Flush();
}

void CArchive::Abort()
{
    m_nUsed = 0;
}
