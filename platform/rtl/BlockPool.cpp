#include "platform/rtl/BlockPool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>

#include <sys/mman.h>

// Under AddressSanitizer the blocks not in use are marked unreadable, so that a use of a
// freed object is caught as it would be without the pool.
#if defined(__SANITIZE_ADDRESS__)
#define TAMBOURELLE_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAMBOURELLE_POOL_ASAN 1
#endif
#endif
#ifdef TAMBOURELLE_POOL_ASAN
#include <sanitizer/asan_interface.h>
#define POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define POOL_POISON(p, n) ((void)(p), (void)(n))
#define POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace rtl {

// A chunk begins with this header; its blocks follow. Blocks never handed out yet lie past
// `bumped`, so a fresh chunk costs no pass over its blocks (nor touches their pages); freed
// ones are chained through their first bytes.
struct BlockPool::Chunk {
    std::size_t bytes;
    std::size_t capacity;
    std::size_t used = 0;
    std::size_t bumped = 0;
    void* freeList = nullptr;
};

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

std::size_t roundUp(std::size_t n, std::size_t to)
{
    return (n + to - 1) / to * to;
}

char* blocksOf(void* chunk, std::size_t headerSize)
{
    return static_cast<char*>(chunk) + headerSize;
}

}  // namespace

BlockPool::BlockPool(std::size_t BlockSize, std::size_t Alignment, std::size_t FirstChunkBytes,
                     std::size_t MaxChunkBytes)
    : firstChunkBytes_(FirstChunkBytes), maxChunkBytes_(std::max(FirstChunkBytes, MaxChunkBytes))
{
    // Chunks from malloc are aligned for any fundamental type, and so is the header's size:
    // blocks rounded up to Alignment stay aligned after it.
    if (BlockSize == 0 || Alignment == 0 || (Alignment & (Alignment - 1)) != 0 ||
        Alignment > alignof(std::max_align_t) || BlockSize > (std::size_t(1) << 32))
        throw std::invalid_argument("block pool: unusable block size or alignment");
    blockSize_ = roundUp(std::max(BlockSize, sizeof(void*)), std::max(Alignment, alignof(void*)));
    headerSize_ = roundUp(sizeof(Chunk), alignof(std::max_align_t));
}

BlockPool::~BlockPool()
{
    for (Chunk* c : chunks_) {
        POOL_UNPOISON(c, c->bytes);
        std::free(c);
    }
}

BlockPool::Chunk* BlockPool::newChunk()
{
    std::size_t bytes = firstChunkBytes_;
    for (std::size_t i = 0; i < chunks_.size() && bytes < maxChunkBytes_; ++i)
        bytes *= 2;
    bytes = std::max(std::min(bytes, maxChunkBytes_), headerSize_ + blockSize_);
    chunks_.reserve(chunks_.size() + 1);  // so that the insertion below cannot fail
    void* memory;
    if (bytes >= HugePage) {
        // Whole huge pages, asked for before any is touched (see the header).
        bytes = roundUp(bytes, HugePage);
        memory = std::aligned_alloc(HugePage, bytes);
        if (memory)
            (void)madvise(memory, bytes, MADV_HUGEPAGE);
    } else {
        memory = std::malloc(bytes);
    }
    if (!memory)
        throw std::bad_alloc();
    Chunk* c = new (memory) Chunk{bytes, (bytes - headerSize_) / blockSize_};
    POOL_POISON(blocksOf(c, headerSize_), bytes - headerSize_);
    chunks_.insert(std::upper_bound(chunks_.begin(), chunks_.end(), c, std::less<>()), c);
    return c;
}

void* BlockPool::allocate()
{
    const std::lock_guard lock(mutex_);
    Chunk* c = current_;
    if (!c || c->used == c->capacity) {
        // The lowest chunk with room: the rows gather at the front, and chunks at the back
        // empty out and are given back.
        const auto room = std::find_if(chunks_.begin(), chunks_.end(),
                                       [](const Chunk* k) { return k->used < k->capacity; });
        c = current_ = room != chunks_.end() ? *room : newChunk();
    }
    void* block;
    if (c->freeList) {
        block = c->freeList;
        POOL_UNPOISON(block, blockSize_);
        std::memcpy(&c->freeList, block, sizeof(void*));
    } else {
        block = blocksOf(c, headerSize_) + c->bumped++ * blockSize_;
        POOL_UNPOISON(block, blockSize_);
    }
    ++c->used;
    return block;
}

BlockPool::Chunk* BlockPool::chunkOf(const void* Block) const
{
    auto after = std::upper_bound(chunks_.begin(), chunks_.end(), Block,
                                  [](const void* b, const Chunk* c) { return std::less<>()(b, c); });
    if (after == chunks_.begin())
        return nullptr;
    Chunk* c = *std::prev(after);
    const char* blocks = blocksOf(c, headerSize_);
    const char* b = static_cast<const char*>(Block);
    if (std::less<>()(b, blocks) || !std::less<>()(b, blocks + c->bumped * blockSize_) ||
        std::size_t(b - blocks) % blockSize_ != 0)
        return nullptr;
    return c;
}

void BlockPool::deallocate(void* Block) noexcept
{
    if (!Block)
        return;
    const std::lock_guard lock(mutex_);
    Chunk* c = chunkOf(Block);
    if (!c || c->used == 0)
        std::abort();  // not a block of this pool: going on would corrupt the heap
    std::memcpy(Block, &c->freeList, sizeof(void*));
    POOL_POISON(Block, blockSize_);
    c->freeList = Block;
    if (--c->used > 0)
        return;
    // The pool's one spare (see the header) is the only other chunk that can be empty.
    const bool spare = c->bytes >= HugePage &&
                       std::none_of(chunks_.begin(), chunks_.end(), [c](const Chunk* k) { return k != c && k->used == 0; });
    if (!spare) {
        release(c);
        return;
    }
    // Handed out from its start again, so that blocks taken one after another lie so.
    c->freeList = nullptr;
    c->bumped = 0;
}

void BlockPool::release(Chunk* C)
{
    chunks_.erase(std::lower_bound(chunks_.begin(), chunks_.end(), C, std::less<>()));
    if (current_ == C)
        current_ = nullptr;
    POOL_UNPOISON(C, C->bytes);
    std::free(C);
}

std::size_t BlockPool::blocksInUse() const
{
    const std::lock_guard lock(mutex_);
    std::size_t blocks = 0;
    for (const Chunk* c : chunks_)
        blocks += c->used;
    return blocks;
}

std::size_t BlockPool::chunkCount() const
{
    const std::lock_guard lock(mutex_);
    return chunks_.size();
}

std::size_t BlockPool::bytesHeld() const
{
    const std::lock_guard lock(mutex_);
    std::size_t bytes = 0;
    for (const Chunk* c : chunks_)
        bytes += c->bytes;
    return bytes;
}

}  // namespace rtl
