#include "call_memory.h"

#include <cstdint>

#include "heap.h"

namespace pelzor {

namespace {

// The header keeps the heap's alignment for the block behind it.
constexpr std::size_t kHeaderBytes =
    (sizeof(BlockLink) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
    alignof(std::max_align_t);

// The call open on this thread, if any. Set only while an export runs, so nothing of it
// outlives a call.
thread_local CallMemory* openCall = nullptr;

void unlink(BlockLink* link) {
    link->previous->next = link->next;
    link->next->previous = link->previous;
}

}  // namespace

CallMemory::CallMemory() noexcept : blocks_{&blocks_, &blocks_}, outer_(openCall) {
    openCall = this;
}

CallMemory::~CallMemory() {
    while (blocks_.next != &blocks_) {
        BlockLink* leftover = blocks_.next;
        unlink(leftover);
        heapFree(leftover);
    }
    openCall = outer_;
}

void* CallMemory::allocate(std::size_t bytes) noexcept {
    if (bytes > SIZE_MAX - kHeaderBytes) {
        return nullptr;
    }
    auto* link = static_cast<BlockLink*>(heapAllocate(kHeaderBytes + bytes));
    if (link == nullptr) {
        return nullptr;
    }
    if (CallMemory* call = openCall) {
        link->previous = &call->blocks_;
        link->next = call->blocks_.next;
        call->blocks_.next->previous = link;
        call->blocks_.next = link;
    } else {
        link->previous = nullptr;
        link->next = nullptr;
    }
    return reinterpret_cast<unsigned char*>(link) + kHeaderBytes;
}

void CallMemory::release(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    auto* link = reinterpret_cast<BlockLink*>(static_cast<unsigned char*>(block) - kHeaderBytes);
    if (link->previous != nullptr) {
        unlink(link);
    }
    heapFree(link);
}

}  // namespace pelzor
