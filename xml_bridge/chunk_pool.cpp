#include "chunk_pool.h"

#include <cstdint>
#include <cstring>
#include <mutex>

#include "heap.h"
#include "invariant.h"
#include "memory_layout.h"
#include "run_map.h"
#include "system_lock.h"

namespace pelzor {

static_assert(ArenaChunk::kHeaderBytes % memory::kAlignment == 0, "data must stay aligned");
static_assert(sizeof(ArenaChunk) <= ArenaChunk::kHeaderBytes, "the chunk header must fit");
static_assert(memory::kHeapAlignment > ArenaChunk::kMarkedBit,
              "a heap block leaves the low bit clear");

ArenaChunk* ArenaChunk::fromSystem(std::size_t dataBytes) noexcept {
    // The slack lets the header start aligned where the heap aligns to less.
    if (dataBytes > SIZE_MAX - kHeaderBytes - memory::kHeapSlack) {
        return nullptr;
    }
    auto* allocation =
        static_cast<unsigned char*>(heapAllocate(kHeaderBytes + dataBytes + memory::kHeapSlack));
    if (allocation == nullptr) {
        return nullptr;
    }
    auto* chunk = reinterpret_cast<ArenaChunk*>(memory::alignUp(allocation));
    chunk->dataBytes = dataBytes;
    chunk->allocationAndMarked = reinterpret_cast<std::uintptr_t>(allocation);
    PELZOR_INVARIANT(memory::isAligned(chunk->data()));
    return chunk;
}

void ArenaChunk::toSystem(ArenaChunk* chunks) noexcept {
    while (chunks != nullptr) {
        ArenaChunk* next = chunks->next;
        chunks->clearRuns();
        heapFree(chunks->allocation());
        chunks = next;
    }
}

void ArenaChunk::clearRuns() noexcept {
    if (hasRuns()) {
        run_map::clear(data(), dataBytes);
        allocationAndMarked &= ~kMarkedBit;
    }
}

namespace {

// Guards the pool.
SystemLock poolLock;
ChunkPool pool;

}  // namespace

ChunkPool::~ChunkPool() {
    freeAll();
    run_map::releaseLeaves();
}

ChunkPool& chunkPool() noexcept {
    return pool;
}

ArenaChunk* ChunkPool::take(std::size_t least, std::size_t most) noexcept {
    std::lock_guard<SystemLock> lock(poolLock);
    const std::size_t fitting = countAtLeast(least);
    if (fitting == 0 || entries_[fitting - 1].dataBytes > most) {
        return nullptr;
    }
    ArenaChunk* chunk = entries_[fitting - 1].chunk;
    erase(fitting - 1);
    checkIndex();
    return chunk;
}

void ChunkPool::keepAtCallEnd(ArenaChunk* chunks, std::size_t callPeakBytes) noexcept {
    ArenaChunk* surplus = nullptr;
    {
        std::lock_guard<SystemLock> lock(poolLock);
        recentPeaks_[callsEnded_ % kRecentCalls] = callPeakBytes;
        ++callsEnded_;
        while (chunks != nullptr) {
            ArenaChunk* next = chunks->next;
            insert(chunks, surplus);
            chunks = next;
        }
        const std::size_t target = keepTargetLocked();
        trim(target, surplus);
        checkIndex();
        PELZOR_INVARIANT(bytes_ <= target && target <= kPoolCap);
    }
    ArenaChunk::toSystem(surplus);
}

void ChunkPool::keepDuringCall(ArenaChunk* chunk) noexcept {
    ArenaChunk* surplus = nullptr;
    {
        std::lock_guard<SystemLock> lock(poolLock);
        insert(chunk, surplus);
        trim(capLeft(), surplus);
        checkIndex();
    }
    ArenaChunk::toSystem(surplus);
}

void ChunkPool::freeAll() noexcept {
    ArenaChunk* all = nullptr;
    {
        std::lock_guard<SystemLock> lock(poolLock);
        std::memset(recentPeaks_, 0, sizeof recentPeaks_);
        trim(0, all);
    }
    ArenaChunk::toSystem(all);
}

std::size_t ChunkPool::bytes() const noexcept {
    std::lock_guard<SystemLock> lock(poolLock);
    return bytes_;
}

std::size_t ChunkPool::keepTarget() const noexcept {
    std::lock_guard<SystemLock> lock(poolLock);
    return keepTargetLocked();
}

std::size_t ChunkPool::keepTargetLocked() const noexcept {
    std::size_t largest = 0;
    for (std::size_t peak : recentPeaks_) {
        largest = peak > largest ? peak : largest;
    }
    const std::size_t cap = capLeft();
    return largest < cap ? largest : cap;
}

// The cap less what the run map holds: its nodes stay from call to call as the chunks do.
std::size_t ChunkPool::capLeft() noexcept {
    const std::size_t mapBytes = run_map::bytes();
    return mapBytes < kPoolCap ? kPoolCap - mapBytes : 0;
}

// The number of entries with at least `bytes` of data: they come first.
std::size_t ChunkPool::countAtLeast(std::size_t bytes) const noexcept {
    std::size_t low = 0;
    std::size_t high = count_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (entries_[middle].dataBytes >= bytes) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

void ChunkPool::insert(ArenaChunk* chunk, ArenaChunk*& surplus) noexcept {
    if (count_ == kMostChunks) {
        chunk->next = surplus;
        surplus = chunk;
        return;
    }
    const std::size_t position = countAtLeast(chunk->dataBytes);
    std::memmove(entries_ + position + 1, entries_ + position, (count_ - position) * sizeof(Entry));
    entries_[position] = Entry{chunk->dataBytes, ++keptSoFar_, chunk};
    ++count_;
    bytes_ += chunk->totalBytes();
}

void ChunkPool::erase(std::size_t position) noexcept {
    bytes_ -= entries_[position].chunk->totalBytes();
    std::memmove(entries_ + position, entries_ + position + 1,
                 (count_ - position - 1) * sizeof(Entry));
    --count_;
}

// Drops the chunks that came back first until the pool holds at most `keepBytes`.
void ChunkPool::trim(std::size_t keepBytes, ArenaChunk*& surplus) noexcept {
    while (bytes_ > keepBytes) {
        std::size_t oldest = 0;
        for (std::size_t i = 1; i < count_; ++i) {
            if (entries_[i].cameBack < entries_[oldest].cameBack) {
                oldest = i;
            }
        }
        ArenaChunk* chunk = entries_[oldest].chunk;
        erase(oldest);
        chunk->next = surplus;
        surplus = chunk;
    }
}

void ChunkPool::checkIndex() const noexcept {
#if PELZOR_INVARIANTS_CHECKED
    std::size_t sum = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        PELZOR_INVARIANT(entries_[i].chunk->dataBytes == entries_[i].dataBytes);
        PELZOR_INVARIANT(i == 0 || entries_[i - 1].dataBytes >= entries_[i].dataBytes);
        PELZOR_INVARIANT(memory::isAligned(entries_[i].chunk->data()));
        sum += entries_[i].chunk->totalBytes();
    }
    PELZOR_INVARIANT(sum == bytes_);
#endif
}

}  // namespace pelzor
