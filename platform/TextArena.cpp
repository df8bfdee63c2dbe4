// SPDX-License-Identifier: MIT
#include "TextArena.h"

#include <algorithm>

#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#define LUMO_MMAP 1
#endif

namespace {
constexpr std::size_t kSmall = std::size_t{256} << 10;  // below this the heap serves better
}  // namespace

void* AllocateLarge(std::size_t nBytes)
{
#ifdef LUMO_MMAP
    if (nBytes >= kSmall) {
        // Every block is filled soon after it is made, so map it with its
        // pages already present: one call instead of a fault per page.
        void* p = ::mmap(nullptr, nBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        return p;
    }
#endif
    return ::operator new(nBytes);
}

void ReleaseLarge(void* p, std::size_t nBytes) noexcept
{
#ifdef LUMO_MMAP
    if (nBytes >= kSmall) {
        ::munmap(p, nBytes);
        return;
    }
#endif
    ::operator delete(p);
}

CTextArena::Ref CTextArena::AddSlow(std::string_view text)
{
    Ref ref;
    if (text.empty())
        return ref;
    if (text.size() > UINT32_MAX)
        throw std::bad_alloc();
    const auto length = static_cast<std::uint32_t>(text.size());
    m_nLongest = std::max(m_nLongest, length);
    if (length > kChunkSize / 4) {
        // A big text gets a chunk of its own, sized exactly.
        Chunk chunk{CLargeArray<char>(length)};
        std::memcpy(chunk.data.get(), text.data(), length);
        m_chunks.push_back(std::move(chunk));
        ref.chunk = static_cast<std::uint32_t>(m_chunks.size() - 1);
    } else {
        if (m_nCurrent == UINT32_MAX || m_nRoom < length) {
            m_chunks.push_back(Chunk{CLargeArray<char>(kChunkSize)});
            m_nCurrent = static_cast<std::uint32_t>(m_chunks.size() - 1);
            m_pCurrent = m_chunks.back().data.get();
            m_nUsed = 0;
            m_nRoom = kChunkSize;
        }
        std::memcpy(m_pCurrent + m_nUsed, text.data(), length);
        ref.chunk = m_nCurrent;
        ref.offset = m_nUsed;
        m_nUsed += length;
        m_nRoom -= length;
    }
    ref.length = length;
    m_nLive += length;
    return ref;
}

void CTextArena::Clear()
{
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_nCurrent = UINT32_MAX;
    m_pCurrent = nullptr;
    m_nUsed = m_nRoom = 0;
    m_nLive = 0;
    m_nWaste = 0;
    m_nLongest = 0;
}
