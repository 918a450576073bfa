#pragma once
// The library's C++ heap (operator new and delete), with every block that a call allocates
// recorded while the call runs. The parser links a node into its tree only once the node is
// fully parsed, so when an allocation fails deep inside a parse, the exception leaves the
// nodes still being built unreachable. Freeing what the call still holds when it ends gives
// all of it back, on every path.

#include <cstddef>

namespace pelzor {

// The header in front of every block of the C++ heap: its place in the list of the call
// that allocated it, or two nulls for a block allocated outside any call.
struct BlockLink {
    BlockLink* previous;
    BlockLink* next;
};

// Opened for the length of one export call on the calling thread.
class CallMemory {
public:
    CallMemory() noexcept;
    // Frees every block that the call allocated and did not free.
    ~CallMemory();

    CallMemory(const CallMemory&) = delete;
    CallMemory& operator=(const CallMemory&) = delete;

    // A block of `bytes` from the library's heap, recorded in the thread's open call if
    // there is one; null when memory runs out.
    static void* allocate(std::size_t bytes) noexcept;
    // Gives back a block from allocate (null is ignored).
    static void release(void* block) noexcept;

private:
    BlockLink blocks_;  // sentinel of a circular list
    CallMemory* outer_;
};

}  // namespace pelzor
