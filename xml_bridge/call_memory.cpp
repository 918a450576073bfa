#include "call_memory.h"

#include <cstdint>
#include <cstring>

#include "heap.h"

namespace pelzor {

// A piece of a call's arena: a header, then the data. A large chunk holds exactly one
// block. A small chunk holds many, and after its data one byte per slot of kSlot bytes
// records, for the block that starts in that slot, its size in granules, so that a freed
// block can go to the free list of its size. Blocks take at least one slot, so no two
// start in the same slot.
//
// Blocks are aligned to a granule of 8 bytes, which is what every object the library
// allocates needs (the parser's nodes and strings, the lookup's name); rounding to 8 rather
// than 16 keeps the arena as compact as the general heap.
constexpr std::size_t kChunkHeaderBytes = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t)
                                                                         : 16;

struct ArenaChunk {
    static constexpr std::size_t kGranule = 8;
    static constexpr std::size_t kSlot = 16;

    std::uintptr_t dataEnd;  // the size map of a small chunk follows
    bool large;

    std::uintptr_t dataBegin() const {
        return reinterpret_cast<std::uintptr_t>(this) + kChunkHeaderBytes;
    }
    bool holds(std::uintptr_t address) const { return address >= dataBegin() && address < dataEnd; }
    unsigned char& sizeOf(const void* block) {
        auto* sizes = reinterpret_cast<unsigned char*>(dataEnd);
        return sizes[(reinterpret_cast<std::uintptr_t>(block) - dataBegin()) / kSlot];
    }
};
// The header keeps the data aligned like the heap's own blocks.
static_assert(sizeof(ArenaChunk) <= kChunkHeaderBytes, "the chunk header must fit");

namespace {

constexpr std::size_t kGranule = ArenaChunk::kGranule;
constexpr std::size_t kSlot = ArenaChunk::kSlot;
// Small chunks start small, so that a call on a small document takes little, and then grow
// by a sixteenth of what the arena holds, so that the unused end of the newest one stays a
// small part of the whole. The chunks are kept sorted, so their number costs little.
constexpr std::size_t kFirstChunkBytes = 2048;

std::size_t nextChunkBytes(std::size_t arenaBytes, std::size_t blockBytes) {
    const std::size_t growth = arenaBytes / 16 / kSlot * kSlot;
    const std::size_t chunkBytes = growth > kFirstChunkBytes ? growth : kFirstChunkBytes;
    return chunkBytes > blockBytes ? chunkBytes : blockBytes;
}

// The call open on this thread, if any. Set only while an export runs, so nothing of it
// outlives a call.
thread_local CallMemory* openCall = nullptr;

}  // namespace

CallMemory::CallMemory() noexcept : outer_(openCall) {
    openCall = this;
}

CallMemory::~CallMemory() {
    for (std::size_t i = 0; i < chunkCount_; ++i) {
        heapFree(chunks_[i]);
    }
    heapFree(chunks_);
    openCall = outer_;
}

void* CallMemory::allocate(std::size_t bytes) noexcept {
    if (CallMemory* call = openCall) {
        return call->allocateInArena(bytes);
    }
    return heapAllocate(bytes);
}

void CallMemory::release(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    CallMemory* call = openCall;
    ArenaChunk* chunk = call != nullptr ? call->chunkHolding(block) : nullptr;
    if (chunk == nullptr) {
        heapFree(block);  // allocated while no call was open
    } else if (chunk->large) {
        call->freeChunk(chunk);
    } else {
        call->keepSmall(chunk, block);
    }
}

void* CallMemory::allocateInArena(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX - kChunkHeaderBytes - kGranule) {
        return nullptr;
    }
    const std::size_t granules =
        bytes <= kSlot ? kSlot / kGranule : (bytes + kGranule - 1) / kGranule;
    if (granules < kSmallGranules) {
        return takeSmall(granules);
    }
    ArenaChunk* chunk = addChunk(granules * kGranule, true);
    return chunk != nullptr ? reinterpret_cast<void*>(chunk->dataBegin()) : nullptr;
}

