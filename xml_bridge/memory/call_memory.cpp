// A call's region and the pool of chunks kept between calls, as call_memory.h describes them.
#include "call_memory.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <utility>

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

// A piece of a call's region or of the pool: this header, then `dataBytes` of data.
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
constexpr std::size_t kHeapAlignment = sizeof(void*) == 8 ? 16 : 8;
constexpr std::size_t kTagBytes = sizeof(std::uintptr_t);
constexpr std::size_t kLargestSmallBlock = CallMemory::kSizeClasses * kAlignment - kTagBytes;
// A small chunk's first tag stands this far in, so that the blocks behind the tags are aligned.
constexpr std::size_t kSmallLead = kAlignment - kTagBytes;
// A call's first small chunk; each next one is a quarter of what its small chunks hold so
// far (about 45 for 64 MiB; from 512 KiB the Windows heap gives them back when freed), at
// most 16 MiB: glibc maps every block from 32 MiB on its own.
constexpr std::size_t kFirstChunkBytes = 4096 - 64;  // with the headers, within 4 KiB
constexpr std::size_t kLargestChunkBytes = std::size_t{16} << 20;
constexpr std::size_t roundUp(std::size_t bytes) {
    return (bytes + kAlignment - 1) & ~(kAlignment - 1);
}
// `alignment` a power of two.
inline unsigned char* alignUp(unsigned char* address, std::size_t alignment) {
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    return address + (((value + alignment - 1) & ~(alignment - 1)) - value);
}
// The step of a small block: its tag and the block, rounded up to 16.
constexpr std::size_t stepOf(std::size_t bytes) {
    return roundUp(bytes + kTagBytes);
}
// A small block's tag is the address of its free list (the two low bits clear); a large
// block's is its call's address with kLargeBit set, its chunk in the word before the tag; a
// heap block's is kHeapTag, the heap's own address in the word before it.
constexpr std::uintptr_t kLargeBit = 1;
constexpr std::uintptr_t kHeapTag = 2;
constexpr std::uintptr_t kTagKindBits = 3;
inline std::uintptr_t& tagOf(void* block) {
    return static_cast<std::uintptr_t*>(block)[-1];
}
inline void*& startOf(void* block) {
    return static_cast<void**>(block)[-2];
}
// The pool: the kept chunks linked by `next`, smallest first (the first one large enough fits
// best, the largest go back first). Its lock is the system's own, ready before initialisers.
Chunk* pooledChunks = nullptr;
std::size_t pooled = 0;  // the kept chunks' bytes, headers included
RecentNeed recentNeed;
std::atomic<std::int64_t> needSpan{-1};  // the span of the clock the need was last taken in
#ifdef _WIN32
SRWLOCK poolLock = SRWLOCK_INIT;
struct Locked {
    Locked() { AcquireSRWLockExclusive(&poolLock); }
    ~Locked() { ReleaseSRWLockExclusive(&poolLock); }
    static bool tryLock() { return TryAcquireSRWLockExclusive(&poolLock) != 0; }
    static void unlock() { ReleaseSRWLockExclusive(&poolLock); }
};
std::int64_t millisecondsNow() noexcept {
    return static_cast<std::int64_t>(GetTickCount64());
}
#else
pthread_mutex_t poolLock = PTHREAD_MUTEX_INITIALIZER;
struct Locked {
    Locked() { pthread_mutex_lock(&poolLock); }
    ~Locked() { pthread_mutex_unlock(&poolLock); }
    static bool tryLock() { return pthread_mutex_trylock(&poolLock) == 0; }
    static void unlock() { pthread_mutex_unlock(&poolLock); }
};
std::int64_t millisecondsNow() noexcept {
    using std::chrono::milliseconds, std::chrono::steady_clock;
    return std::chrono::duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
#endif
// Where the pool's first chunk of `dataBytes` or more stands, or its end.
Chunk** firstAtLeast(std::size_t dataBytes) noexcept {
    Chunk** at = &pooledChunks;
    while (*at != nullptr && (*at)->dataBytes < dataBytes) {
        at = &(*at)->next;
    }
    return at;
}

// Keeps `chunks`, then gives the largest back until the pool holds `keepBytes`, or as a call
// ends (`keepBytes` its peak) or starts (0) what recent calls needed, within the ceiling.
bool keep(Chunk* chunks, std::size_t keepBytes, bool callEndsOrStarts = false) noexcept {
    const std::int64_t now = callEndsOrStarts ? millisecondsNow() : 0;
    Chunk* surplus = nullptr;
    {
        Locked lock;
        if (callEndsOrStarts) {
            keepBytes = std::min(recentNeed.afterCall(keepBytes, now), CallMemory::kPoolCeiling);
            needSpan.store(now / RecentNeed::kSpanMilliseconds, std::memory_order_relaxed);
        }
        for (Chunk* next; chunks != nullptr; chunks = next) {
            next = chunks->next;
            Chunk** at = firstAtLeast(chunks->dataBytes);
            chunks->next = std::exchange(*at, chunks);
            pooled += chunks->totalBytes();
        }
        if (pooled > keepBytes) {
            Chunk** cut = &pooledChunks;
            for (pooled = 0; pooled + (*cut)->totalBytes() <= keepBytes; cut = &(*cut)->next) {
                pooled += (*cut)->totalBytes();
            }
            surplus = std::exchange(*cut, nullptr);
        }
        std::size_t sum = 0;
        for (Chunk* chunk = pooledChunks; chunk != nullptr; chunk = chunk->next) {
            PELZOR_INVARIANT(chunk->next == nullptr || chunk->dataBytes <= chunk->next->dataBytes);
            sum += chunk->totalBytes();
        }
        PELZOR_INVARIANT(sum == pooled);
    }
    const bool gaveBack = surplus != nullptr;
    for (Chunk* next; surplus != nullptr; surplus = next) {
        next = surplus->next;
        heapFree(surplus->allocation);
    }
    return gaveBack;
}

// A block of the heap (no call open): its allocation in the word before the tag.
void* heapBlock(std::size_t bytes, std::size_t alignment) noexcept {
    const std::size_t lead = 2 * sizeof(void*) + alignment - kHeapAlignment;
    if (alignment > SIZE_MAX / 8 || bytes > SIZE_MAX - lead) {
        return nullptr;
    }
    auto* allocation = static_cast<unsigned char*>(heapAllocate(lead + bytes));
    if (allocation == nullptr) {
        return nullptr;
    }
    auto* block = alignUp(allocation + 2 * sizeof(void*), alignment);
    PELZOR_INVARIANT(block <= allocation + lead);  // within the slack
    startOf(block) = allocation;
    tagOf(block) = kHeapTag;
    return block;
}

// Everything goes back when the library unloads, unless the pool's lock is held: at process
// exit perhaps by a thread the system ended, which never lets it go.
struct Unload {
    ~Unload() {
        if (Locked::tryLock()) {
            Locked::unlock();
            keep(nullptr, 0);
        }
    }
} unload;

#ifdef _WIN32
struct SlotHolder {
    SlotHolder() noexcept { openCallSlot.acquire(); }
    ~SlotHolder() { openCallSlot.release(); }
} slotHolder;
#endif

}  // namespace

