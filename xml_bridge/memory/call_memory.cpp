#include "call_memory.h"

#include "internals.h"

namespace pelzor {

namespace {

constexpr std::size_t kTagBytes = sizeof(std::uintptr_t);
constexpr std::size_t kLargestSmallBlock = CallMemory::kSizeClasses * kAlignment - kTagBytes;
// A small chunk's first tag stands this far into its data, so that the block behind it is
// aligned; steps of 16 keep every later one so.
constexpr std::size_t kSmallLead = kAlignment - kTagBytes;
// A call's first small chunk; each next one is a quarter of what its small chunks hold so
// far, so that a call needs few chunks (about 45 for 64 MiB), their unused ends stay a small
// part of the whole, and the chunks of a large call are large enough (from 512 KiB or
// 1 MiB) for the Windows heap to give them back to the system when they are freed. At most
// 16 MiB: a 32-bit call needs no larger piece of its address space in one, and a chunk stays
// below the size from which glibc maps every block on its own (32 MiB).
constexpr std::size_t kFirstChunkBytes = 4096 - 64;  // with the headers, within 4 KiB
constexpr std::size_t kLargestChunkBytes = std::size_t{16} << 20;
constexpr unsigned kGrowthShift = 2;

// The step of a small block: its tag and the block, rounded up to 16.
constexpr std::size_t stepOf(std::size_t bytes) {
    return roundUp(bytes + kTagBytes);
}

// A heap block: the heap's own address and the tag in front of the aligned block.
constexpr std::size_t kHeapLead = 2 * sizeof(void*) + kHeapSlack;
void*& heapAllocationOf(void* block) {
    return static_cast<void**>(block)[-2];
}

}  // namespace

CallMemory::CallMemory() noexcept : outer_(openCallSlot.get()) {
    inSlot_ = openCallSlot.set(this);
}

CallMemory::~CallMemory() {
    PELZOR_INVARIANT(!inSlot_ || openCallSlot.get() == this);
    pool::keepAtCallEnd(chunks_, peakBytes_);
    if (inSlot_) {
        openCallSlot.set(outer_);
    }
}

// A small block from the free list of its step or from the bump pointer; null when the list
// is empty and the newest chunk has no room left.
[[gnu::always_inline]] inline void* CallMemory::takeSmall(std::size_t step) noexcept {
    void*& freeBlock = freeBlocks_[step / kAlignment - 1];
    if (freeBlock != nullptr) {
        void* block = freeBlock;
        freeBlock = *static_cast<void**>(block);
        return block;
    }
    if (static_cast<std::size_t>(limit_ - cursor_) < step) {
        return nullptr;
    }
    void* block = cursor_ + kTagBytes;
    cursor_ += step;
    tagOf(block) = reinterpret_cast<std::uintptr_t>(&freeBlock);
    PELZOR_INVARIANT(isAligned(block));
    return block;
}

// The common cases (a small block taken or given back) need no saved registers; the rest is
// out of line.
void* CallMemory::allocate(std::size_t bytes) noexcept {
    CallMemory* call = openCallSlot.get();
    if (call != nullptr && bytes <= kLargestSmallBlock) {
        if (void* block = call->takeSmall(stepOf(bytes))) {
            return block;
        }
    }
    return allocateSlowly(call, bytes);
}

void CallMemory::release(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    const std::uintptr_t tag = tagOf(block);
    if ((tag & kTagKindBits) == 0) {
        PELZOR_INVARIANT(openOnThisThread(reinterpret_cast<void*>(tag)));
        void*& freeBlock = *reinterpret_cast<void**>(tag);
        *static_cast<void**>(block) = freeBlock;
        freeBlock = block;
        return;
    }
    releaseSlowly(block);
}

void* CallMemory::allocateSlowly(CallMemory* call, std::size_t bytes) noexcept {
    if (call == nullptr) {
        if (bytes > SIZE_MAX - kHeapLead) {
            return nullptr;
        }
        auto* allocation = static_cast<unsigned char*>(heapAllocate(kHeapLead + bytes));
        if (allocation == nullptr) {
            return nullptr;
        }
        void* block = alignUp(allocation + 2 * sizeof(void*));
        heapAllocationOf(block) = allocation;
        tagOf(block) = kHeapTag;
        return block;
    }
    if (bytes > kLargestSmallBlock) {
        return call->allocateLarge(bytes);
    }
    const std::size_t step = stepOf(bytes);
    if (void* block = call->takeSmall(step)) {
        return block;
    }
    return call->refillAndTake(step);
}

void CallMemory::releaseSlowly(void* block) noexcept {
    const std::uintptr_t tag = tagOf(block);
    if (tag == kHeapTag) {
        heapFree(heapAllocationOf(block));
        return;
    }
    PELZOR_INVARIANT((tag & kTagKindBits) == kLargeBit);
    auto* call = reinterpret_cast<CallMemory*>(tag & ~kTagKindBits);
    PELZOR_INVARIANT(openOnThisThread(call));
    auto* chunk = reinterpret_cast<Chunk*>(static_cast<unsigned char*>(block) - kAlignment -
                                           Chunk::kHeaderBytes);
    (chunk->previous != nullptr ? chunk->previous->next : call->chunks_) = chunk->next;
    if (chunk->next != nullptr) {
        chunk->next->previous = chunk->previous;
    }
    call->heldBytes_ -= chunk->totalBytes();
    chunk->next = nullptr;
    pool::keep(chunk, kPoolCeiling);
}

void CallMemory::releasePool() noexcept {
    pool::keep(nullptr, 0);
}

std::size_t CallMemory::pooledBytes() noexcept {
    return pool::bytes();
}

// A new small chunk of the call's next size; when that cannot be had, the smallest chunk
// that holds the block. Any kept chunk from the size asked up serves: the call uses all of it.
void* CallMemory::refillAndTake(std::size_t step) noexcept {
    const std::size_t least = kSmallLead + step;
    const std::size_t grown = roundUp(smallBytes_ >> kGrowthShift);
    const std::size_t wanted = grown < kFirstChunkBytes     ? kFirstChunkBytes
                               : grown < kLargestChunkBytes ? grown
                                                            : kLargestChunkBytes;
    Chunk* chunk = takeChunk(wanted, SIZE_MAX);
    if (chunk == nullptr) {
        chunk = takeChunk(least, SIZE_MAX);
        if (chunk == nullptr) {
            return nullptr;
        }
    }
    smallBytes_ += chunk->dataBytes;
    cursor_ = chunk->data() + kSmallLead;
    limit_ = chunk->data() + chunk->dataBytes;
    return takeSmall(step);
}

void* CallMemory::allocateLarge(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX / 2 - Chunk::kHeaderBytes - 2 * kAlignment) {
        return nullptr;
    }
    // The block stands 16 bytes into the data, its tag right in front of it.
    const std::size_t dataBytes = kAlignment + roundUp(bytes);
    // A kept chunk up to twice the size, so that a large chunk is not spent on a small block.
    Chunk* chunk = takeChunk(dataBytes, dataBytes * 2);
    if (chunk == nullptr) {
        return nullptr;
    }
    void* block = chunk->data() + kAlignment;
    tagOf(block) = reinterpret_cast<std::uintptr_t>(this) | kLargeBit;
    return block;
}

