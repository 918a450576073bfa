#pragma once
// The chunks that calls' arenas are made of, and the pool that keeps the chunks of finished
// calls for the next ones on any thread.
//
// Invariants (checked by PELZOR_INVARIANT in the debug and sanitizer builds):
//  - a chunk's data starts aligned to memory::kAlignment;
//  - the pool's index lists its chunks by data size, largest first, and its byte count is
//    the sum of their total bytes;
//  - when a call has ended, the pool holds at most keepTarget() bytes, and never more than
//    kPoolCap less the bytes of the run map's nodes (which stay from call to call too); a
//    chunk is either in the pool or in one call's list, never both.

#include <cstddef>
#include <cstdint>

namespace pelzor {

// A piece of a call's arena, or of the pool: a header, then the data. A large chunk holds
// exactly one block; a small chunk holds runs of small blocks. A call links its chunks in a
// list.
struct ArenaChunk {
    ArenaChunk* previous;
    ArenaChunk* next;
    std::size_t dataBytes;
    // What the system handed out, for giving it back (aligned to at least 8, as any heap
    // block), and in the low bit whether runs were marked in the chunk.
    std::uintptr_t allocationAndMarked;

    unsigned char* data() { return reinterpret_cast<unsigned char*>(this) + kHeaderBytes; }
    std::size_t totalBytes() const { return kHeaderBytes + dataBytes; }
    void* allocation() const { return reinterpret_cast<void*>(allocationAndMarked & ~kMarkedBit); }
    bool hasRuns() const { return (allocationAndMarked & kMarkedBit) != 0; }
    void noteRuns() { allocationAndMarked |= kMarkedBit; }
    // Clears the chunk's runs from the run map, before the chunk holds a large block or goes
    // back to the system.
    void clearRuns() noexcept;

    // A multiple of the alignment, so that the data is aligned like the header.
    static constexpr std::size_t kHeaderBytes = 32;
    static constexpr std::uintptr_t kMarkedBit = 1;

    // A new chunk with `dataBytes` of aligned data from the library's heap, or null.
    static ArenaChunk* fromSystem(std::size_t dataBytes) noexcept;
    // Gives a chunk (and every chunk linked behind it by `next`) back to the heap.
    static void toSystem(ArenaChunk* chunks) noexcept;
};

// The most the pool keeps between calls: within what a 32-bit spreadsheet process can spare
// of its 2 GB of address space, and little enough not to show as a leak in a 64-bit one.
constexpr std::size_t kPoolCap = sizeof(void*) == 8 ? std::size_t{64} << 20 : std::size_t{16} << 20;

class ChunkPool {
public:
    constexpr ChunkPool() = default;
    // Gives every kept chunk back, then the run map's leaves: the library unloads.
    ~ChunkPool();

    ChunkPool(const ChunkPool&) = delete;
    ChunkPool& operator=(const ChunkPool&) = delete;

    // The smallest kept chunk with between `least` and `most` data bytes, or null.
    ArenaChunk* take(std::size_t least, std::size_t most) noexcept;
    // Keeps the chunks of a call that ends (a list linked by `next`) and gives back to the
    // system whatever the pool then holds beyond keepTarget().
    void keepAtCallEnd(ArenaChunk* chunks, std::size_t callPeakBytes) noexcept;
    // Keeps a large block's chunk freed during a call, within the cap.
    void keepDuringCall(ArenaChunk* chunk) noexcept;
    // Gives every kept chunk back to the system and forgets the recent calls.
    void freeAll() noexcept;

    // The bytes of the kept chunks, headers included.
    std::size_t bytes() const noexcept;
    // What the pool keeps when a call ends: the largest peak of the last kRecentCalls calls
    // (every chunk they held at once), within the cap.
    std::size_t keepTarget() const noexcept;

    static constexpr std::size_t kRecentCalls = 8;

private:
    // More chunks than any call within the cap takes (its small chunks grow with the square
    // root of what it holds: about 340 at 64 MiB); a chunk that finds no room goes back to the
    // system.
    static constexpr std::size_t kMostChunks = 1024;

    struct Entry {
        std::size_t dataBytes;
        std::size_t cameBack;  // the pool's count of chunks kept when this one came
        ArenaChunk* chunk;
    };

    std::size_t countAtLeast(std::size_t bytes) const noexcept;
    void insert(ArenaChunk* chunk, ArenaChunk*& surplus) noexcept;
    void erase(std::size_t position) noexcept;
    void trim(std::size_t keepBytes, ArenaChunk*& surplus) noexcept;
    std::size_t keepTargetLocked() const noexcept;
    static std::size_t capLeft() noexcept;
    void checkIndex() const noexcept;

    // By size, largest first: the many small chunks of small calls sit at the end, where
    // taking and keeping them moves few entries.
    Entry entries_[kMostChunks] = {};
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;                       // the kept chunks' bytes, headers included
    std::size_t keptSoFar_ = 0;                   // chunks kept since the library loaded
    std::size_t recentPeaks_[kRecentCalls] = {};  // the peaks of the last calls, a ring
    std::size_t callsEnded_ = 0;
};

// The library's one pool.
ChunkPool& chunkPool() noexcept;

}  // namespace pelzor
