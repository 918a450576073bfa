#pragma once
// The run map: from any address to the run of small blocks it lies in, so that a small block
// needs no tag word in front of it to find its way back.
//
// It holds one byte per window (memory::kWindowBytes) of the address space: 0 where no run
// lies (a large block, a block of the library's heap, memory that is not the library's), and
// k where the window is the k-th window of a run, so the run's header stands k - 1 windows
// before the window's start. The bytes sit in the leaves of a radix tree: a leaf covers 4 MiB
// of address space, is made when a run first lies there, and stays until the library
// unloads (8 KiB a leaf, one per 4 MiB of chunks). A lookup is two loads in the 32-bit
// builds, three in the 64-bit ones.
//
// Invariants (checked by PELZOR_INVARIANT in the debug and sanitizer builds):
//  - a window's byte is not 0 only while a chunk that a call or the pool holds covers the
//    whole window: a chunk's marks are cleared before it holds a large block or goes back to
//    the system, so no other block ever lies in a marked window;
//  - a byte is written only by the thread whose call holds the chunk, or under the pool's
//    lock, and read by the thread whose call holds the block looked up.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "memory_layout.h"

namespace pelzor::run_map {

// Marks `windows` windows from `run` (aligned to a window) as one run. False when a leaf of
// the map cannot be had; then nothing is marked.
bool mark(unsigned char* run, std::size_t windows) noexcept;

// Clears the marks of every whole window within [from, from + bytes).
void clear(unsigned char* from, std::size_t bytes) noexcept;

// The start of the run that `block` lies in (its header), or null when it lies in none.
inline unsigned char* runOf(const void* block) noexcept;

// Gives every leaf back to the system; the library does this at unload, after the pool, when
// no chunk is marked any more. A lookup afterwards finds no run.
void releaseLeaves() noexcept;

// The nodes (leaves and, in the 64-bit builds, middle nodes) the map holds now, and their
// bytes: memory of the library's heap that stays from call to call, which the pool counts
// against its cap. Tests that count the heap's blocks read the number.
std::size_t nodes() noexcept;
std::size_t bytes() noexcept;

namespace tree {

// A window number is an address shifted right by memory::kWindowShift. Its low kLeafBits bits
// pick the byte in a leaf; in the 64-bit builds the next kMiddleBits pick the leaf in a
// middle node; the rest pick the entry of the top table. User addresses take 47 bits in the
// 64-bit builds (Windows and Linux on x86-64); a run never lies beyond, and a block beyond is
// in no run.
constexpr std::size_t kLeafBits = 14;
constexpr bool kHasMiddle = sizeof(void*) == 8;
constexpr std::size_t kAddressBits = kHasMiddle ? 47 : 32;
constexpr std::size_t kMiddleBits = kHasMiddle ? 12 : 0;
constexpr std::size_t kTopBits = kAddressBits - memory::kWindowShift - kLeafBits - kMiddleBits;
constexpr std::uintptr_t kLeafMask = (std::uintptr_t{1} << kLeafBits) - 1;
constexpr std::uintptr_t kMiddleMask = (std::uintptr_t{1} << kMiddleBits) - 1;
static_assert(memory::kMostRunWindows <= 255, "a window's place in its run fits a byte");

struct Leaf {
    std::atomic<unsigned char> places[std::size_t{1} << kLeafBits];
};
struct Middle {
    std::atomic<Leaf*> leaves[std::size_t{1} << kMiddleBits];
};
using TopEntry = std::conditional_t<kHasMiddle, Middle, Leaf>;

// All null at load: the map takes no room in the DLL's image and works before any
// initialiser has run.
extern std::atomic<TopEntry*> top[std::size_t{1} << kTopBits];

inline bool inRange(std::uintptr_t address) noexcept {
    return static_cast<std::uint64_t>(address) >> kAddressBits == 0;
}

// The leaf of `window` below an entry of the top table: the entry itself in the 32-bit
// builds, one of its leaves in the 64-bit ones.
inline Leaf* leafBelow(Leaf* leaf, std::uintptr_t) noexcept {
    return leaf;
}
inline std::atomic<Leaf*>& leafSlot(Middle& middle, std::uintptr_t window) noexcept {
    return middle.leaves[(window >> kLeafBits) & kMiddleMask];
}
inline Leaf* leafBelow(Middle* middle, std::uintptr_t window) noexcept {
    return middle == nullptr ? nullptr : leafSlot(*middle, window).load(std::memory_order_acquire);
}

inline std::atomic<TopEntry*>& topEntry(std::uintptr_t window) noexcept {
    return top[window >> (kLeafBits + kMiddleBits)];
}

inline Leaf* leafOf(std::uintptr_t window) noexcept {
    return leafBelow(topEntry(window).load(std::memory_order_acquire), window);
}

}  // namespace tree

inline unsigned char* runOf(const void* block) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    if (!tree::inRange(address)) {
        return nullptr;
    }
    const std::uintptr_t window = address >> memory::kWindowShift;
    const tree::Leaf* leaf = tree::leafOf(window);
    if (leaf == nullptr) {
        return nullptr;
    }
    const unsigned place = leaf->places[window & tree::kLeafMask].load(std::memory_order_relaxed);
    if (place == 0) {
        return nullptr;
    }
    return reinterpret_cast<unsigned char*>((window - (place - 1)) << memory::kWindowShift);
}

}  // namespace pelzor::run_map
