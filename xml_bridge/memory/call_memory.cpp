// A call's region and the pool of chunks kept between calls (both described in
// call_memory.h, with their invariants).
#include "call_memory.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "internals.h"

#ifndef _WIN32
#include <pthread.h>
#endif

#if !defined(NDEBUG) || defined(PELZOR_CHECK_INVARIANTS)
#include <cstdio>
#include <cstdlib>
// Ends the program with the broken condition, in the debug and sanitizer builds only.
#define PELZOR_INVARIANT(condition)                                                                \
    ((condition)                                                                                   \
         ? void()                                                                                  \
         : (std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition), \
            std::abort()))
#else
#define PELZOR_INVARIANT(condition) static_cast<void>(false && (condition))
#endif

namespace pelzor {

// A piece of a call's region or of the pool: this header, then `dataBytes` of data aligned
// to 16 (a large chunk's one block 16 bytes in).
struct Chunk {
    Chunk* previous;
    Chunk* next;
    std::size_t dataBytes;
    void* allocation;  // what the heap handed out

    static constexpr std::size_t kHeaderBytes = 4 * sizeof(void*);
    unsigned char* data() { return reinterpret_cast<unsigned char*>(this) + kHeaderBytes; }
    std::size_t totalBytes() const { return kHeaderBytes + dataBytes; }
};

namespace {

constexpr std::size_t kAlignment = 16;
static_assert(Chunk::kHeaderBytes % kAlignment == 0, "chunk data must stay aligned");
// What malloc aligns to: 16 in the 64-bit builds, 8 in the 32-bit ones (msvcrt).
constexpr std::size_t kHeapSlack = kAlignment - (sizeof(void*) == 8 ? 16 : 8);
constexpr std::size_t kTagBytes = sizeof(std::uintptr_t);
constexpr std::size_t kLargestSmallBlock = CallMemory::kSizeClasses * kAlignment - kTagBytes;
// A small chunk's first tag stands this far in, so that the blocks behind the tags are aligned.
constexpr std::size_t kSmallLead = kAlignment - kTagBytes;
// A call's first small chunk; each next one is a quarter of what its small chunks hold so
// far: few chunks (about 45 for 64 MiB), little unused, and a large call's chunks large
// enough (from 512 KiB or 1 MiB) for the Windows heap to give them back when freed. At most
// 16 MiB: glibc maps every block from 32 MiB on its own.
constexpr std::size_t kFirstChunkBytes = 4096 - 64;  // with the headers, within 4 KiB
constexpr std::size_t kLargestChunkBytes = std::size_t{16} << 20;
constexpr unsigned kGrowthShift = 2;
// A heap block: the heap's own address and the tag in front of the aligned block.
constexpr std::size_t kHeapLead = 2 * sizeof(void*) + kHeapSlack;

constexpr std::size_t roundUp(std::size_t bytes) {
    return (bytes + kAlignment - 1) & ~(kAlignment - 1);
}
inline unsigned char* alignUp(unsigned char* address) {
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    return address + (roundUp(value) - value);
}
inline bool isAligned(const void* address) {
    return reinterpret_cast<std::uintptr_t>(address) % kAlignment == 0;
}
// The step of a small block: its tag and the block, rounded up to 16.
constexpr std::size_t stepOf(std::size_t bytes) {
    return roundUp(bytes + kTagBytes);
}

// A small block's tag is the address of its free list (the two low bits clear); a large
// block's is its call's address with kLargeBit set, its chunk right in front; a heap block's
// is kHeapTag, the heap's own address in the word before it.
constexpr std::uintptr_t kLargeBit = 1;
constexpr std::uintptr_t kHeapTag = 2;
constexpr std::uintptr_t kTagKindBits = 3;
inline std::uintptr_t& tagOf(void* block) {
    return static_cast<std::uintptr_t*>(block)[-1];
}
inline void*& heapAllocationOf(void* block) {
    return static_cast<void**>(block)[-2];
}

// The pool: the kept chunks by data size, smallest first, in an array of their own so that
// finding one reads no chunk's header (a chunk that finds no room goes back to the system).
// Its lock is the system's own: ready before any initialiser has run.
struct Entry {
    std::size_t dataBytes;
    Chunk* chunk;
};
constexpr std::size_t kMostChunks = 512;
Entry entries[kMostChunks];
std::size_t count = 0;
std::size_t pooled = 0;  // the kept chunks' bytes, headers included
RecentNeed recentNeed;
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

std::int64_t millisecondsNow() noexcept {
    using std::chrono::milliseconds, std::chrono::steady_clock;
    return std::chrono::duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::size_t countBelow(std::size_t dataBytes) {
    auto below = [=](const Entry& entry) { return entry.dataBytes < dataBytes; };
    return std::partition_point(entries, entries + count, below) - entries;
}

// Keeps `chunks` (linked by `next`), then gives the largest kept chunks back to the system
// until the pool holds at most `keepBytes`, or at a call's end (`keepBytes` its peak) what
// recent calls needed, within the ceiling. The Windows heap would keep small ones committed.
void keep(Chunk* chunks, std::size_t keepBytes, bool callEnded = false) noexcept {
    const std::int64_t now = callEnded ? millisecondsNow() : 0;
    Chunk* surplus = nullptr;
    {
        Locked lock;
        if (callEnded) {
            keepBytes = std::min(recentNeed.afterCall(keepBytes, now), CallMemory::kPoolCeiling);
        }
        for (Chunk* next; chunks != nullptr; chunks = next) {
            next = chunks->next;
            if (count == kMostChunks) {
                chunks->next = surplus;
                surplus = chunks;
                continue;
            }
            const std::size_t at = countBelow(chunks->dataBytes);
            std::memmove(entries + at + 1, entries + at, (count - at) * sizeof(Entry));
            entries[at] = Entry{chunks->dataBytes, chunks};
            ++count;
            pooled += chunks->totalBytes();
        }
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
    for (Chunk* next; surplus != nullptr; surplus = next) {
        next = surplus->next;
        heapFree(surplus->allocation);
    }
}

// A new chunk, or null; `dataBytes` is far below SIZE_MAX / 2. The slack lets the header
// start aligned where the heap aligns to less. When the system refuses, the pool's idle chunks
// go back to it and it is asked once more.
Chunk* chunkFromSystem(std::size_t dataBytes) noexcept {
    const std::size_t bytes = Chunk::kHeaderBytes + dataBytes + kHeapSlack;
    auto* allocation = static_cast<unsigned char*>(heapAllocate(bytes));
    if (allocation == nullptr && CallMemory::pooledBytes() != 0) {
        keep(nullptr, 0);
        allocation = static_cast<unsigned char*>(heapAllocate(bytes));
    }
    if (allocation == nullptr) {
        return nullptr;
    }
    auto* chunk = reinterpret_cast<Chunk*>(alignUp(allocation));
    chunk->dataBytes = dataBytes;
    chunk->allocation = allocation;
    return chunk;
}

// Everything goes back when the library unloads.
struct Unload {
    ~Unload() { keep(nullptr, 0); }
} unload;

}  // namespace

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

CallMemory::CallMemory() noexcept : outer_(openCallSlot.get()) {
    inSlot_ = openCallSlot.set(this);
}

CallMemory::~CallMemory() {
    PELZOR_INVARIANT(!inSlot_ || openCallSlot.get() == this);
    keep(chunks_, peakBytes_, true);
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

// The common cases (a small block taken or given back) save no registers; the rest is apart.
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

// A heap block, a large block, or a small block from a new chunk of the call's next size (or
// any larger kept one: the call uses it all), else the smallest chunk that holds it.
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
        if (bytes > SIZE_MAX / 2 - Chunk::kHeaderBytes - 2 * kAlignment) {
            return nullptr;
        }
        // 16 bytes into the data; a kept chunk up to twice the size serves.
        const std::size_t dataBytes = kAlignment + roundUp(bytes);
        Chunk* chunk = call->takeChunk(dataBytes, dataBytes * 2);
        if (chunk == nullptr) {
            return nullptr;
        }
        void* block = chunk->data() + kAlignment;
        tagOf(block) = reinterpret_cast<std::uintptr_t>(call) | kLargeBit;
        return block;
    }
    const std::size_t step = stepOf(bytes);
    const std::size_t wanted = std::clamp(roundUp(call->smallBytes_ >> kGrowthShift),
                                          kFirstChunkBytes, kLargestChunkBytes);
    Chunk* chunk = call->takeChunk(wanted, SIZE_MAX);
    chunk = chunk != nullptr ? chunk : call->takeChunk(kSmallLead + step, SIZE_MAX);
    if (chunk == nullptr) {
        return nullptr;
    }
    call->smallBytes_ += chunk->dataBytes;
    call->cursor_ = chunk->data() + kSmallLead;
    call->limit_ = chunk->data() + chunk->dataBytes;
    return call->takeSmall(step);
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
    keep(chunk, kPoolCeiling);
}

bool CallMemory::operatorNewTakesFromCall() noexcept {
    return libraryOperatorNewLinked() && openCallSlot.get() != nullptr;
}

void CallMemory::releasePool() noexcept {
    {
        Locked lock;
        recentNeed = RecentNeed();
    }
    keep(nullptr, 0);
}

std::size_t CallMemory::pooledBytes() noexcept {
    Locked lock;
    return pooled;
}

// A chunk of `least` to `most` data bytes from the pool, else `least` from the system, linked
// into the call's list.
Chunk* CallMemory::takeChunk(std::size_t least, std::size_t most) noexcept {
    Chunk* chunk = nullptr;
    {
        Locked lock;
        const std::size_t at = countBelow(least);
        if (at < count && entries[at].dataBytes <= most) {
            chunk = entries[at].chunk;
            pooled -= chunk->totalBytes();
            --count;
            std::memmove(entries + at, entries + at + 1, (count - at) * sizeof(Entry));
        }
    }
    chunk = chunk != nullptr ? chunk : chunkFromSystem(least);
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
    peakBytes_ = std::max(peakBytes_, heldBytes_);
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
