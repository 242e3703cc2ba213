// A pool of equal-sized memory blocks for objects that are made and freed by the tens of
// thousands (the rows of a long list). The blocks lie one after another in large chunks
// instead of among whatever else the heap holds, so a pass over all of them touches few
// cache lines and pages. Each chunk keeps its own free blocks and count (a slab), and goes
// back to the heap as soon as its last block is freed: a pool that once held a long list
// does not keep that memory once the list is short. Chunks come from malloc, so the heap's
// own statistics (mallinfo) count them; their sizes start small and double with the chunks
// in use, up to a ceiling. Chunks of 2 MiB and more are whole huge pages, asked of the
// kernel before they are touched, so that a pass over the blocks in a random order misses
// the address cache a few times rather than at almost every block. Such pages come from the
// kernel cleared, at a cost of about a millisecond a chunk, and a list is emptied just before
// it is filled again: so one emptied chunk of huge pages stays with the pool as a spare.
//
// Threads: any. One mutex guards the pool; its users make and free their objects on the UI
// thread, so it is uncontended, but a block freed elsewhere cannot corrupt it.
#pragma once
#include <cstddef>
#include <mutex>
#include <vector>

namespace rtl {

class BlockPool {
public:
    // Blocks of BlockSize bytes aligned to Alignment (at most that of any fundamental type).
    // The first chunk holds about FirstChunkBytes, later ones twice the one before, up to
    // MaxChunkBytes.
    BlockPool(std::size_t BlockSize, std::size_t Alignment, std::size_t FirstChunkBytes = 64 << 10,
              std::size_t MaxChunkBytes = 4 << 20);
    // Frees every chunk: no block of the pool may be used or freed afterwards.
    ~BlockPool();
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A block of blockSize() bytes; throws std::bad_alloc when the heap has no chunk to give.
    [[nodiscard]] void* allocate();
    // Gives back a block that allocate() returned. Freeing anything else ends the program.
    void deallocate(void* Block) noexcept;

    std::size_t blockSize() const { return blockSize_; }
    std::size_t blocksInUse() const;
    // The chunks taken from the heap, the spare among them.
    std::size_t chunkCount() const;
    // The bytes of all chunks taken from the heap.
    std::size_t bytesHeld() const;

private:
    struct Chunk;
    Chunk* newChunk();
    Chunk* chunkOf(const void* Block) const;
    void release(Chunk* C);

    std::size_t blockSize_;
    std::size_t headerSize_;
    std::size_t firstChunkBytes_, maxChunkBytes_;
    mutable std::mutex mutex_;
    std::vector<Chunk*> chunks_;  // by address
    Chunk* current_ = nullptr;    // where blocks are taken from until it is full
};

}  // namespace rtl
