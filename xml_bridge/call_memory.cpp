#include "call_memory.h"

#include <cstdint>

#include "heap.h"
#include "invariant.h"
#include "open_call_slot.h"

namespace pelzor {

using memory::kAlignment;
using memory::kTagBytes;
using memory::tagOf;

namespace {

// Small chunks start small, so that a call on a small document takes little, and then grow
// by a sixteenth of what the arena holds, so that the unused end of the newest one stays a
// small part of the whole.
constexpr std::size_t kFirstChunkBytes = 4096;

std::size_t nextChunkBytes(std::size_t smallBytes) {
    const std::size_t growth = smallBytes / 16 / kAlignment * kAlignment;
    return growth > kFirstChunkBytes ? growth : kFirstChunkBytes;
}

// A block of the library's heap: the heap's own address and the tag in front of the aligned
// block, within this many bytes (16 in both builds).
constexpr std::size_t kHeapLead = 2 * sizeof(void*) + memory::kHeapSlack;
static_assert(kHeapLead % memory::kHeapAlignment == 0, "the heap block's lead must keep alignment");

void*& heapAllocationOf(void* block) {
    return static_cast<void**>(block)[-2];
}

}  // namespace

CallMemory::CallMemory() noexcept : outer_(openCallSlot.get()) {
    inSlot_ = openCallSlot.set(this);
}

CallMemory::~CallMemory() {
    PELZOR_INVARIANT(!inSlot_ || openCallSlot.get() == this);
    chunkPool().keepAtCallEnd(chunks_, peakBytes_);
    if (inSlot_) {
        openCallSlot.set(outer_);
    }
}

// A small block from the free list of its size or from the bump pointer of the newest
// chunk; null when the list is empty and the chunk has no room left.
[[gnu::always_inline]] inline void* CallMemory::takeSmallInPlace(std::size_t step) noexcept {
    void*& freeBlock = freeBlocks_[memory::sizeClassOf(step)];
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
    PELZOR_INVARIANT(memory::isAligned(block) && cursor_ <= limit_);
    return block;
}

// The common cases (a small block from a free list or the bump pointer, a small block
// given back) stay short enough to need no saved registers; everything else is out of line.
void* CallMemory::allocate(std::size_t bytes) noexcept {
    CallMemory* call = openCallSlot.get();
    if (call != nullptr && memory::isSmall(bytes)) {
        if (void* block = call->takeSmallInPlace(memory::smallStep(bytes))) {
            return block;
        }
    }
    return allocateOutOfLine(call, bytes);
}

void CallMemory::release(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    const std::uintptr_t tag = tagOf(block);
    if ((tag & memory::kTagKindBits) == 0) {
        PELZOR_INVARIANT(freeListOpenOnThisThread(reinterpret_cast<const void*>(tag)));
        void*& freeBlock = *reinterpret_cast<void**>(tag);
        *static_cast<void**>(block) = freeBlock;
        freeBlock = block;
        return;
    }
    releaseOutOfLine(block, tag);
}

void* CallMemory::allocateOutOfLine(CallMemory* call, std::size_t bytes) noexcept {
    if (call == nullptr) {
        return allocateFromHeap(bytes);
    }
    if (!memory::isSmall(bytes)) {
        return call->allocateLarge(bytes);
    }
    const std::size_t step = memory::smallStep(bytes);
    if (void* block = call->takeSmallInPlace(step)) {
        return block;
    }
    return call->refillAndTake(step);
}

void CallMemory::releaseOutOfLine(void* block, std::uintptr_t tag) noexcept {
    if (tag == memory::kHeapTag) {
        heapFree(heapAllocationOf(block));
        return;
    }
    PELZOR_INVARIANT((tag & memory::kTagKindBits) == memory::kLargeBit);
    auto* call = reinterpret_cast<CallMemory*>(tag & ~memory::kTagKindBits);
    PELZOR_INVARIANT(openOnThisThread(call));
    call->releaseLarge(reinterpret_cast<ArenaChunk*>(static_cast<unsigned char*>(block) -
                                                     kAlignment - ArenaChunk::kHeaderBytes));
}

void* CallMemory::allocateFromHeap(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX - kHeapLead) {
        return nullptr;
    }
    auto* allocation = static_cast<unsigned char*>(heapAllocate(kHeapLead + bytes));
    if (allocation == nullptr) {
        return nullptr;
    }
    void* block = memory::alignUp(allocation + 2 * sizeof(void*));
    heapAllocationOf(block) = allocation;
    tagOf(block) = memory::kHeapTag;
    PELZOR_INVARIANT(memory::isAligned(block));
    return block;
}