void* heapAllocate(std::size_t bytes) {
    return withIdleMemoryBack([=] { return systemAllocate(bytes); });
}
void* heapAllocateZeroed(std::size_t count, std::size_t size) {
    return withIdleMemoryBack([=] { return systemAllocateZeroed(count, size); });
}

// Initialised as a constant: in the Windows builds "no slot" until the holder above has taken
// one while the library initialises.
OpenCallSlot openCallSlot;

// A call in a later span of the clock than the need was last taken in trims the pool first.
CallMemory::CallMemory() noexcept : outer_(openCallSlot.get()) {
    const std::int64_t span = millisecondsNow() / RecentNeed::kSpanMilliseconds;
    if (span != needSpan.load(std::memory_order_relaxed)) {
        keep(nullptr, 0, true);
    }
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
    PELZOR_INVARIANT(reinterpret_cast<std::uintptr_t>(block) % kAlignment == 0);
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

void* CallMemory::allocateAligned(std::size_t bytes, std::size_t alignment) noexcept {
    if (alignment <= kAlignment) {
        return allocate(bytes);
    }
    CallMemory* call = openCallSlot.get();
    return call != nullptr ? call->takeLarge(bytes, alignment) : heapBlock(bytes, alignment);
}

// A heap block, a large block, or a small block from a new chunk of the call's next size (or
// any larger kept one: the call uses it all), else the smallest chunk that holds it.
void* CallMemory::allocateSlowly(CallMemory* call, std::size_t bytes) noexcept {
    if (call == nullptr) {
        return heapBlock(bytes, kAlignment);
    }
    if (bytes > kLargestSmallBlock) {
        return call->takeLarge(bytes, kAlignment);
    }
    const std::size_t step = stepOf(bytes);
    const std::size_t wanted =
        std::clamp(roundUp(call->smallBytes_ / 4), kFirstChunkBytes, kLargestChunkBytes);
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

// A block in a chunk of its own (a kept one up to twice the size serves).
void* CallMemory::takeLarge(std::size_t bytes, std::size_t alignment) noexcept {
    if (alignment > SIZE_MAX / 8 || bytes > SIZE_MAX / 2 - Chunk::kHeaderBytes - 2 * alignment) {
        return nullptr;
    }
    const std::size_t dataBytes = alignment + roundUp(bytes);
    Chunk* chunk = takeChunk(dataBytes, dataBytes * 2);
    if (chunk == nullptr) {
        return nullptr;
    }
    void* block = alignUp(chunk->data() + kAlignment, alignment);
    startOf(block) = chunk;
    tagOf(block) = reinterpret_cast<std::uintptr_t>(this) | kLargeBit;
    return block;
}

void CallMemory::releaseSlowly(void* block) noexcept {
    const std::uintptr_t tag = tagOf(block);
    if (tag == kHeapTag) {
        heapFree(startOf(block));
        return;
    }
    PELZOR_INVARIANT((tag & kTagKindBits) == kLargeBit);
    auto* call = reinterpret_cast<CallMemory*>(tag & ~kTagKindBits);
    PELZOR_INVARIANT(openOnThisThread(call));
    auto* chunk = static_cast<Chunk*>(startOf(block));
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
bool CallMemory::releasePool() noexcept {
    {
        Locked lock;
        recentNeed = RecentNeed();
    }
    return keep(nullptr, 0);
}
std::size_t CallMemory::pooledBytes() noexcept {
    Locked lock;
    return pooled;
}

// A chunk of `least` (far below SIZE_MAX / 2) to `most` data bytes from the pool, else from
// the system, linked into the call's list.
Chunk* CallMemory::takeChunk(std::size_t least, std::size_t most) noexcept {
    Chunk* chunk = nullptr;
    {
        Locked lock;
        Chunk** at = firstAtLeast(least);
        if (*at != nullptr && (*at)->dataBytes <= most) {
            chunk = std::exchange(*at, (*at)->next);
            pooled -= chunk->totalBytes();
        }
    }
    if (chunk == nullptr) {
        const std::size_t bytes = Chunk::kHeaderBytes + least + kAlignment - kHeapAlignment;
        auto* allocation = static_cast<unsigned char*>(heapAllocate(bytes));
        if (allocation == nullptr) {
            return nullptr;
        }
        chunk = reinterpret_cast<Chunk*>(alignUp(allocation, kAlignment));
        PELZOR_INVARIANT(chunk->data() + least <= allocation + bytes);  // within the slack
        chunk->dataBytes = least;
        chunk->allocation = allocation;
    }
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
