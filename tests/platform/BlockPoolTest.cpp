// The pool of equal-sized blocks behind the list rows: blocks that never overlap and keep
// what was written into them, freed blocks reused, chunks given back once empty whatever
// order the blocks were freed in (but for one spare of huge pages), and a pool shared by
// threads.
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/rtl/BlockPool.h"

using rtl::BlockPool;

namespace {

// Fills a block with a pattern of its own number.
void stamp(void* block, std::size_t size, std::uint32_t n)
{
    std::vector<std::uint32_t> words(size / sizeof(n), n);
    std::memcpy(block, words.data(), words.size() * sizeof(n));
}

bool carries(const void* block, std::size_t size, std::uint32_t n)
{
    std::vector<std::uint32_t> words(size / sizeof(n));
    std::memcpy(words.data(), block, words.size() * sizeof(n));
    return std::all_of(words.begin(), words.end(), [n](std::uint32_t w) { return w == n; });
}

}  // namespace

TEST(BlockPool, FreedBlocksAreReusedAndEmptyChunksGoBack)
{
    // 40-byte blocks of 8-byte alignment, from 4 KiB chunks doubling up to 16 KiB.
    BlockPool pool(36, 8, 4096, 16384);
    EXPECT_EQ(pool.blockSize(), 40u);
    // A freed block is the next one handed out.
    void* a = pool.allocate();
    void* b = pool.allocate();
    pool.deallocate(a);
    EXPECT_EQ(pool.allocate(), a);
    pool.deallocate(a);
    pool.deallocate(b);
    EXPECT_EQ(pool.chunkCount(), 0u);
    EXPECT_EQ(pool.bytesHeld(), 0u);

    // Many blocks freed in another order than made: every chunk goes back once its last
    // block does, and the blocks still in use keep their contents meanwhile.
    std::vector<void*> blocks;
    for (std::uint32_t n = 0; n < 2000; ++n) {
        blocks.push_back(pool.allocate());
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back()) % 8, 0u);
        stamp(blocks.back(), pool.blockSize(), n);
    }
    // 4 + 8 + 16 KiB, then 16 KiB chunks: 2,000 blocks of 40 bytes need 80,000 bytes.
    const std::size_t chunks = pool.chunkCount();
    EXPECT_GE(chunks, 6u);
    EXPECT_LE(pool.bytesHeld(), 4096u + 8192 + 16384 * 5);
    std::vector<std::uint32_t> order(blocks.size());
    for (std::uint32_t n = 0; n < order.size(); ++n)
        order[n] = n;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    const std::size_t half = order.size() / 2;
    for (std::size_t i = 0; i < half; ++i)
        pool.deallocate(blocks[order[i]]);
    for (std::size_t i = half; i < order.size(); ++i)
        ASSERT_TRUE(carries(blocks[order[i]], pool.blockSize(), order[i])) << order[i];
    // Freed room is filled before a new chunk is taken.
    for (std::size_t i = 0; i < half; ++i) {
        blocks[order[i]] = pool.allocate();
        stamp(blocks[order[i]], pool.blockSize(), order[i]);
    }
    EXPECT_EQ(pool.chunkCount(), chunks);
    std::shuffle(order.begin(), order.end(), std::mt19937(6));
    for (std::size_t i = 0; i < order.size(); ++i) {
        ASSERT_TRUE(carries(blocks[order[i]], pool.blockSize(), order[i])) << order[i];
        pool.deallocate(blocks[order[i]]);
    }
    EXPECT_EQ(pool.blocksInUse(), 0u);
    EXPECT_EQ(pool.chunkCount(), 0u);
    EXPECT_EQ(pool.bytesHeld(), 0u);
}

TEST(BlockPool, BlocksLargerThanAChunkAndUnusableShapes)
{
    BlockPool big(10000, 16, 4096, 4096);
    void* a = big.allocate();
    void* b = big.allocate();
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 16, 0u);
    std::memset(a, 1, 10000);
    std::memset(b, 2, 10000);
    EXPECT_EQ(static_cast<unsigned char*>(a)[9999], 1);
    EXPECT_EQ(big.chunkCount(), 2u);
    big.deallocate(a);
    big.deallocate(b);
    EXPECT_EQ(big.chunkCount(), 0u);
    EXPECT_THROW(BlockPool(0, 8), std::invalid_argument);
    EXPECT_THROW(BlockPool(16, 3), std::invalid_argument);
    EXPECT_THROW(BlockPool(16, 256), std::invalid_argument);
}

