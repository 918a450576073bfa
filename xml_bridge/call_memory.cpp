#include "call_memory.h"

#ifdef _WIN32
#include <windows.h>

#include <winternl.h>
#endif

#include <cstdint>
#include <cstring>
#include <mutex>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "heap.h"

namespace pelzor {

// A piece of a call's arena, or of the pool: a header, then the data. A large chunk holds
// exactly one block; a small chunk holds many. A call links its chunks in a list.
struct ArenaChunk {
    ArenaChunk* previous;
    ArenaChunk* next;
    std::size_t dataBytes;

    unsigned char* data() { return reinterpret_cast<unsigned char*>(this) + kHeaderBytes; }
    std::size_t totalBytes() const { return kHeaderBytes + dataBytes; }

    // The header keeps the data aligned like the heap's own blocks.
    static constexpr std::size_t kHeaderBytes = 32;
};
static_assert(sizeof(ArenaChunk) <= ArenaChunk::kHeaderBytes, "the chunk header must fit");

namespace {

constexpr std::size_t kGranule = 8;
// Each block is preceded by one granule whose last word, the block's tag, says where the
// block goes back:
//  - a small block of an arena: the address of the free list of its size in its call (the
//    lists are word-aligned, so the two low bits are clear);
//  - a large block: its call's address with the low bit set; its chunk lies in front;
//  - a block of the library's heap: kHeapTag.
constexpr std::size_t kTagBytes = kGranule;
constexpr std::uintptr_t kLargeBit = 1;
constexpr std::uintptr_t kHeapTag = 2;
constexpr std::uintptr_t kTagKindBits = 3;
static_assert(alignof(void*) >= 4, "free-list addresses must leave two tag bits clear");
// A block of the heap keeps the heap's own alignment behind its tag.
constexpr std::size_t kHeapHeaderBytes = 16;

std::uintptr_t& tagOf(void* block) {
    return static_cast<std::uintptr_t*>(block)[-1];
}

// Small chunks start small, so that a call on a small document takes little, and then grow
// by a sixteenth of what the arena holds, so that the unused end of the newest one stays a
// small part of the whole.
constexpr std::size_t kFirstChunkBytes = 4096;

std::size_t nextChunkBytes(std::size_t smallBytes, std::size_t blockBytes) {
    const std::size_t growth = smallBytes / 16 / kGranule * kGranule;
    const std::size_t chunkBytes = growth > kFirstChunkBytes ? growth : kFirstChunkBytes;
    return chunkBytes > blockBytes ? chunkBytes : blockBytes;
}

// Guards the pool: the system's own lock, which needs no set-up (all zero bytes at load, like
// the pool, so neither takes room in the DLL's image) and, unlike std::mutex, brings none of
// the C++ runtime's error reporting into the DLL.
class PoolLock {
public:
    void lock() noexcept {
#ifdef _WIN32
        AcquireSRWLockExclusive(&lock_);
#else
        pthread_mutex_lock(&lock_);
#endif
    }
    void unlock() noexcept {
#ifdef _WIN32
        ReleaseSRWLockExclusive(&lock_);
#else
        pthread_mutex_unlock(&lock_);
#endif
    }

private:
#ifdef _WIN32
    SRWLOCK lock_ = SRWLOCK_INIT;
#else
    pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
#endif
};

PoolLock poolLock;

// The chunks of finished calls, kept for the next calls on any thread. They are indexed by
// size in a small array of their own, so that finding one reads neither the chunks nor
// their pages; each entry remembers when its chunk came back, so that the oldest go first
// when the pool holds more than its bound.
class ChunkPool {
public:
    ChunkPool() = default;
    ~ChunkPool() { freeAll(); }

    ChunkPool(const ChunkPool&) = delete;
    ChunkPool& operator=(const ChunkPool&) = delete;

