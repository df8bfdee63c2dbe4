// Storage for the texts of the tree's nodes: large chunks instead of one heap
// block per text, so a million entries cost a handful of allocations.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class CTextArena {
public:
    struct Ref {
        std::uint32_t chunk = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };

    Ref Add(std::string_view text);
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
        std::unique_ptr<char[]> data;
        std::uint32_t size = 0;
        std::uint32_t used = 0;
    };
    static constexpr std::uint32_t kChunkSize = 1u << 20;

    std::vector<Chunk> m_chunks;
    std::uint32_t m_nCurrent = UINT32_MAX;  // chunk that takes small texts
    std::uint64_t m_nLive = 0;
    std::uint64_t m_nWaste = 0;
};
