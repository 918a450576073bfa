#include "run_map.h"

#include <mutex>

#include "heap.h"
#include "invariant.h"
#include "system_lock.h"

namespace pelzor::run_map {

namespace tree {

std::atomic<TopEntry*> top[std::size_t{1} << kTopBits];

}  // namespace tree

namespace {

using tree::Leaf;
using tree::Middle;
using tree::TopEntry;

// Guards the making and giving back of nodes; marks themselves need no lock.
SystemLock nodeLock;
std::atomic<std::size_t> nodeCount{0};
std::atomic<std::size_t> nodeBytes{0};

// Makes a zeroed node in `slot` unless it holds one; false when none can be had.
template <typename Node>
bool madeIn(std::atomic<Node*>& slot) noexcept {
    if (slot.load(std::memory_order_relaxed) != nullptr) {
        return true;
    }
    // Zeroed bytes are null pointers and unmarked windows.
    auto* node = static_cast<Node*>(heapAllocateZeroed(1, sizeof(Node)));
    if (node == nullptr) {
        return false;
    }
    slot.store(node, std::memory_order_release);
    nodeCount.fetch_add(1, std::memory_order_relaxed);
    nodeBytes.fetch_add(sizeof(Node), std::memory_order_relaxed);
    return true;
}

// The leaf below a made top entry, made when there is none yet; null when it cannot be had.
[[maybe_unused]] inline Leaf* leafMadeBelow(Leaf& leaf, std::uintptr_t) noexcept {
    return &leaf;
}
[[maybe_unused]] inline Leaf* leafMadeBelow(Middle& middle, std::uintptr_t window) noexcept {
    std::atomic<Leaf*>& slot = tree::leafSlot(middle, window);
    return madeIn(slot) ? slot.load(std::memory_order_relaxed) : nullptr;
}

// The leaf that holds `window`, made (with the nodes above it) when there is none yet; null
// when a node cannot be had.
Leaf* leafMadeFor(std::uintptr_t window) noexcept {
    if (Leaf* leaf = tree::leafOf(window)) {
        return leaf;
    }
    std::lock_guard<SystemLock> lock(nodeLock);
    std::atomic<TopEntry*>& entry = tree::topEntry(window);
    return madeIn(entry) ? leafMadeBelow(*entry.load(std::memory_order_relaxed), window) : nullptr;
}

// Gives back the leaves below a top entry (none in the 32-bit builds: the entry is the leaf).
[[maybe_unused]] inline void releaseBelow(Leaf&) noexcept {}
[[maybe_unused]] inline void releaseBelow(Middle& middle) noexcept {
    for (std::atomic<Leaf*>& slot : middle.leaves) {
        heapFree(slot.exchange(nullptr, std::memory_order_acq_rel));
    }
}

std::uintptr_t windowOf(const unsigned char* address) noexcept {
    return reinterpret_cast<std::uintptr_t>(address) >> memory::kWindowShift;
}

}  // namespace

bool mark(unsigned char* run, std::size_t windows) noexcept {
    PELZOR_INVARIANT(memory::isAligned(run, memory::kWindowBytes));
    PELZOR_INVARIANT(windows >= 1 && windows <= memory::kMostRunWindows);
    const std::uintptr_t first = windowOf(run);
    const std::uintptr_t last = first + windows - 1;
    if (!tree::inRange((last + 1) << memory::kWindowShift)) {
        return false;
    }
    // A run is shorter than a leaf, so it lies in at most two.
    Leaf* leaf = leafMadeFor(first);
    const bool oneLeaf = (first & ~tree::kLeafMask) == (last & ~tree::kLeafMask);
    if (leaf == nullptr || (!oneLeaf && leafMadeFor(last) == nullptr)) {
        return false;
    }
    for (std::uintptr_t window = first; window <= last; ++window) {
        if ((window & tree::kLeafMask) == 0) {
            leaf = tree::leafOf(window);
        }
        const auto place = static_cast<unsigned char>(window - first + 1);
        leaf->places[window & tree::kLeafMask].store(place, std::memory_order_relaxed);
    }
    return true;
}

void clear(unsigned char* from, std::size_t bytes) noexcept {
    std::uintptr_t window = windowOf(memory::alignUp(from, memory::kWindowBytes));
    const std::uintptr_t end = windowOf(from + bytes);
    while (window < end) {
        Leaf* leaf = tree::inRange(window << memory::kWindowShift) ? tree::leafOf(window) : nullptr;
        const std::uintptr_t leafEnd = (window | tree::kLeafMask) + 1;
        const std::uintptr_t stop = leafEnd < end ? leafEnd : end;
        if (leaf != nullptr) {
            for (; window < stop; ++window) {
                leaf->places[window & tree::kLeafMask].store(0, std::memory_order_relaxed);
            }
        }
        window = stop;
    }
}

void releaseLeaves() noexcept {
    std::lock_guard<SystemLock> lock(nodeLock);
    for (std::atomic<TopEntry*>& entry : tree::top) {
        TopEntry* topNode = entry.exchange(nullptr, std::memory_order_acq_rel);
        if (topNode != nullptr) {
            releaseBelow(*topNode);
            heapFree(topNode);
        }
    }
    nodeCount.store(0, std::memory_order_relaxed);
    nodeBytes.store(0, std::memory_order_relaxed);
}

std::size_t nodes() noexcept {
    return nodeCount.load(std::memory_order_relaxed);
}

std::size_t bytes() noexcept {
    return nodeBytes.load(std::memory_order_relaxed);
}

}  // namespace pelzor::run_map