// Chunks of 2 MiB and more are whole huge pages; one of them emptied stays as a spare, and
// hands out its blocks from its start again, one after another.
TEST(BlockPool, OneEmptiedChunkOfHugePagesStaysAsTheSpare)
{
    constexpr std::size_t Chunk = std::size_t(4) << 20;
    BlockPool huge(64, 8, 3 << 20, 3 << 20);
    std::vector<void*> blocks;
    while (huge.chunkCount() < 2)
        blocks.push_back(huge.allocate());
    EXPECT_EQ(huge.bytesHeld(), 2 * Chunk);
    std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
    for (void* b : blocks)
        huge.deallocate(b);
    EXPECT_EQ(huge.blocksInUse(), 0u);
    EXPECT_EQ(huge.chunkCount(), 1u) << "the second chunk emptied goes back";
    EXPECT_EQ(huge.bytesHeld(), Chunk);
    auto* a = static_cast<char*>(huge.allocate());
    auto* b = static_cast<char*>(huge.allocate());
    EXPECT_EQ(b, a + 64);
    EXPECT_EQ(huge.chunkCount(), 1u);
    huge.deallocate(b);
    huge.deallocate(a);
    EXPECT_EQ(huge.bytesHeld(), Chunk);
    EXPECT_EQ(huge.allocate(), a);
    huge.deallocate(a);

    // Smaller chunks have no spare.
    BlockPool small(64, 8, 1 << 20, 1 << 20);
    small.deallocate(small.allocate());
    EXPECT_EQ(small.chunkCount(), 0u);
}

// The heap's statistics, which the memory benchmarks read, count the chunks.
TEST(BlockPool, ChunksShowInTheHeapStatistics)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps no such statistics";
#endif
    const auto inUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const std::size_t before = inUse();
    {
        BlockPool pool(100, 8, 1 << 20, 4 << 20);
        std::vector<void*> blocks;
        for (int n = 0; n < 40000; ++n)  // 1 + 2 + 4 MiB of chunks
            blocks.push_back(pool.allocate());
        EXPECT_EQ(pool.bytesHeld(), std::size_t(7) << 20);
        EXPECT_GE(inUse(), before + pool.bytesHeld());
        for (void* b : blocks)
            pool.deallocate(b);
    }
    EXPECT_LT(inUse(), before + (1 << 20));
}

TEST(BlockPool, ThreadsShareOnePool)
{
    BlockPool pool(32, 8, 4096, 65536);
    std::vector<std::thread> threads;
    std::vector<int> faults(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&pool, &faults, t] {
            std::mt19937 rng(t);
            std::vector<std::pair<void*, std::uint32_t>> held;
            for (std::uint32_t n = 0; n < 20000; ++n) {
                if (!held.empty() && rng() % 3 == 0) {
                    const std::size_t at = rng() % held.size();
                    faults[std::size_t(t)] += !carries(held[at].first, pool.blockSize(), held[at].second);
                    pool.deallocate(held[at].first);
                    held[at] = held.back();
                    held.pop_back();
                } else {
                    held.emplace_back(pool.allocate(), n * 4 + std::uint32_t(t));
                    stamp(held.back().first, pool.blockSize(), held.back().second);
                }
            }
            for (const auto& [block, n] : held) {
                faults[std::size_t(t)] += !carries(block, pool.blockSize(), n);
                pool.deallocate(block);
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(faults, std::vector<int>(4, 0));
    EXPECT_EQ(pool.blocksInUse(), 0u);
    EXPECT_EQ(pool.chunkCount(), 0u);
}

// Under the address sanitizer a freed block, and one never handed out, cannot be used: the
// pool hides none of the faults the sanitizer would find in objects of their own.
TEST(BlockPool, UnusedBlocksAreOutOfBoundsForTheAddressSanitizer)
{
#if !defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "only the address sanitizer sees the marks";
#else
    BlockPool pool(64, 8);
    auto* a = static_cast<volatile char*>(pool.allocate());
    auto* b = static_cast<volatile char*>(pool.allocate());
    a[63] = 1;
    pool.deallocate(const_cast<char*>(a));
    EXPECT_DEATH(a[8] = 1, "use-after-poison");
    EXPECT_DEATH(b[64] = 1, "use-after-poison");  // the next block, not handed out yet
    pool.deallocate(const_cast<char*>(b));
#endif
}
