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
// Every block carries one word in front of it that says where it goes back: the free list
// of its size in its own call's arena, its own chunk (a large block), or the library's heap
// (a block taken while no call was open). Giving a block back is a load and a push, with
// no search.
//
// The arena's chunks come from a pool that keeps the chunks of finished calls for the next
// ones, so that a call does not map fresh pages from the system every time. The pool keeps
// memory only: no call reads what an earlier one left in a chunk, as with any heap. Between
// calls the pool keeps at most as many bytes as the largest peak of any one call so far
// (chunks that came back first go first), and never more than kPoolCeiling; the rest goes back to
// the system, and everything goes back when the library unloads.

#include <cstddef>
#include <cstdint>

namespace pelzor {

struct ArenaChunk;

// Opened for the length of one export call on the calling thread.
class CallMemory {
public:
    CallMemory() noexcept;
    // Gives everything the call allocated back to the pool (or to the system).
    ~CallMemory();

    CallMemory(const CallMemory&) = delete;
    CallMemory& operator=(const CallMemory&) = delete;

    // A block of `bytes`, aligned to 8: from the arena of the call open on this thread, or
    // from the library's heap when no call is open. Null when memory runs out.
    static void* allocate(std::size_t bytes) noexcept;
    // Gives back a block from allocate (null is ignored). A small block goes back to its
    // call's free lists until the call ends; a large one goes back to the pool at once.
    static void release(void* block) noexcept;

    // Gives every chunk the pool keeps back to the system (the library does this when it
    // unloads; tests do it to see every block the arena ever took), and starts the pool's
    // bound afresh.
    static void releasePool() noexcept;
    // The bytes of the chunks the pool keeps now, headers included.
    static std::size_t pooledBytes() noexcept;

    // Small blocks are whole numbers of 8-byte granules, fewer than this many; larger ones
    // get a chunk of their own.
    static constexpr std::size_t kSmallGranules = 128;
    // The most the pool keeps between calls.
    static constexpr std::size_t kPoolCeiling =
        sizeof(void*) == 8 ? std::size_t{512} << 20 : std::size_t{128} << 20;

private:
    [[gnu::noinline]] static void* allocateOutOfLine(CallMemory* call, std::size_t bytes) noexcept;
    [[gnu::noinline]] static void releaseOutOfLine(void* block, std::uintptr_t tag) noexcept;
    void* takeSmallInPlace(std::size_t granules) noexcept;
    void* refillAndTake(std::size_t granules) noexcept;
    void* allocateLarge(std::size_t bytes) noexcept;
    void releaseLarge(ArenaChunk* chunk) noexcept;
    ArenaChunk* takeChunk(std::size_t dataBytes, std::size_t mostBytes) noexcept;

    unsigned char* cursor_ = nullptr;  // free space of the newest small chunk
    unsigned char* limit_ = nullptr;
    void* freeBlocks_[kSmallGranules] = {};  // per size in granules
    ArenaChunk* chunks_ = nullptr;           // every chunk of the call, newest first
    std::size_t smallBytes_ = 0;             // data bytes of the small chunks
    std::size_t heldBytes_ = 0;              // bytes of all the call's chunks now
    std::size_t peakBytes_ = 0;              // the most it held at once
    CallMemory* outer_;
};

}  // namespace pelzor
