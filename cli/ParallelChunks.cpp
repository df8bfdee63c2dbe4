// SPDX-License-Identifier: MIT
#include "ParallelChunks.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace lumo_cli {

namespace {

thread_local std::size_t tl_nMaxThreads = 0;

// A stretch made and not yet consumed, in the slot of its number modulo the window.
struct CSlot {
    std::string bytes;
    bool bReady = false;
    std::exception_ptr error;
};

}  // namespace

CChunkThreads::CChunkThreads(std::size_t nThreads) : m_nBefore(tl_nMaxThreads)
{
    tl_nMaxThreads = nThreads;
}

CChunkThreads::~CChunkThreads()
{
    tl_nMaxThreads = m_nBefore;
}

void ProduceChunksInOrder(std::size_t nChunks, const std::function<ChunkProducer()>& makeProducer,
                          const std::function<void(std::string_view bytes)>& consume)
{
    if (nChunks == 0)
        return;
    const std::size_t nCores =
        tl_nMaxThreads ? tl_nMaxThreads : std::max<std::size_t>(1, std::thread::hardware_concurrency());
    const std::size_t nThreads = std::min(nChunks, nCores);
    // Room for two stretches a thread: one being made, one waiting its turn.
    const std::size_t nWindow = 2 * nThreads;
    std::vector<CSlot> slots(nWindow);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nNext = 0;      // the next stretch to make
    std::size_t nConsumed = 0;  // stretches consumed
    bool bStop = false;

    // Under the lock: the number of a stretch to make now, or nChunks.
    const auto claim = [&]() -> std::size_t {
        if (bStop || nNext >= nChunks || nNext >= nConsumed + nWindow)
            return nChunks;
        return nNext++;
    };
    // Outside the lock: makes stretch c into its slot, which no other thread
    // touches until it is marked ready.
    const auto make = [&](const ChunkProducer& produce, std::size_t c) {
        CSlot& slot = slots[c % nWindow];
        std::exception_ptr error;
        try {
            slot.bytes.clear();
            produce(c, slot.bytes);
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex);
            slot.error = error;
            slot.bReady = true;
        }
        changed.notify_all();
    };

    const ChunkProducer own = makeProducer();
    std::vector<std::thread> threads;
    // However this ends, the other threads stop and are joined first.
    struct CJoin {
        std::vector<std::thread>& threads;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& bStop;
        ~CJoin()
        {
            {
                const std::lock_guard lock(mutex);
                bStop = true;
            }
            changed.notify_all();
            for (std::thread& thread : threads)
                thread.join();
        }
    } join{threads, mutex, changed, bStop};
    try {
        for (std::size_t k = 1; k < nThreads; ++k)
            threads.emplace_back([&] {
                ChunkProducer produce;
                try {
                    produce = makeProducer();
                } catch (...) {
                    return;  // the other threads take its stretches
                }
                std::unique_lock lock(mutex);
                for (;;) {
                    std::size_t c = nChunks;
                    changed.wait(lock, [&] { return (c = claim()) != nChunks || bStop || nNext >= nChunks; });
                    if (c == nChunks)
                        return;
                    lock.unlock();
                    make(produce, c);
                    lock.lock();
                }
            });
    } catch (...) {
        // No more threads to be had (nor the memory to make one): the ones
        // there are do the work.
    }

    for (std::size_t c = 0; c < nChunks; ++c) {
        CSlot& slot = slots[c % nWindow];
        {
            std::unique_lock lock(mutex);
            while (!slot.bReady) {
                // While the stretch due is being made elsewhere, this thread
                // makes the next one the window allows, if any.
                if (const std::size_t ahead = claim(); ahead != nChunks) {
                    lock.unlock();
                    make(own, ahead);
                    lock.lock();
                } else {
                    changed.wait(lock);
                }
            }
        }
        if (slot.error)
            std::rethrow_exception(slot.error);
        consume(slot.bytes);
        {
            const std::lock_guard lock(mutex);
            slot.bReady = false;
            ++nConsumed;
        }
        changed.notify_all();
    }
}

}  // namespace lumo_cli
