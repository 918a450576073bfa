#include "call_memory.h"

#include <cstdint>
#include <initializer_list>

#include "heap.h"
#include "invariant.h"
#include "open_call_slot.h"
#include "run_map.h"
#include "run_sizes.h"

namespace pelzor {

using memory::kAlignment;
using memory::kWindowBytes;
using memory::tagOf;

namespace {

// A block of the library's heap: the heap's own address and the tag in front of the aligned
// block, within this many bytes (16 in both builds).
constexpr std::size_t kHeapLead = 2 * sizeof(void*) + memory::kHeapSlack;
static_assert(kHeapLead % memory::kHeapAlignment == 0, "the heap block's lead must keep alignment");

void*& heapAllocationOf(void* block) {
    return static_cast<void**>(block)[-2];
}

// A run's header: the address of the free list its blocks go back to.
void**& freeListOfRun(unsigned char* run) {
    return *reinterpret_cast<void***>(run);
}

}  // namespace

CallMemory::WindowRange::WindowRange(unsigned char* begin, unsigned char* end) noexcept
    : begin_(memory::alignUp(begin, kWindowBytes)), end_(begin_) {
    if (end > begin_) {
        end_ = begin_ + static_cast<std::size_t>(end - begin_) / kWindowBytes * kWindowBytes;
    }
}

std::size_t CallMemory::WindowRange::windows() const noexcept {
    return static_cast<std::size_t>(end_ - begin_) / kWindowBytes;
}

unsigned char* CallMemory::WindowRange::take(std::size_t windows) noexcept {
    PELZOR_INVARIANT(windows <= this->windows());
    unsigned char* first = begin_;
    begin_ += windows * kWindowBytes;
    return first;
}

CallMemory::CallMemory() noexcept : outer_(openCallSlot.get()) {
    inSlot_ = openCallSlot.set(this);
}

CallMemory::~CallMemory() {
    PELZOR_INVARIANT(!inSlot_ || openCallSlot.get() == this);
    chunkPool().keepAtCallEnd(chunks_, peakBytes_);
    if (inSlot_) {
        openCallSlot.set(outer_);
    }
}

// A small block from the free list of its class or from the bump pointer of the class's
// newest run; null when the list is empty and the run is full.
[[gnu::always_inline]] inline void* CallMemory::takeSmallInPlace(std::size_t sizeClass) noexcept {
    SizeClass& blocks = classes_[sizeClass];
    if (blocks.freeBlocks != nullptr) {
        void* block = blocks.freeBlocks;
        blocks.freeBlocks = *static_cast<void**>(block);
        return block;
    }
    const std::size_t step = memory::stepOf(sizeClass);
    if (static_cast<std::size_t>(blocks.end - blocks.next) < step) {
        return nullptr;
    }
    void* block = blocks.next;
    blocks.next += step;
    PELZOR_INVARIANT(memory::isAligned(block) && blocks.next <= blocks.end);
    return block;
}

// The common cases (a small block from a free list or a bump pointer, a small block given
// back) stay short enough to need no saved registers; everything else is out of line.
void* CallMemory::allocate(std::size_t bytes) noexcept {
    CallMemory* call = openCallSlot.get();
    if (call != nullptr && memory::isSmall(bytes)) {
        if (void* block = call->takeSmallInPlace(memory::sizeClassOf(bytes))) {
            return block;
        }
    }
    return allocateOutOfLine(call, bytes);
}

void CallMemory::release(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    if (unsigned char* run = run_map::runOf(block)) {
        void*& freeBlock = *freeListOfRun(run);
        PELZOR_INVARIANT(freeListOpenOnThisThread(&freeBlock));
        *static_cast<void**>(block) = freeBlock;
        freeBlock = block;
        return;
    }
    releaseTagged(block);
}

void* CallMemory::allocateOutOfLine(CallMemory* call, std::size_t bytes) noexcept {
    if (call == nullptr) {
        return allocateFromHeap(bytes);
    }
    if (bytes == 0) {
        bytes = 1;
    }
    if (!memory::isSmall(bytes)) {
        return call->allocateLarge(bytes);
    }
    const std::size_t sizeClass = memory::sizeClassOf(bytes);
    if (void* block = call->takeSmallInPlace(sizeClass)) {
        return block;
    }
    return call->takeFromNewRun(sizeClass);
}

void CallMemory::releaseTagged(void* block) noexcept {
    const std::uintptr_t tag = tagOf(block);
    if (tag == memory::kHeapTag) {
        heapFree(heapAllocationOf(block));
        return;
    }
    PELZOR_INVARIANT((tag & memory::kTagKindBits) == memory::kLargeBit);
    auto* call = reinterpret_cast<CallMemory*>(tag & ~memory::kTagKindBits);
    PELZOR_INVARIANT(openOnThisThread(call));
    call->releaseLarge(reinterpret_cast<ArenaChunk*>(static_cast<unsigned char*>(block) -
                                                     kAlignment - ArenaChunk::kHeaderBytes));
}

void* CallMemory::allocateFromHeap(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX - kHeapLead) {
        return nullptr;
    }
    auto* allocation = static_cast<unsigned char*>(heapAllocate(kHeapLead + bytes));
    if (allocation == nullptr) {
        return nullptr;
    }
    void* block = memory::alignUp(allocation + 2 * sizeof(void*));
    heapAllocationOf(block) = allocation;
    tagOf(block) = memory::kHeapTag;
    PELZOR_INVARIANT(memory::isAligned(block));
    return block;
}

void CallMemory::releasePool() noexcept {
    chunkPool().freeAll();
}

std::size_t CallMemory::pooledBytes() noexcept {
    return chunkPool().bytes();
}

