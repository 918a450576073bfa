#pragma once
// The arithmetic of the library's heap, written once: how a block sits in memory, how its
// size rounds, and which blocks are small. call_memory.h describes the heap as a whole.
//
// Every block is aligned to kAlignment, as the compilers promise for operator new
// (__STDCPP_DEFAULT_NEW_ALIGNMENT__ is 16 for both Windows targets).
//
// A small block carries nothing in front of it: it lies in a run, whole windows of
// kWindowBytes (aligned to that size) that hold blocks of one size class behind a header of
// kRunHeaderBytes, and the run map (run_map.h) finds the run from the block's address. So a
// small block takes its size rounded up to 16 and no more, plus its share of its run's
// header and unused end.
//
// A large block, and a block of the library's heap, carries one tag word right in front of
// it that says where it goes back.

#include <cstddef>
#include <cstdint>

namespace pelzor::memory {

constexpr std::size_t kAlignment = 16;
constexpr std::size_t kTagBytes = sizeof(std::uintptr_t);
static_assert(kAlignment % kTagBytes == 0 && kAlignment > kTagBytes,
              "a tag word must fit in front of an aligned block");

// Runs are made of whole windows; the run map holds a byte per window.
constexpr std::size_t kWindowShift = 8;
constexpr std::size_t kWindowBytes = std::size_t{1} << kWindowShift;
// The header in front of a run's first block: the address of the free list its blocks go
// back to, and room to keep the first block aligned.
constexpr std::size_t kRunHeaderBytes = kAlignment;
// The most windows of one run (63.75 KiB): the map's byte counts a window's place in its run
// from 1.
constexpr std::size_t kMostRunWindows = 255;

// Small blocks are up to this size (a header and one fit two windows); larger blocks get a
// chunk of their own.
constexpr std::size_t kLargestSmallBlock = 1008;
// One size class per step of kAlignment bytes: class c holds blocks of (c + 1) * 16 bytes.
constexpr std::size_t kSizeClasses = kLargestSmallBlock / kAlignment;

// Whether a block of `bytes` is small; 0 is not (operator new asks for at least 1).
constexpr bool isSmall(std::size_t bytes) {
    return bytes - 1 < kLargestSmallBlock;
}

// The size class of a small block of `bytes`, and the step of its blocks in a run.
constexpr std::size_t sizeClassOf(std::size_t bytes) {
    return (bytes - 1) / kAlignment;
}
constexpr std::size_t stepOf(std::size_t sizeClass) {
    return (sizeClass + 1) * kAlignment;
}

// `bytes` rounded up to the alignment; the caller keeps it clear of overflow.
constexpr std::size_t roundUp(std::size_t bytes) {
    return (bytes + kAlignment - 1) & ~(kAlignment - 1);
}

inline unsigned char* alignUp(unsigned char* address, std::size_t alignment = kAlignment) {
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t aligned = (value + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
    return address + (aligned - value);
}

inline bool isAligned(const void* address, std::size_t alignment = kAlignment) {
    return reinterpret_cast<std::uintptr_t>(address) % alignment == 0;
}

// What the system's heap (malloc) aligns its blocks to: 16 bytes in the 64-bit builds (glibc,
// msvcrt), 8 in the 32-bit ones (msvcrt). Chunks and heap blocks take that much less slack.
constexpr std::size_t kHeapAlignment = sizeof(void*) == 8 ? 16 : 8;
constexpr std::size_t kHeapSlack = kAlignment - kHeapAlignment;

// The tag word in front of a large block or a heap block. Its two low bits tell the kind:
//  - kLargeBit: a large block; the tag is its call's address with the bit set, and its
//    chunk lies right in front;
//  - kHeapTag: a block of the library's heap, taken while no call was open.
constexpr std::uintptr_t kLargeBit = 1;
constexpr std::uintptr_t kHeapTag = 2;
constexpr std::uintptr_t kTagKindBits = 3;

inline std::uintptr_t& tagOf(void* block) {
    return static_cast<std::uintptr_t*>(block)[-1];
}

}  // namespace pelzor::memory