void CallMemory::releasePool() noexcept {
    chunkPool().freeAll();
}

std::size_t CallMemory::pooledBytes() noexcept {
    return chunkPool().bytes();
}

// A new small chunk of the arena's next size; when that cannot be had, the smallest chunk
// that holds the block.
void* CallMemory::refillAndTake(std::size_t step) noexcept {
    const std::size_t smallest = memory::kSmallChunkLead + step;
    const std::size_t wanted = nextChunkBytes(smallBytes_);
    // Any kept chunk from the wanted size up serves: the arena uses all of it.
    ArenaChunk* chunk = takeChunk(wanted > smallest ? wanted : smallest, SIZE_MAX);
    if (chunk == nullptr && wanted > smallest) {
        chunk = takeChunk(smallest, SIZE_MAX);
    }
    if (chunk == nullptr) {
        return nullptr;
    }
    smallBytes_ += chunk->dataBytes;
    cursor_ = chunk->data() + memory::kSmallChunkLead;
    limit_ = chunk->data() + chunk->dataBytes;
    return takeSmallInPlace(step);
}

void* CallMemory::allocateLarge(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX / 2 - ArenaChunk::kHeaderBytes - 2 * kAlignment) {
        return nullptr;
    }
    // The block stands one alignment unit into the data, its tag right in front of it.
    const std::size_t dataBytes = kAlignment + memory::roundUp(bytes);
    // A kept chunk up to twice the size, so that a large chunk is not spent on a small block.
    ArenaChunk* chunk = takeChunk(dataBytes, dataBytes * 2);
    if (chunk == nullptr) {
        return nullptr;
    }
    void* block = chunk->data() + kAlignment;
    tagOf(block) = reinterpret_cast<std::uintptr_t>(this) | memory::kLargeBit;
    return block;
}

void CallMemory::releaseLarge(ArenaChunk* chunk) noexcept {
    if (chunk->previous != nullptr) {
        chunk->previous->next = chunk->next;
    } else {
        chunks_ = chunk->next;
    }
    if (chunk->next != nullptr) {
        chunk->next->previous = chunk->previous;
    }
    heldBytes_ -= chunk->totalBytes();
    // Kept for the rest of the call and the next calls.
    chunkPool().keepDuringCall(chunk);
}

ArenaChunk* CallMemory::takeChunk(std::size_t dataBytes, std::size_t mostBytes) noexcept {
    ArenaChunk* chunk = chunkPool().take(dataBytes, mostBytes);
    if (chunk == nullptr) {
        chunk = ArenaChunk::fromSystem(dataBytes);
        if (chunk == nullptr) {
            return nullptr;
        }
    }
    chunk->previous = nullptr;
    chunk->next = chunks_;
    if (chunks_ != nullptr) {
        chunks_->previous = chunk;
    }
    chunks_ = chunk;
    heldBytes_ += chunk->totalBytes();
    if (heldBytes_ > peakBytes_) {
        peakBytes_ = heldBytes_;
    }
    return chunk;
}

// Whether `matches` holds for one of the calls open on this thread, innermost first.
template <typename Matches>
bool CallMemory::anyOpenOnThisThread(Matches matches) noexcept {
    for (const CallMemory* open = openCallSlot.get(); open != nullptr; open = open->outer_) {
        if (matches(*open)) {
            return true;
        }
    }
    return false;
}

// Whether `freeList` belongs to a call open on this thread.
bool CallMemory::freeListOpenOnThisThread(const void* freeList) noexcept {
    const auto* list = static_cast<void* const*>(freeList);
    return anyOpenOnThisThread([list](const CallMemory& open) {
        return list >= open.freeBlocks_ && list < open.freeBlocks_ + memory::kSizeClasses;
    });
}

// Whether `call` is open on this thread.
bool CallMemory::openOnThisThread(const CallMemory* call) noexcept {
    return anyOpenOnThisThread([call](const CallMemory& open) { return &open == call; });
}

}  // namespace pelzor
