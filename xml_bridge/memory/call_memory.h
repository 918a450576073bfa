#pragma once
// The library's memory: the one header the XML code includes from memory/.
//
// While an export runs, every block any operator new takes comes from its call's region (a
// bump pointer over chunks), which goes back in one piece when the call ends. The tag word in
// front of a block names its size class's free list in its call (a small block: up to 1016
// bytes, 1020 in the 32-bit build, in steps of 16 with the tag), or says that it is large (a
// chunk of its own, to the pool when freed; also every block aligned to more than 16, so that
// the call's end takes it back undeleted) or came from the heap (no call open). The pool keeps
// the chunks of finished calls: as much as one call held among those that ended in this span
// of the clock or the one before (RecentNeed), at most kPoolCeiling; a call that starts in a
// later span first gives back what no recent need covers, so an idle pool shrinks then.
//
// Invariants (checked by PELZOR_INVARIANT in the debug and sanitizer builds):
//  - every block is aligned to 16 bytes, in both bitnesses, and the heap's within the slack
//    that chunks and heap blocks leave for it;
//  - calls on one thread nest, and the thread's slot names the innermost open one;
//  - a block is given back on the thread whose call took it, while that call is open;
//  - a chunk is in one call's list or in the pool, never both; the pool's count of bytes is
//    the sum of its chunks', and when a call has ended it is within the keep target.

#include <cstddef>

namespace pelzor {

struct Chunk;

// Opened for the length of one export call on the calling thread.
class CallMemory {
public:
    CallMemory() noexcept;
    // Gives everything the call took back to the pool (or to the system).
    ~CallMemory();
    CallMemory(const CallMemory&) = delete;
    CallMemory& operator=(const CallMemory&) = delete;

    // A block of `bytes`, aligned to 16 (or to `alignment`, a power of two), from the call
    // open on this thread, else the heap. Null when memory runs out.
    static void* allocate(std::size_t bytes) noexcept;
    static void* allocateAligned(std::size_t bytes, std::size_t alignment) noexcept;
    // Gives back a block from either (null is ignored).
    static void release(void* block) noexcept;
    // Whether operator new now takes from a call's region: a call is open on this thread, and
    // the library's operator new is linked.
    static bool operatorNewTakesFromCall() noexcept;

    // Gives every chunk the pool keeps back to the system, and forgets what calls needed;
    // false when it kept none.
    static bool releasePool() noexcept;
    // The bytes of the chunks the pool keeps now, headers included.
    static std::size_t pooledBytes() noexcept;

    static constexpr std::size_t kPoolCeiling = sizeof(void*) == 8 ? 64u << 20 : 16u << 20;
    static constexpr std::size_t kSizeClasses = 64;  // steps of 16 up to 1024, tag included

private:
    [[gnu::noinline]] static void* allocateSlowly(CallMemory* call, std::size_t bytes) noexcept;
    [[gnu::noinline]] static void releaseSlowly(void* block) noexcept;
    void* takeSmall(std::size_t step) noexcept;
    void* takeLarge(std::size_t bytes, std::size_t alignment) noexcept;
    Chunk* takeChunk(std::size_t least, std::size_t most) noexcept;
    static bool openOnThisThread(const void* callOrFreeList) noexcept;

    void* freeBlocks_[kSizeClasses] = {};  // per step of 16, the tags of small blocks name them
    unsigned char* cursor_ = nullptr;      // the bump pointer of the newest small chunk
    unsigned char* limit_ = nullptr;
    Chunk* chunks_ = nullptr;     // every chunk of the call, newest first
    std::size_t smallBytes_ = 0;  // data bytes of the small chunks
    std::size_t heldBytes_ = 0;   // bytes of all the call's chunks now
    std::size_t peakBytes_ = 0;   // the most it held at once
    CallMemory* outer_;
    bool inSlot_;  // false when the library had no thread slot: the heap served the call
};

// Every heap request of the library: made once more after the pool's chunks went back to the
// system, when it got no memory while the pool kept some.
template <typename Request>
auto withIdleMemoryBack(Request request) -> decltype(request()) {
    auto block = request();
    return block != nullptr || !CallMemory::releasePool() ? block : request();
}

// The library's heap, for buffers that outlive a call or that the XML code sizes itself.
void* heapAllocate(std::size_t bytes);
void* heapAllocateZeroed(std::size_t count, std::size_t size);

// The system's heap, a seam in an object of its own: a test program that defines these three
// functions itself replaces them for everything linked into it. heapFree frees either's.
void* systemAllocate(std::size_t bytes);
void* systemAllocateZeroed(std::size_t count, std::size_t size);
void heapFree(void* block);

}  // namespace pelzor
