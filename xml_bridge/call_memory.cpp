#include "call_memory.h"

#include <cstdint>

#include "heap.h"

namespace pelzor {

// A piece of a call's arena: a header, then the data. A small chunk holds many blocks, a
// large one exactly one.
struct ArenaChunk {
    ArenaChunk* previous;
    ArenaChunk* next;
    std::uintptr_t dataBegin;
    std::uintptr_t dataEnd;
    bool large;

    bool holds(std::uintptr_t address) const { return address >= dataBegin && address < dataEnd; }
};

namespace {

constexpr std::size_t kAlignment = alignof(std::max_align_t);

constexpr std::size_t roundUp(std::size_t bytes) {
    return (bytes + kAlignment - 1) / kAlignment * kAlignment;
}

constexpr std::size_t kChunkHeaderBytes = roundUp(sizeof(ArenaChunk));
// Blocks above this size get a chunk of their own, which goes back as soon as the block is
// freed (the printer's growing buffer, long texts).
constexpr std::size_t kLargeBlock = 4096;
// Small chunks start small, so that a call on a small document takes little, and grow with
// the arena (doubling at first, then by an eighth of what the arena holds), so that a call
// on a large document takes few of them and leaves little of the last one unused.
constexpr std::size_t kFirstChunkBytes = 16 * 1024;
constexpr std::size_t kDoublingLimit = 1024 * 1024;

std::size_t nextChunkBytes(std::size_t arenaBytes) {
    if (arenaBytes < kFirstChunkBytes) {
        return kFirstChunkBytes;
    }
    if (arenaBytes < kDoublingLimit) {
        return arenaBytes;
    }
    return arenaBytes / 8;
}

// The call open on this thread, if any. Set only while an export runs, so nothing of it
// outlives a call.
thread_local CallMemory* openCall = nullptr;

}  // namespace

CallMemory::CallMemory() noexcept : outer_(openCall) { openCall = this; }

CallMemory::~CallMemory() {
    while (chunks_ != nullptr) {
        freeChunk(chunks_);
    }
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
    }
}

void* CallMemory::allocateInArena(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX - kChunkHeaderBytes - kAlignment) {
        return nullptr;
    }
    const std::size_t rounded = roundUp(bytes == 0 ? 1 : bytes);
    if (rounded > kLargeBlock) {
        ArenaChunk* chunk = addChunk(rounded, true);
        return chunk != nullptr ? reinterpret_cast<void*>(chunk->dataBegin) : nullptr;
    }
    if (static_cast<std::size_t>(limit_ - cursor_) < rounded) {
        const std::size_t chunkBytes = nextChunkBytes(arenaBytes_);
        ArenaChunk* chunk = addChunk(chunkBytes, false);
        if (chunk == nullptr) {
            return nullptr;
        }
        arenaBytes_ += chunkBytes;
        cursor_ = reinterpret_cast<unsigned char*>(chunk->dataBegin);
        limit_ = reinterpret_cast<unsigned char*>(chunk->dataEnd);
    }
    void* block = cursor_;
    cursor_ += rounded;
    return block;
}

ArenaChunk* CallMemory::addChunk(std::size_t dataBytes, bool large) noexcept {
    auto* chunk = static_cast<ArenaChunk*>(heapAllocate(kChunkHeaderBytes + dataBytes));
    if (chunk == nullptr) {
        return nullptr;
    }
    chunk->previous = nullptr;
    chunk->next = chunks_;
    chunk->dataBegin = reinterpret_cast<std::uintptr_t>(chunk) + kChunkHeaderBytes;
    chunk->dataEnd = chunk->dataBegin + dataBytes;
    chunk->large = large;
    if (chunks_ != nullptr) {
        chunks_->previous = chunk;
    }
    chunks_ = chunk;
    return chunk;
}

ArenaChunk* CallMemory::chunkHolding(const void* block) const noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    for (ArenaChunk* chunk = chunks_; chunk != nullptr; chunk = chunk->next) {
        if (chunk->holds(address)) {
            return chunk;
        }
    }
    return nullptr;
}

void CallMemory::freeChunk(ArenaChunk* chunk) noexcept {
    if (chunk->previous != nullptr) {
        chunk->previous->next = chunk->next;
    } else {
        chunks_ = chunk->next;
    }
    if (chunk->next != nullptr) {
        chunk->next->previous = chunk->previous;
    }
    heapFree(chunk);
}

}  // namespace pelzor