    // The smallest kept chunk with between `least` and `most` data bytes, or null.
    ArenaChunk* take(std::size_t least, std::size_t most) noexcept {
        std::lock_guard<PoolLock> lock(poolLock);
        const std::size_t fitting = countAtLeast(least);
        if (fitting == 0 || entries_[fitting - 1].dataBytes > most) {
            return nullptr;
        }
        ArenaChunk* chunk = entries_[fitting - 1].chunk;
        erase(fitting - 1);
        return chunk;
    }

    // Keeps the chunks of a call that ends (a list linked by `next`). The pool then holds
    // at most the largest peak of any one call so far, within the ceiling.
    void keepAtCallEnd(ArenaChunk* chunks, std::size_t callPeakBytes) noexcept {
        ArenaChunk* surplus = nullptr;
        {
            std::lock_guard<PoolLock> lock(poolLock);
            if (callPeakBytes > largestPeak_) {
                largestPeak_ = callPeakBytes;
            }
            while (chunks != nullptr) {
                ArenaChunk* next = chunks->next;
                insert(chunks, surplus);
                chunks = next;
            }
            trim(largestPeak_ < kCeiling ? largestPeak_ : kCeiling, surplus);
        }
        freeList(surplus);
    }

    // Keeps a large block's chunk freed during a call, within the ceiling.
    void keepDuringCall(ArenaChunk* chunk) noexcept {
        ArenaChunk* surplus = nullptr;
        {
            std::lock_guard<PoolLock> lock(poolLock);
            insert(chunk, surplus);
            trim(kCeiling, surplus);
        }
        freeList(surplus);
    }

    void freeAll() noexcept {
        ArenaChunk* all = nullptr;
        {
            std::lock_guard<PoolLock> lock(poolLock);
            largestPeak_ = 0;
            while (count_ != 0) {
                drop(count_ - 1, all);
            }
        }
        freeList(all);
    }

    std::size_t bytes() noexcept {
        std::lock_guard<PoolLock> lock(poolLock);
        return bytes_;
    }

private:
    static constexpr std::size_t kCeiling = CallMemory::kPoolCeiling;
    // More chunks than any call within the ceiling takes (the small chunks grow by a
    // sixteenth); a chunk that finds no room goes back to the system.
    static constexpr std::size_t kMostChunks = 1024;

    struct Entry {
        std::size_t dataBytes;
        std::size_t cameBack;  // the pool's count of chunks kept when this one came
        ArenaChunk* chunk;
    };

    static void freeList(ArenaChunk* chunk) noexcept {
        while (chunk != nullptr) {
            ArenaChunk* next = chunk->next;
            heapFree(chunk);
            chunk = next;
        }
    }

