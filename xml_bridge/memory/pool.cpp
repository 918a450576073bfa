// The chunks, the pool that keeps them between calls, and the thread's slot.
#include <cstring>
#include <mutex>

#include "internals.h"

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

// The kept chunks by data size, smallest first, in an array of their own, so that finding
// one reads no chunk's header. A chunk that finds no room goes back to the system: a call
// within the ceiling needs far fewer.
class Pool {
public:
    ~Pool() { pool::freeAll(true); }

    SystemLock lock;

    Chunk* take(std::size_t least, std::size_t most) noexcept {
        const std::size_t at = countBelow(least);
        if (at == count_ || entries_[at].dataBytes > most) {
            return nullptr;
        }
        Chunk* chunk = entries_[at].chunk;
        bytes_ -= chunk->totalBytes();
        --count_;
        std::memmove(entries_ + at, entries_ + at + 1, (count_ - at) * sizeof(Entry));
        return chunk;
    }

    void keep(Chunk* chunk, Chunk*& surplus) noexcept {
        if (count_ == kMostChunks) {
            chunk->next = surplus;
            surplus = chunk;
            return;
        }
        const std::size_t at = countBelow(chunk->dataBytes);
        std::memmove(entries_ + at + 1, entries_ + at, (count_ - at) * sizeof(Entry));
        entries_[at] = Entry{chunk->dataBytes, chunk};
        ++count_;
        bytes_ += chunk->totalBytes();
    }

    // Gives up the largest chunks until the pool holds at most `keepBytes`: the smaller ones
    // serve the next calls as well, and the Windows heap keeps them committed anyway.
    void trim(std::size_t keepBytes, Chunk*& surplus) noexcept {
        while (bytes_ > keepBytes) {
            Chunk* chunk = entries_[--count_].chunk;
            bytes_ -= chunk->totalBytes();
            chunk->next = surplus;
            surplus = chunk;
        }
        std::size_t sum = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            PELZOR_INVARIANT(entries_[i].chunk->dataBytes == entries_[i].dataBytes);
            PELZOR_INVARIANT(i == 0 || entries_[i - 1].dataBytes <= entries_[i].dataBytes);
            sum += entries_[i].chunk->totalBytes();
        }
        PELZOR_INVARIANT(sum == bytes_);
    }

    // Notes a call's peak; what the pool keeps is the largest of the last few calls'.
    std::size_t keepTarget(std::size_t callPeakBytes) noexcept {
        recentPeaks_[nextPeak_] = callPeakBytes;
        nextPeak_ = (nextPeak_ + 1) % CallMemory::kRecentCalls;
        std::size_t largest = 0;
        for (std::size_t peak : recentPeaks_) {
            largest = peak > largest ? peak : largest;
        }
        return largest < CallMemory::kPoolCeiling ? largest : CallMemory::kPoolCeiling;
    }

    void forgetCalls() noexcept { std::memset(recentPeaks_, 0, sizeof recentPeaks_); }
    std::size_t bytes() const noexcept { return bytes_; }

private:
    static constexpr std::size_t kMostChunks = 512;
    struct Entry {
        std::size_t dataBytes;
        Chunk* chunk;
    };

    std::size_t countBelow(std::size_t bytes) const noexcept {
        std::size_t low = 0;
        std::size_t high = count_;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (entries_[middle].dataBytes < bytes) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return low;
    }

    Entry entries_[kMostChunks] = {};
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;  // the kept chunks' bytes, headers included
    std::size_t recentPeaks_[CallMemory::kRecentCalls] = {};
    std::size_t nextPeak_ = 0;
};

Pool thePool;

}  // namespace

namespace pool {

Chunk* take(std::size_t least, std::size_t most) noexcept {
    std::lock_guard<SystemLock> lock(thePool.lock);
    return thePool.take(least, most);
}

void keepAtCallEnd(Chunk* chunks, std::size_t callPeakBytes) noexcept {
    Chunk* surplus = nullptr;
    {
        std::lock_guard<SystemLock> lock(thePool.lock);
        while (chunks != nullptr) {
            Chunk* next = chunks->next;
            thePool.keep(chunks, surplus);
            chunks = next;
        }
        thePool.trim(thePool.keepTarget(callPeakBytes), surplus);
    }
    Chunk::toSystem(surplus);
}

void keepDuringCall(Chunk* chunk) noexcept {
    Chunk* surplus = nullptr;
    {
        std::lock_guard<SystemLock> lock(thePool.lock);
        thePool.keep(chunk, surplus);
        thePool.trim(CallMemory::kPoolCeiling, surplus);
    }
    Chunk::toSystem(surplus);
}

void freeAll(bool forgetCalls) noexcept {
    Chunk* all = nullptr;
    {
        std::lock_guard<SystemLock> lock(thePool.lock);
        if (forgetCalls) {
            thePool.forgetCalls();
        }
        thePool.trim(0, all);
    }
    Chunk::toSystem(all);
}

std::size_t bytes() noexcept {
    std::lock_guard<SystemLock> lock(thePool.lock);
    return thePool.bytes();
}

}  // namespace pool

#ifdef _WIN32

namespace {
// Stands in for the system's slot only when TlsAlloc found none left.
thread_local CallMemory* openCallWithoutSlot = nullptr;
}  // namespace

void OpenCallSlot::acquire() noexcept {
    if (!hasSlot()) {
        index_ = TlsAlloc();
        systemRefused_ = index_ == TLS_OUT_OF_INDEXES;
    }
}

void OpenCallSlot::release() noexcept {
    if (index_ != TLS_OUT_OF_INDEXES) {
        const DWORD index = index_;
        index_ = TLS_OUT_OF_INDEXES;
        TlsFree(index);
    }
    systemRefused_ = false;
}

CallMemory* OpenCallSlot::getBeyondTheTeb() const noexcept {
    if (index_ != TLS_OUT_OF_INDEXES) {
        return static_cast<CallMemory*>(TlsGetValue(index_));
    }
    return systemRefused_ ? openCallWithoutSlot : nullptr;
}

bool OpenCallSlot::set(CallMemory* call) noexcept {
    if (index_ != TLS_OUT_OF_INDEXES) {
        return TlsSetValue(index_, call) != FALSE;
    }
    if (systemRefused_) {
        openCallWithoutSlot = call;
    }
    return systemRefused_;
}

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
