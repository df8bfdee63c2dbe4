// SPDX-License-Identifier: MIT
// Storage for the texts of the tree's nodes: large chunks instead of one heap
// block per text, so a million entries cost a handful of allocations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <string_view>
#include <vector>

// Memory for the large, long-lived blocks of the tree (nodes and texts),
// straight from the system with its pages mapped up front: filling a million
// entries then takes a few hundred calls instead of tens of thousands of page
// faults. (Huge pages made the best load faster but the first load in a
// process several times slower on a fragmented machine, and the first load
// is the one a user waits for.)
void* AllocateLarge(std::size_t nBytes);
void ReleaseLarge(void* p, std::size_t nBytes) noexcept;

// An array of T in such memory.
template <class T>
class CLargeArray {
public:
    CLargeArray() = default;
    explicit CLargeArray(std::size_t nCount)
        : m_p(static_cast<T*>(AllocateLarge(nCount * sizeof(T)))), m_nCount(nCount)
    {
    }
    ~CLargeArray() { Reset(); }
    CLargeArray(CLargeArray&& other) noexcept : m_p(other.m_p), m_nCount(other.m_nCount)
    {
        other.m_p = nullptr;
        other.m_nCount = 0;
    }
    CLargeArray& operator=(CLargeArray&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_p = other.m_p;
            m_nCount = other.m_nCount;
            other.m_p = nullptr;
            other.m_nCount = 0;
        }
        return *this;
    }
    T* get() const { return m_p; }
    T& operator[](std::size_t i) const { return m_p[i]; }

private:
    // Objects of such a type begin their life in the memory as it is written.
    static_assert(std::is_trivially_destructible_v<T> && std::is_trivially_copyable_v<T>);
    void Reset() noexcept
    {
        if (m_p)
            ReleaseLarge(m_p, m_nCount * sizeof(T));
        m_p = nullptr;
        m_nCount = 0;
    }
    T* m_p = nullptr;
    std::size_t m_nCount = 0;
};

class CTextArena {
public:
    struct Ref {
        std::uint32_t chunk = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };

    Ref Add(std::string_view text)
    {
        // The usual case: a short text that fits in the current chunk.
        const std::size_t n = text.size();
        if (n != 0 && n <= m_nRoom && n <= kChunkSize / 4) {
            const Ref ref{m_nCurrent, m_nUsed, static_cast<std::uint32_t>(n)};
            std::memcpy(m_pCurrent + m_nUsed, text.data(), n);
            m_nUsed += static_cast<std::uint32_t>(n);
            m_nRoom -= static_cast<std::uint32_t>(n);
            m_nLive += n;
            return ref;
        }
        return AddSlow(text);
    }
    std::string_view Get(const Ref& ref) const
    {
        if (ref.length == 0)
            return {};
        return {m_chunks[ref.chunk].data.get() + ref.offset, ref.length};
    }
    // The text is no longer used; its bytes count as waste until Compact.
    void Release(const Ref& ref) { m_nWaste += ref.length; m_nLive -= ref.length; }
    void Clear();

    std::uint64_t LiveBytes() const { return m_nLive; }
    // At least as long as the longest text held (texts released since may have been longer).
    std::uint32_t LongestLength() const { return m_nLongest; }
    std::uint64_t WasteBytes() const { return m_nWaste; }
    bool WantsCompaction() const { return m_nWaste > (16u << 20) && m_nWaste > m_nLive; }
    // Compaction copies every live text into fresh chunks; the caller hands
    // each live ref to `visit`, which receives the new ref.
    template <class ForEachRef>
    void Compact(ForEachRef&& forEachRef)
    {
        CTextArena fresh;
        forEachRef([&](Ref& ref) { ref = fresh.Add(Get(ref)); });
        *this = std::move(fresh);
    }

private:
    struct Chunk {
        CLargeArray<char> data;
    };
    static constexpr std::uint32_t kChunkSize = 2u << 20;  // 2 MiB

    Ref AddSlow(std::string_view text);

    std::vector<Chunk> m_chunks;
    // The chunk that takes small texts: its index, start, bytes used and left.
    std::uint32_t m_nCurrent = UINT32_MAX;
    char* m_pCurrent = nullptr;
    std::uint32_t m_nUsed = 0;
    std::uint32_t m_nRoom = 0;
    std::uint64_t m_nLive = 0;
    std::uint64_t m_nWaste = 0;
    std::uint32_t m_nLongest = 0;  // short texts never count: they are far below any limit
};