    // The number of entries with at least `bytes` of data: they come first.
    std::size_t countAtLeast(std::size_t bytes) const noexcept {
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

    void insert(ArenaChunk* chunk, ArenaChunk*& surplus) noexcept {
        if (count_ == kMostChunks) {
            chunk->next = surplus;
            surplus = chunk;
            return;
        }
        const std::size_t position = countAtLeast(chunk->dataBytes);
        std::memmove(entries_ + position + 1, entries_ + position,
                     (count_ - position) * sizeof(Entry));
        entries_[position] = Entry{chunk->dataBytes, ++keptSoFar_, chunk};
        ++count_;
        bytes_ += chunk->totalBytes();
    }

    void erase(std::size_t position) noexcept {
        bytes_ -= entries_[position].chunk->totalBytes();
        std::memmove(entries_ + position, entries_ + position + 1,
                     (count_ - position - 1) * sizeof(Entry));
        --count_;
    }

    void drop(std::size_t position, ArenaChunk*& surplus) noexcept {
        ArenaChunk* chunk = entries_[position].chunk;
        erase(position);
        chunk->next = surplus;
        surplus = chunk;
    }

    // Drops the chunks that came back first until the pool holds at most `keepBytes`.
    void trim(std::size_t keepBytes, ArenaChunk*& surplus) noexcept {
        while (bytes_ > keepBytes) {
            std::size_t oldest = 0;
            for (std::size_t i = 1; i < count_; ++i) {
                if (entries_[i].cameBack < entries_[oldest].cameBack) {
                    oldest = i;
                }
            }
            drop(oldest, surplus);
        }
    }

    // By size, largest first: the many small chunks of small calls sit at the end, where
    // taking and keeping them moves few entries.
    Entry entries_[kMostChunks] = {};
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;        // the kept chunks' bytes, headers included
    std::size_t keptSoFar_ = 0;    // chunks kept since the library loaded
    std::size_t largestPeak_ = 0;  // the most any one call held at once
};

ChunkPool pool;

// The call open on this thread, if any. Set only while an export runs, so nothing of it
// outlives a call. It is read on every allocation: in the Windows builds a thread_local
// variable is emulated by the C++ runtime with a locked lookup per access, so the system's
// own thread-local slot holds it there.
#ifdef _WIN32
class OpenCallSlot {
public:
    OpenCallSlot() noexcept : index_(TlsAlloc()) {}
    ~OpenCallSlot() {
        if (index_ != TLS_OUT_OF_INDEXES) {
            TlsFree(index_);
        }
    }
    OpenCallSlot(const OpenCallSlot&) = delete;
    OpenCallSlot& operator=(const OpenCallSlot&) = delete;

