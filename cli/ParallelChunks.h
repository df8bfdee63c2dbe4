// SPDX-License-Identifier: MIT
// Output made in stretches on every core and handed on strictly in order.
// An export's bytes for one message (or entry) depend on that message
// alone, so stretches of them can be formatted side by side, each into a
// buffer of its own, while the buffers go to the sink one after the other:
// the same bytes as one thread would write, in the same order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace lumo_cli {

// Writes the bytes of stretch nChunk into out (given empty, its capacity
// kept from an earlier stretch). Each thread has one of its own, so it may
// keep state (a writer and its buffers) from one stretch to the next.
using ChunkProducer = std::function<void(std::size_t nChunk, std::string& out)>;

// Makes the stretches [0, nChunks) with a producer per thread, made by
// makeProducer in that thread, on every core (or as many threads as a
// CChunkThreads of the calling thread allows); hands each stretch's bytes to consume in order, from the calling
// thread. Only a few stretches are held at a time: a producer waits while
// the stretches ahead of the one consumed fill the window. When a thread
// cannot be had, the calling thread makes the stretches itself.
//
// The first exception a producer or consume throws stops the work: the
// threads are joined, nothing after the failed stretch is consumed, and
// the exception is rethrown here. A producer made in another thread that
// throws while being made leaves the work to the others.
void ProduceChunksInOrder(std::size_t nChunks, const std::function<ChunkProducer()>& makeProducer,
                          const std::function<void(std::string_view bytes)>& consume);

// While one lives, ProduceChunksInOrder called from this thread uses at most
// nThreads threads, the calling one included (1: the calling thread alone,
// as when no other thread can be had); 0 is every core.
class CChunkThreads {
public:
    explicit CChunkThreads(std::size_t nThreads);
    ~CChunkThreads();
    CChunkThreads(const CChunkThreads&) = delete;
    CChunkThreads& operator=(const CChunkThreads&) = delete;

private:
    std::size_t m_nBefore;
};

// The stretches [0, nChunks) of a range of n items, kChunkItems each.
inline constexpr std::size_t kChunkItems = 4096;
inline std::size_t ChunkCount(std::size_t n)
{
    return (n + kChunkItems - 1) / kChunkItems;
}

}  // namespace lumo_cli
