#pragma once
// The library's C++ heap (operator new and delete). While an export runs, every block it
// allocates comes from an arena of its own, which goes back in one piece when the call ends.
//
// The parser links a node into its tree only once the node is fully parsed, so when an
// allocation fails deep inside a parse, the exception leaves the nodes still being built
// unreachable: the arena gives them back all the same. It is also what a parse wants: nodes
// are taken in great numbers and freed all together when the document goes, so taking them
// from a bump pointer, and freeing them with the arena, costs less than the general heap.

#include <cstddef>

namespace pelzor {

struct ArenaChunk;

// Opened for the length of one export call on the calling thread.
class CallMemory {
public:
    CallMemory() noexcept;
    // Gives back everything the call allocated.
    ~CallMemory();

    CallMemory(const CallMemory&) = delete;
    CallMemory& operator=(const CallMemory&) = delete;

    // A block of `bytes`: from the arena of the call open on this thread, or from the
    // library's heap when no call is open. Null when memory runs out.
    static void* allocate(std::size_t bytes) noexcept;
    // Gives back a block from allocate (null is ignored). A small block of the open call
    // stays in its arena until the call ends; a large one goes back at once.
    static void release(void* block) noexcept;

private:
    void* allocateInArena(std::size_t bytes) noexcept;
    ArenaChunk* addChunk(std::size_t dataBytes, bool large) noexcept;
    ArenaChunk* chunkHolding(const void* block) const noexcept;
    void freeChunk(ArenaChunk* chunk) noexcept;

    ArenaChunk* chunks_ = nullptr;     // newest first
    unsigned char* cursor_ = nullptr;  // free space of the newest small chunk
    unsigned char* limit_ = nullptr;
    std::size_t arenaBytes_ = 0;  // in small chunks
    CallMemory* outer_;
};

}  // namespace pelzor