    // The first 64 slots lie in the thread's own block (TEB), where TlsGetValue reads them.
    CallMemory* get() const noexcept {
        if (index_ < TLS_MINIMUM_AVAILABLE) {
            return static_cast<CallMemory*>(NtCurrentTeb()->TlsSlots[index_]);
        }
        return index_ != TLS_OUT_OF_INDEXES ? static_cast<CallMemory*>(TlsGetValue(index_))
                                            : fallback;
    }
    void set(CallMemory* call) noexcept {
        if (index_ != TLS_OUT_OF_INDEXES) {
            TlsSetValue(index_, call);
        } else {
            fallback = call;
        }
    }

private:
    DWORD index_;
    // Only when the system has no slot left for the library.
    static thread_local CallMemory* fallback;
};
thread_local CallMemory* OpenCallSlot::fallback = nullptr;

OpenCallSlot openCallSlot;

CallMemory* openCall() {
    return openCallSlot.get();
}
void setOpenCall(CallMemory* call) {
    openCallSlot.set(call);
}
#else
thread_local CallMemory* openCallOfThread = nullptr;

CallMemory* openCall() {
    return openCallOfThread;
}
void setOpenCall(CallMemory* call) {
    openCallOfThread = call;
}
#endif

}  // namespace

CallMemory::CallMemory() noexcept : outer_(openCall()) {
    setOpenCall(this);
}

CallMemory::~CallMemory() {
    pool.keepAtCallEnd(chunks_, peakBytes_);
    setOpenCall(outer_);
}

// A small block from the free list of its size or from the bump pointer of the newest
// chunk; null when the list is empty and the chunk has no room left.
[[gnu::always_inline]] inline void* CallMemory::takeSmallInPlace(std::size_t granules) noexcept {
    void*& freeBlock = freeBlocks_[granules];
    if (freeBlock != nullptr) {
        void* block = freeBlock;
        freeBlock = *static_cast<void**>(block);
        return block;
    }
    const std::size_t step = kTagBytes + granules * kGranule;
    if (static_cast<std::size_t>(limit_ - cursor_) < step) {
        return nullptr;
    }
    void* block = cursor_ + kTagBytes;
    cursor_ += step;
    tagOf(block) = reinterpret_cast<std::uintptr_t>(&freeBlock);
    return block;
}

// The common cases (a small block from a free list or the bump pointer, a small block
// given back) stay short enough to need no saved registers; everything else is out of line.
void* CallMemory::allocate(std::size_t bytes) noexcept {
    CallMemory* call = openCall();
    if (call != nullptr && bytes - 1 < (kSmallGranules - 1) * kGranule) {
        if (void* block = call->takeSmallInPlace((bytes + kGranule - 1) / kGranule)) {
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
    if ((tag & kTagKindBits) == 0) {
        void*& freeBlock = *reinterpret_cast<void**>(tag);
        *static_cast<void**>(block) = freeBlock;
        freeBlock = block;
        return;
    }
    releaseOutOfLine(block, tag);
}

void* CallMemory::allocateOutOfLine(CallMemory* call, std::size_t bytes) noexcept {
    if (call == nullptr) {
        if (bytes > SIZE_MAX - kHeapHeaderBytes) {
            return nullptr;
        }
        auto* base = static_cast<unsigned char*>(heapAllocate(kHeapHeaderBytes + bytes));
        if (base == nullptr) {
            return nullptr;
        }
        void* block = base + kHeapHeaderBytes;
        tagOf(block) = kHeapTag;
        return block;
    }
    if (bytes > (kSmallGranules - 1) * kGranule) {
        return call->allocateLarge(bytes);
    }
    const std::size_t granules = bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule;
    if (void* block = call->takeSmallInPlace(granules)) {
        return block;
    }
    return call->refillAndTake(granules);
}

void CallMemory::releaseOutOfLine(void* block, std::uintptr_t tag) noexcept {
    if (tag == kHeapTag) {
        heapFree(static_cast<unsigned char*>(block) - kHeapHeaderBytes);
    } else {
        auto* call = reinterpret_cast<CallMemory*>(tag & ~kTagKindBits);
        call->releaseLarge(reinterpret_cast<ArenaChunk*>(static_cast<unsigned char*>(block) -
                                                         kTagBytes - ArenaChunk::kHeaderBytes));
    }
}

void CallMemory::releasePool() noexcept {
    pool.freeAll();
}

std::size_t CallMemory::pooledBytes() noexcept {
    return pool.bytes();
}

void* CallMemory::refillAndTake(std::size_t granules) noexcept {
    const std::size_t step = kTagBytes + granules * kGranule;
    const std::size_t wanted = nextChunkBytes(smallBytes_, step);
    // Any kept chunk from the wanted size up serves: the arena uses all of it.
    ArenaChunk* chunk = takeChunk(wanted, SIZE_MAX);
    if (chunk == nullptr) {
        return nullptr;
    }
    smallBytes_ += chunk->dataBytes;
    cursor_ = chunk->data();
    limit_ = cursor_ + chunk->dataBytes;
    return takeSmallInPlace(granules);
}

void* CallMemory::allocateLarge(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX / 2 - ArenaChunk::kHeaderBytes - kTagBytes) {
        return nullptr;
    }
    const std::size_t dataBytes = kTagBytes + (bytes + kGranule - 1) / kGranule * kGranule;
    // A kept chunk up to twice the size, so that a large chunk is not spent on a small block.
    ArenaChunk* chunk = takeChunk(dataBytes, dataBytes * 2);
    if (chunk == nullptr) {
        return nullptr;
    }
    void* block = chunk->data() + kTagBytes;
    tagOf(block) = reinterpret_cast<std::uintptr_t>(this) | kLargeBit;
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
    pool.keepDuringCall(chunk);
}

ArenaChunk* CallMemory::takeChunk(std::size_t dataBytes, std::size_t mostBytes) noexcept {
    ArenaChunk* chunk = pool.take(dataBytes, mostBytes);
    if (chunk == nullptr) {
        chunk = static_cast<ArenaChunk*>(heapAllocate(ArenaChunk::kHeaderBytes + dataBytes));
        if (chunk == nullptr) {
            return nullptr;
        }
        chunk->dataBytes = dataBytes;
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

}  // namespace pelzor