// A chunk of `least` to `most` data bytes from the pool, else `least` from the system; when
// the system refuses while the pool holds idle chunks, they go back first and it is asked
// once more.
Chunk* CallMemory::takeChunk(std::size_t least, std::size_t most) noexcept {
    Chunk* chunk = pool::take(least, most);
    if (chunk == nullptr) {
        chunk = Chunk::fromSystem(least);
    }
    if (chunk == nullptr && pool::bytes() != 0) {
        pool::keep(nullptr, 0);
        chunk = Chunk::fromSystem(least);
    }
    if (chunk == nullptr) {
        return nullptr;
    }
    PELZOR_INVARIANT(isAligned(chunk->data()));
    chunk->previous = nullptr;
    chunk->next = chunks_;
    if (chunks_ != nullptr) {
        chunks_->previous = chunk;
    }
    chunks_ = chunk;
    heldBytes_ += chunk->totalBytes();
    peakBytes_ = heldBytes_ > peakBytes_ ? heldBytes_ : peakBytes_;
    return chunk;
}

// Whether `callOrFreeList` is a call open on this thread, or one of its free lists.
bool CallMemory::openOnThisThread(const void* callOrFreeList) noexcept {
    for (const CallMemory* open = openCallSlot.get(); open != nullptr; open = open->outer_) {
        const auto* list = static_cast<void* const*>(callOrFreeList);
        if (callOrFreeList == open ||
            (list >= open->freeBlocks_ && list < open->freeBlocks_ + kSizeClasses)) {
            return true;
        }
    }
    return false;
}

}  // namespace pelzor
