// The chunks, the pool that keeps them between calls, and the thread's slot.
#include <cstring>

#include "internals.h"

#ifndef _WIN32
#include <pthread.h>
#endif

namespace pelzor {

Chunk* Chunk::fromSystem(std::size_t dataBytes) noexcept {
    // The slack lets the header start aligned where the heap aligns to less.
    if (dataBytes > SIZE_MAX - kHeaderBytes - kHeapSlack) {
        return nullptr;
    }
    auto* allocation =
        static_cast<unsigned char*>(heapAllocate(kHeaderBytes + dataBytes + kHeapSlack));
    if (allocation == nullptr) {
        return nullptr;
    }
    auto* chunk = reinterpret_cast<Chunk*>(alignUp(allocation));
    chunk->dataBytes = dataBytes;
    chunk->allocation = allocation;
    return chunk;
}

void Chunk::toSystem(Chunk* chunks) noexcept {
    while (chunks != nullptr) {
        Chunk* next = chunks->next;
        heapFree(chunks->allocation);
        chunks = next;
    }
}

namespace {

// The kept chunks by data size, smallest first, in an array of their own, so that finding one
// reads no chunk's header. A call within the ceiling needs far fewer entries; a chunk that
// finds no room goes back to the system.
struct Entry {
    std::size_t dataBytes;
    Chunk* chunk;
};
constexpr std::size_t kMostChunks = 512;
// The pool's lock, of the system's own: all zero bytes at load, so it works before any
// initialiser has run, and it brings none of the C++ runtime's error reporting into the DLL.
#ifdef _WIN32
SRWLOCK poolLock = SRWLOCK_INIT;
struct Locked {
    Locked() { AcquireSRWLockExclusive(&poolLock); }
    ~Locked() { ReleaseSRWLockExclusive(&poolLock); }
};
#else
pthread_mutex_t poolLock = PTHREAD_MUTEX_INITIALIZER;
struct Locked {
    Locked() { pthread_mutex_lock(&poolLock); }
    ~Locked() { pthread_mutex_unlock(&poolLock); }
};
#endif
Entry entries[kMostChunks];
std::size_t count = 0;
std::size_t pooled = 0;  // the kept chunks' bytes, headers included
std::size_t recentPeaks[CallMemory::kRecentCalls];
std::size_t nextPeak = 0;

std::size_t countBelow(std::size_t dataBytes) {
    std::size_t at = 0;
    while (at < count && entries[at].dataBytes < dataBytes) {
        ++at;
    }
    return at;
}

void keepLocked(Chunk* chunk, Chunk*& surplus) {
    if (count == kMostChunks) {
        chunk->next = surplus;
        surplus = chunk;
        return;
    }
    const std::size_t at = countBelow(chunk->dataBytes);
    std::memmove(entries + at + 1, entries + at, (count - at) * sizeof(Entry));
    entries[at] = Entry{chunk->dataBytes, chunk};
    ++count;
    pooled += chunk->totalBytes();
}

// Gives up the largest chunks until the pool holds at most `keepBytes`: the smaller ones serve
// the next calls as well, and the Windows heap would keep them committed anyway.
void trim(std::size_t keepBytes, Chunk*& surplus) {
    while (pooled > keepBytes) {
        Chunk* chunk = entries[--count].chunk;
        pooled -= chunk->totalBytes();
        chunk->next = surplus;
        surplus = chunk;
    }
    std::size_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        PELZOR_INVARIANT(entries[i].chunk->dataBytes == entries[i].dataBytes);
        PELZOR_INVARIANT(i == 0 || entries[i - 1].dataBytes <= entries[i].dataBytes);
        sum += entries[i].chunk->totalBytes();
    }
    PELZOR_INVARIANT(sum == pooled);
}

// Everything goes back when the library unloads.
struct Unload {
    ~Unload() { pool::keep(nullptr, 0); }
} unload;

}  // namespace

namespace pool {

Chunk* take(std::size_t least, std::size_t most) noexcept {
    Locked lock;
    const std::size_t at = countBelow(least);
    if (at == count || entries[at].dataBytes > most) {
        return nullptr;
    }
    Chunk* chunk = entries[at].chunk;
    pooled -= chunk->totalBytes();
    --count;
    std::memmove(entries + at, entries + at + 1, (count - at) * sizeof(Entry));
    return chunk;
}

void keep(Chunk* chunks, std::size_t keepBytes) noexcept {
    Chunk* surplus = nullptr;
    {
        Locked lock;
        while (chunks != nullptr) {
            Chunk* next = chunks->next;
            keepLocked(chunks, surplus);
            chunks = next;
        }
        trim(keepBytes, surplus);
    }
    Chunk::toSystem(surplus);
}

void keepAtCallEnd(Chunk* chunks, std::size_t callPeakBytes) noexcept {
    std::size_t target = 0;
    {
        Locked lock;
        recentPeaks[nextPeak] = callPeakBytes;
        nextPeak = (nextPeak + 1) % CallMemory::kRecentCalls;
        for (std::size_t peak : recentPeaks) {
            target = peak > target ? peak : target;
        }
    }
    keep(chunks, target < CallMemory::kPoolCeiling ? target : CallMemory::kPoolCeiling);
}

std::size_t bytes() noexcept {
    Locked lock;
    return pooled;
}

}  // namespace pool

#ifdef _WIN32
// "No slot" until the holder below has taken one while the library initialises.
__constinit OpenCallSlot openCallSlot;

namespace {
struct SlotHolder {
    SlotHolder() noexcept { openCallSlot.acquire(); }
    ~SlotHolder() { openCallSlot.release(); }
} slotHolder;
}  // namespace
#else
OpenCallSlot openCallSlot;
#endif

}  // namespace pelzor
