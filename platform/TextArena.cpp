#include "TextArena.h"

#include <cstring>
#include <new>

CTextArena::Ref CTextArena::Add(std::string_view text)
{
    Ref ref;
    if (text.empty())
        return ref;
    if (text.size() > UINT32_MAX)
        throw std::bad_alloc();
    const auto length = static_cast<std::uint32_t>(text.size());
    if (length > kChunkSize / 4) {
        // A big text gets a chunk of its own, sized exactly.
        Chunk chunk;
        chunk.data.reset(new char[length]);
        chunk.size = chunk.used = length;
        std::memcpy(chunk.data.get(), text.data(), length);
        m_chunks.push_back(std::move(chunk));
        ref.chunk = static_cast<std::uint32_t>(m_chunks.size() - 1);
    } else {
        if (m_nCurrent == UINT32_MAX || m_chunks[m_nCurrent].size - m_chunks[m_nCurrent].used < length) {
            Chunk chunk;
            chunk.data.reset(new char[kChunkSize]);
            chunk.size = kChunkSize;
            m_chunks.push_back(std::move(chunk));
            m_nCurrent = static_cast<std::uint32_t>(m_chunks.size() - 1);
        }
        Chunk& chunk = m_chunks[m_nCurrent];
        std::memcpy(chunk.data.get() + chunk.used, text.data(), length);
        ref.chunk = m_nCurrent;
        ref.offset = chunk.used;
        chunk.used += length;
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
    m_nLive = 0;
    m_nWaste = 0;
}
