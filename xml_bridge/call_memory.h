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

#include <cstddef>
#include <cstdint>

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

    // Small blocks are whole numbers of granules, fewer than this many; larger ones get a
    // chunk of their own.
    static constexpr std::size_t kSmallGranules = 32;

private:
    void* allocateInArena(std::size_t bytes) noexcept;
    void* takeSmall(std::size_t granules) noexcept;
    void keepSmall(ArenaChunk* chunk, void* block) noexcept;
    ArenaChunk* addChunk(std::size_t dataBytes, bool large) noexcept;
    bool makeRoomInIndex() noexcept;
    std::size_t indexPosition(std::uintptr_t address) const noexcept;
    ArenaChunk* chunkHolding(const void* block) noexcept;
    void freeChunk(ArenaChunk* chunk) noexcept;

    // The chunks, sorted by address, so that a block's chunk is found by binary search.
    ArenaChunk** chunks_ = nullptr;
    std::size_t chunkCount_ = 0;
    std::size_t chunkCapacity_ = 0;
    ArenaChunk* lastHolder_ = nullptr;  // where the last released block was found
    ArenaChunk* smallChunk_ = nullptr;  // the newest small chunk
    unsigned char* cursor_ = nullptr;   // its free space
    unsigned char* limit_ = nullptr;
    std::size_t arenaBytes_ = 0;             // data bytes of the small chunks
    void* freeBlocks_[kSmallGranules] = {};  // per size in granules
    CallMemory* outer_;
};

}  // namespace pelzor