std::size_t CallMemory::smallBlockBytes() noexcept {
    const CallMemory* call = openCallSlot.get();
    if (call == nullptr) {
        return 0;
    }
    std::size_t bytes = 0;
    for (const SizeClass& blocks : call->classes_) {
        bytes += blocks.runBytes - static_cast<std::size_t>(blocks.end - blocks.next);
    }
    return bytes;
}

// A new run for the class, marked in the run map, and its first block.
void* CallMemory::takeFromNewRun(std::size_t sizeClass) noexcept {
    SizeClass& blocks = classes_[sizeClass];
    const std::size_t wanted = run_sizes::nextRunWindows(sizeClass, blocks.runBytes);
    std::size_t windows = 0;
    unsigned char* run = carveRun(wanted, sizeClass, windows);
    if (run == nullptr || !run_map::mark(run, windows)) {
        return nullptr;
    }
    freeListOfRun(run) = &blocks.freeBlocks;
    blocks.next = run + memory::kRunHeaderBytes;
    blocks.end = run + windows * kWindowBytes;
    blocks.runBytes += windows * kWindowBytes;
    return takeSmallInPlace(sizeClass);
}

// The windows of a run of `wanted` windows: from the windows an earlier chunk left over or
// from the newest small chunk; failing that, a shorter run from either, a whole number of runs
// that fit the class's blocks well; failing that, from a new chunk, or, when no chunk of the
// size can be had, as many as the smallest chunk that holds a block has. Null when none can be
// had.
unsigned char* CallMemory::carveRun(std::size_t wanted, std::size_t sizeClass,
                                    std::size_t& windows) noexcept {
    for (WindowRange* range : {&spare_, &newest_}) {
        if (range->windows() >= wanted) {
            windows = wanted;
            return range->take(wanted);
        }
    }
    const std::size_t fitting = run_sizes::fittingRunWindows(sizeClass);
    if (wanted > fitting) {
        for (WindowRange* range : {&spare_, &newest_}) {
            if (range->windows() >= fitting) {
                windows = range->windows() / fitting * fitting;
                return range->take(windows);
            }
        }
    }
    const std::size_t least = run_sizes::leastRunWindows(memory::stepOf(sizeClass));
    if (!takeSmallChunk(wanted, least)) {
        return nullptr;
    }
    windows = wanted < newest_.windows() ? wanted : newest_.windows();
    return newest_.take(windows);
}

// A new small chunk of the arena's next size (at least `wanted` windows), or, when that
// cannot be had, the smallest one that holds `least` windows. The windows the old one has
// left wait for a shorter run, in place of the spare ones if they are more.
bool CallMemory::takeSmallChunk(std::size_t wanted, std::size_t least) noexcept {
    const std::size_t next = run_sizes::nextChunkWindows(smallBytes_);
    const std::size_t windows = next > wanted ? next : wanted;
    // Any kept chunk from the wanted size up serves: the arena uses all of it.
    ArenaChunk* chunk = takeChunk(run_sizes::smallChunkBytes(windows), SIZE_MAX);
    if (chunk == nullptr) {
        chunk = takeChunk(run_sizes::smallChunkBytes(least), SIZE_MAX);
    }
    if (chunk == nullptr) {
        return false;
    }
    chunk->noteRuns();
    smallBytes_ += chunk->dataBytes;
    if (newest_.windows() > spare_.windows()) {
        spare_ = newest_;
    }
    newest_ = WindowRange(chunk->data(), chunk->data() + chunk->dataBytes);
    return true;
}

void* CallMemory::allocateLarge(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX / 2 - ArenaChunk::kHeaderBytes - 2 * kAlignment) {
        return nullptr;
    }
    // The block stands one alignment unit into the data, its tag right in front of it.
    const std::size_t dataBytes = kAlignment + memory::roundUp(bytes);
    // A kept chunk up to twice the size, so that a large chunk is not spent on a small block.
    ArenaChunk* chunk = takeChunk(dataBytes, dataBytes * 2);
    if (chunk == nullptr) {
        return nullptr;
    }
    // A kept chunk may have held runs: its windows must not send this block to a free list.
    chunk->clearRuns();
    void* block = chunk->data() + kAlignment;
    tagOf(block) = reinterpret_cast<std::uintptr_t>(this) | memory::kLargeBit;
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
    chunkPool().keepDuringCall(chunk);
}

ArenaChunk* CallMemory::takeChunk(std::size_t dataBytes, std::size_t mostBytes) noexcept {
    ArenaChunk* chunk = chunkPool().take(dataBytes, mostBytes);
    if (chunk == nullptr) {
        chunk = ArenaChunk::fromSystem(dataBytes);
        if (chunk == nullptr) {
            return nullptr;
        }
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

// Whether `matches` holds for one of the calls open on this thread, innermost first.
template <typename Matches>
bool CallMemory::anyOpenOnThisThread(Matches matches) noexcept {
    for (const CallMemory* open = openCallSlot.get(); open != nullptr; open = open->outer_) {
        if (matches(*open)) {
            return true;
        }
    }
    return false;
}

// Whether `freeList` belongs to a call open on this thread.
bool CallMemory::freeListOpenOnThisThread(const void* freeList) noexcept {
    return anyOpenOnThisThread([freeList](const CallMemory& open) {
        for (const SizeClass& blocks : open.classes_) {
            if (&blocks.freeBlocks == freeList) {
                return true;
            }
        }
        return false;
    });
}

// Whether `call` is open on this thread.
bool CallMemory::openOnThisThread(const CallMemory* call) noexcept {
    return anyOpenOnThisThread([call](const CallMemory& open) { return &open == call; });
}

}  // namespace pelzor
