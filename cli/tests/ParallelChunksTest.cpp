// SPDX-License-Identifier: MIT
// Stretches made on several threads and consumed in order: the bytes come
// out in order whoever made them, and the first failure in order, made or
// consumed, is what the caller gets, with nothing after it consumed.
#include "cli/ParallelChunks.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <thread>

namespace {

using lumo_cli::ChunkProducer;

// Stretch c: its number and as many bytes as the number says, so that
// stretches of very different sizes finish out of order.
std::string Stretch(std::size_t c)
{
    return "[" + std::to_string(c) + "]" + std::string((c * 7919) % 3000, static_cast<char>('a' + c % 26));
}

TEST(ParallelChunks, ConsumesInOrderAndStopsAtTheFirstFailure)
{
    enum class EFail { none, produceBadAlloc, produceLogic, consume };
    struct CCase {
        std::size_t nChunks;
        EFail fail;
        std::size_t nFailAt;
    };
    const CCase cases[] = {
        {0, EFail::none, 0},          {1, EFail::none, 0},           {50, EFail::none, 0},
        {50, EFail::produceBadAlloc, 0}, {50, EFail::produceBadAlloc, 41}, {50, EFail::produceLogic, 49},
        {50, EFail::consume, 0},      {50, EFail::consume, 23},
    };
    for (const std::size_t nThreads : {1, 2, 3, 8}) {
        for (const CCase& c : cases) {
            const std::string label = std::to_string(nThreads) + " threads, " + std::to_string(c.nChunks) +
                                      " stretches, failure " + std::to_string(static_cast<int>(c.fail)) + " at " +
                                      std::to_string(c.nFailAt);
            const lumo_cli::CChunkThreads threads(nThreads);
            std::string consumed;
            std::size_t nConsumed = 0;
            const auto makeProducer = [&]() -> ChunkProducer {
                return [&](std::size_t n, std::string& out) {
                    EXPECT_TRUE(out.empty()) << label;
                    if (n % 3 == 0)
                        std::this_thread::yield();
                    if (n == c.nFailAt && c.fail == EFail::produceBadAlloc)
                        throw std::bad_alloc();
                    if (n == c.nFailAt && c.fail == EFail::produceLogic)
                        throw std::logic_error("stretch " + std::to_string(n));
                    out += Stretch(n);
                };
            };
            const auto consume = [&](std::string_view bytes) {
                if (nConsumed == c.nFailAt && c.fail == EFail::consume)
                    throw std::runtime_error("cannot write stretch " + std::to_string(nConsumed));
                consumed += bytes;
                ++nConsumed;
            };
            std::string expected;
            for (std::size_t n = 0; n < (c.fail == EFail::none ? c.nChunks : c.nFailAt); ++n)
                expected += Stretch(n);
            switch (c.fail) {
            case EFail::none:
                lumo_cli::ProduceChunksInOrder(c.nChunks, makeProducer, consume);
                break;
            case EFail::produceBadAlloc:
                EXPECT_THROW(lumo_cli::ProduceChunksInOrder(c.nChunks, makeProducer, consume), std::bad_alloc) << label;
                break;
            case EFail::produceLogic:
                try {
                    lumo_cli::ProduceChunksInOrder(c.nChunks, makeProducer, consume);
                    ADD_FAILURE() << label << ": nothing thrown";
                } catch (const std::logic_error& e) {
                    EXPECT_EQ(std::string(e.what()), "stretch " + std::to_string(c.nFailAt)) << label;
                }
                break;
            case EFail::consume:
                EXPECT_THROW(lumo_cli::ProduceChunksInOrder(c.nChunks, makeProducer, consume), std::runtime_error)
                    << label;
                break;
            }
            EXPECT_TRUE(consumed == expected) << label << ": " << nConsumed << " consumed";
        }
    }
}

}  // namespace
