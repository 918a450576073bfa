#pragma once
// The arithmetic of the library's heap, written once: how a block sits in memory, how its
// size rounds, and which blocks are small. call_memory.h describes the heap as a whole.
//
// Every block is aligned to kAlignment, as the compilers promise for operator new
// (__STDCPP_DEFAULT_NEW_ALIGNMENT__ is 16 for both Windows targets), and carries one tag
// word right in front of it that says where it goes back. A small block of an arena takes
// a step of a whole number of alignment units, its tag included, so that the next block is
// aligned as well: a bump pointer stands kTagBytes before an aligned address.

#include <cstddef>
#include <cstdint>

namespace pelzor::memory {

constexpr std::size_t kAlignment = 16;
constexpr std::size_t kTagBytes = sizeof(std::uintptr_t);
static_assert(kAlignment % kTagBytes == 0 && kAlignment > kTagBytes,
              "a tag word must fit in front of an aligned block");

// Small blocks take steps of up to this many bytes, tag included; larger blocks get a chunk
// of their own.
constexpr std::size_t kLargestSmallStep = 1024;
constexpr std::size_t kLargestSmallBlock = kLargestSmallStep - kTagBytes;
// Free lists are indexed by step / kAlignment (index 0 is never used).
constexpr std::size_t kSizeClasses = kLargestSmallStep / kAlignment + 1;

constexpr bool isSmall(std::size_t bytes) {
    return bytes <= kLargestSmallBlock;
}

// The step of a small block of `bytes`: the tag and the block, rounded up to the alignment.
constexpr std::size_t smallStep(std::size_t bytes) {
    return (bytes + kTagBytes + kAlignment - 1) & ~(kAlignment - 1);
}

constexpr std::size_t sizeClassOf(std::size_t step) {
    return step / kAlignment;
}

// `bytes` rounded up to the alignment; the caller keeps it clear of overflow.
constexpr std::size_t roundUp(std::size_t bytes) {
    return (bytes + kAlignment - 1) & ~(kAlignment - 1);
}

inline unsigned char* alignUp(unsigned char* address) {
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    return address + (roundUp(value) - value);
}

inline bool isAligned(const void* address) {
    return reinterpret_cast<std::uintptr_t>(address) % kAlignment == 0;
}

// What the system's heap (malloc) aligns its blocks to: 16 bytes in the 64-bit builds (glibc,
// msvcrt), 8 in the 32-bit ones (msvcrt). Chunks and heap blocks take that much less slack.
constexpr std::size_t kHeapAlignment = sizeof(void*) == 8 ? 16 : 8;
constexpr std::size_t kHeapSlack = kAlignment - kHeapAlignment;

// The room in front of the first block of a small chunk's aligned data, so that the block
// is aligned behind its tag.
constexpr std::size_t kSmallChunkLead = kAlignment - kTagBytes;

// The tag word in front of a block. Its two low bits tell the block's kind:
//  - 0: a small block of an arena; the tag is the address of the free list of its size in
//    its call (the lists are word-aligned, so the two low bits are clear);
//  - kLargeBit: a large block; the tag is its call's address with the bit set, and its
//    chunk lies right in front;
//  - kHeapTag: a block of the library's heap, taken while no call was open.
constexpr std::uintptr_t kLargeBit = 1;
constexpr std::uintptr_t kHeapTag = 2;
constexpr std::uintptr_t kTagKindBits = 3;
static_assert(alignof(void*) >= 4, "free-list addresses must leave two tag bits clear");

inline std::uintptr_t& tagOf(void* block) {
    return static_cast<std::uintptr_t*>(block)[-1];
}

}  // namespace pelzor::memory
