#pragma once
// The library's C++ heap (operator new and delete). While an export runs, every block it
// allocates comes from an arena of its own, which goes back in one piece when the call ends.
//
// The parser links a node into its tree only once the node is fully parsed, so when an
// allocation fails deep inside a parse, the exception leaves the nodes still being built
// unreachable: the arena gives them back all the same. It also suits a parse: nodes are
// taken in great numbers and freed all together when the document goes, so taking them
// with a bump pointer and dropping them with the arena costs less than the general heap.
// Small blocks freed during the call are kept on free lists by size and taken again, so
// the parser's short-lived strings do not make the arena grow.
//
// Pieces with one job each:
//  - CallMemory (here): a call's arena: small blocks in runs, from free lists and a bump
//    pointer per size class, large blocks in chunks of their own;
//  - run sizes (run_sizes.h): how long a class's runs and the arena's chunks are;
//  - the run map (run_map.h): which run an address lies in;
//  - ChunkPool (chunk_pool.h): the chunks kept between calls, shared by all threads;
//  - OpenCallSlot (open_call_slot.h): the thread's slot that tells which call is open.
// memory_layout.h holds their arithmetic: alignment, windows, size classes, tags.
//
// Every block is aligned to 16 bytes, whatever its size. A small block carries nothing in
// front of it: it lies in a run of blocks of its size class, and the run's header names the
// free list of that class in the call's arena, so a small block takes its size rounded up to
// 16 and its share of the run. Runs are whole windows of 256 bytes carved from the call's
// small chunks; run_sizes.h says how long runs and chunks are. A large block, and a block of
// the library's heap (taken while no call was open, or while the library has no thread slot),
// carries one tag word right in front of it that says where it goes back. Giving a block back
// is a lookup in the run map and a push, or a load of the tag.
//
// The pool keeps memory only: no call reads what an earlier one left in a chunk, as with any
// heap. When a call ends, the pool keeps what the largest of the last few calls needed, at
// most 16 MiB (32-bit) or 64 MiB (64-bit); the rest goes back to the system, and everything
// goes back when the library unloads.
//
// Invariants (checked by PELZOR_INVARIANT in the debug and sanitizer builds):
//  - every block handed out is aligned to memory::kAlignment;
//  - a size class's bump pointer and end lie in its newest run, which the run map marks and
//    whose header names the class's free list; the windows not yet in a run (of the newest
//    small chunk, and those an older one left over) are whole windows of the call's chunks;
//  - calls on one thread nest: a call ends before the call it was opened in, and the slot
//    then names the outer call again;
//  - no block outlives the call that took it, and a block is given back on the thread whose
//    call took it, while that call is still open (checked on every release);
//  - a chunk belongs to one call's list or to the pool, never both; the pool's and the run
//    map's own invariants are in chunk_pool.h and run_map.h.

#include <cstddef>
#include <cstdint>

#include "chunk_pool.h"
#include "memory_layout.h"

namespace pelzor {

// Opened for the length of one export call on the calling thread.
class CallMemory {
public:
    CallMemory() noexcept;
    // Gives everything the call allocated back to the pool (or to the system).
    ~CallMemory();

    CallMemory(const CallMemory&) = delete;
    CallMemory& operator=(const CallMemory&) = delete;

    // A block of `bytes`, aligned to 16: from the arena of the call open on this thread, or
    // from the library's heap when no call is open. Null when memory runs out.
    static void* allocate(std::size_t bytes) noexcept;
    // Gives back a block from allocate (null is ignored). A small block goes back to its
    // call's free lists until the call ends; a large one goes back to the pool at once.
    static void release(void* block) noexcept;

    // Gives every chunk the pool keeps back to the system (the library does this when it
    // unloads; tests do it to see every block the arena ever took), and forgets the
    // recent calls.
    static void releasePool() noexcept;
    // The bytes of the chunks the pool keeps now, headers included.
    static std::size_t pooledBytes() noexcept;

    // What the small blocks of the call open on this thread take: the bytes of its runs up
    // to each class's next block (the blocks, the runs' headers and unused ends), without the
    // room its newest runs still have. 0 when no call is open. Tests read it.
    static std::size_t smallBlockBytes() noexcept;

    // The most the pool keeps between calls.
    static constexpr std::size_t kPoolCeiling = kPoolCap;

private:
    // The blocks of one size class in this call.
    struct SizeClass {
        void* freeBlocks = nullptr;     // given back during the call; a run's header names it
        unsigned char* next = nullptr;  // the next block of the newest run
        unsigned char* end = nullptr;   // the end of the newest run
        std::size_t runBytes = 0;       // the bytes of all the class's runs
    };

    // Whole windows of a small chunk, not yet in a run.
    class WindowRange {
    public:
        WindowRange() = default;
        // The whole windows within [begin, end).
        WindowRange(unsigned char* begin, unsigned char* end) noexcept;
        std::size_t windows() const noexcept;
        // The first `windows` windows, which the range gives up.
        unsigned char* take(std::size_t windows) noexcept;

    private:
        unsigned char* begin_ = nullptr;  // aligned to a window
        unsigned char* end_ = nullptr;
    };

    [[gnu::noinline]] static void* allocateOutOfLine(CallMemory* call, std::size_t bytes) noexcept;
    [[gnu::noinline]] static void releaseTagged(void* block) noexcept;
    static void* allocateFromHeap(std::size_t bytes) noexcept;
    void* takeSmallInPlace(std::size_t sizeClass) noexcept;
    void* takeFromNewRun(std::size_t sizeClass) noexcept;
    unsigned char* carveRun(std::size_t wanted, std::size_t sizeClass,
                            std::size_t& windows) noexcept;
    bool takeSmallChunk(std::size_t wanted, std::size_t least) noexcept;
    void* allocateLarge(std::size_t bytes) noexcept;
    void releaseLarge(ArenaChunk* chunk) noexcept;
    ArenaChunk* takeChunk(std::size_t dataBytes, std::size_t mostBytes) noexcept;
    template <typename Matches>
    static bool anyOpenOnThisThread(Matches matches) noexcept;
    static bool freeListOpenOnThisThread(const void* freeList) noexcept;
    static bool openOnThisThread(const CallMemory* call) noexcept;

    SizeClass classes_[memory::kSizeClasses];
    WindowRange newest_;            // the windows of the newest small chunk not yet in a run
    WindowRange spare_;             // the windows an older small chunk left over
    ArenaChunk* chunks_ = nullptr;  // every chunk of the call, newest first
    std::size_t smallBytes_ = 0;    // data bytes of the small chunks
    std::size_t heldBytes_ = 0;     // bytes of all the call's chunks now
    std::size_t peakBytes_ = 0;     // the most it held at once
    CallMemory* outer_;
    bool inSlot_;  // false when the library had no thread slot: the heap served the call
};

}  // namespace pelzor