void* CallMemory::takeSmall(std::size_t granules) noexcept {
    void*& freeBlock = freeBlocks_[granules];
    if (freeBlock != nullptr) {
        void* block = freeBlock;
        freeBlock = *static_cast<void**>(block);
        return block;
    }
    const std::size_t bytes = granules * kGranule;
    if (static_cast<std::size_t>(limit_ - cursor_) < bytes) {
        const std::size_t chunkBytes = nextChunkBytes(arenaBytes_, bytes);
        ArenaChunk* chunk = addChunk(chunkBytes, false);
        if (chunk == nullptr) {
            return nullptr;
        }
        arenaBytes_ += chunkBytes;
        smallChunk_ = chunk;
        cursor_ = reinterpret_cast<unsigned char*>(chunk->dataBegin());
        limit_ = reinterpret_cast<unsigned char*>(chunk->dataEnd);
    }
    void* block = cursor_;
    cursor_ += bytes;
    smallChunk_->sizeOf(block) = static_cast<unsigned char>(granules);
    return block;
}

void CallMemory::keepSmall(ArenaChunk* chunk, void* block) noexcept {
    void*& freeBlock = freeBlocks_[chunk->sizeOf(block)];
    *static_cast<void**>(block) = freeBlock;
    freeBlock = block;
}

ArenaChunk* CallMemory::addChunk(std::size_t dataBytes, bool large) noexcept {
    if (!makeRoomInIndex()) {
        return nullptr;
    }
    const std::size_t sizeBytes = large ? 0 : dataBytes / kSlot;
    auto* chunk = static_cast<ArenaChunk*>(heapAllocate(kChunkHeaderBytes + dataBytes + sizeBytes));
    if (chunk == nullptr) {
        return nullptr;
    }
    chunk->dataEnd = chunk->dataBegin() + dataBytes;
    chunk->large = large;
    const std::size_t position = indexPosition(chunk->dataBegin());
    std::memmove(chunks_ + position + 1, chunks_ + position,
                 (chunkCount_ - position) * sizeof(ArenaChunk*));
    chunks_[position] = chunk;
    ++chunkCount_;
    return chunk;
}

bool CallMemory::makeRoomInIndex() noexcept {
    if (chunkCount_ < chunkCapacity_) {
        return true;
    }
    const std::size_t capacity = chunkCapacity_ == 0 ? 16 : chunkCapacity_ * 2;
    auto* grown = static_cast<ArenaChunk**>(heapAllocate(capacity * sizeof(ArenaChunk*)));
    if (grown == nullptr) {
        return false;
    }
    if (chunkCount_ != 0) {
        std::memcpy(grown, chunks_, chunkCount_ * sizeof(ArenaChunk*));
    }
    heapFree(chunks_);
    chunks_ = grown;
    chunkCapacity_ = capacity;
    return true;
}

// The number of chunks whose data begins at or before `address`.
std::size_t CallMemory::indexPosition(std::uintptr_t address) const noexcept {
    std::size_t low = 0;
    std::size_t high = chunkCount_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (chunks_[middle]->dataBegin() <= address) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

ArenaChunk* CallMemory::chunkHolding(const void* block) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    // A document is mostly freed in the order it was built, so consecutive blocks mostly
    // share a chunk.
    if (lastHolder_ != nullptr && lastHolder_->holds(address)) {
        return lastHolder_;
    }
    const std::size_t position = indexPosition(address);
    if (position == 0 || !chunks_[position - 1]->holds(address)) {
        return nullptr;
    }
    lastHolder_ = chunks_[position - 1];
    return lastHolder_;
}

void CallMemory::freeChunk(ArenaChunk* chunk) noexcept {
    const std::size_t position = indexPosition(chunk->dataBegin()) - 1;
    std::memmove(chunks_ + position, chunks_ + position + 1,
                 (chunkCount_ - position - 1) * sizeof(ArenaChunk*));
    --chunkCount_;
    if (lastHolder_ == chunk) {
        lastHolder_ = nullptr;
    }
    heapFree(chunk);
}

}  // namespace pelzor
