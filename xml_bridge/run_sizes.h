#pragma once
// How large a call's runs of small blocks and its small chunks are.
//
// A run of blocks of one size class leaves a header and, at its end, less than a block
// unused; a class's newest run and the arena's newest chunk leave the room they still have.
// Long runs and large chunks keep the first small against the blocks, short ones the second,
// so both grow with what the call holds:
//  - a class's first run holds one block, so that a class a call hardly uses costs it little;
//    its next runs double what the class holds until a run fits its blocks well (at most 3
//    bytes unused a block, less than the 4 bytes a block took on average beyond its step when
//    each carried an 8-byte tag and sizes went in steps of 8); after that they are a whole
//    number of such runs, about a sixty-fourth of what the class holds, up to
//    memory::kMostRunWindows;
//  - a small chunk holds at least 4 KiB, then 24 times the square root of what the arena's
//    small chunks hold, which keeps their headers and window alignment (about 290 bytes a
//    chunk) and the newest one's unused end, together, least; from 8 MiB (32-bit) or 16 MiB
//    (64-bit) on, a sixteenth of it, so that each chunk is large enough for the Windows heap
//    to give it back to the system when the pool lets it go beyond its cap.

#include <cstddef>

#include "memory_layout.h"

namespace pelzor::run_sizes {

// The fewest windows of a run that holds a block of `step` bytes.
constexpr std::size_t leastRunWindows(std::size_t step) {
    return (memory::kRunHeaderBytes + step + memory::kWindowBytes - 1) / memory::kWindowBytes;
}

// The fewest windows of a run whose blocks of the class leave at most 3 bytes a block unused
// (for the few classes no run up to the longest fits so, the run that leaves the least). A
// whole number of such runs fits as well.
std::size_t fittingRunWindows(std::size_t sizeClass) noexcept;

// The windows of a class's next run, when its runs hold `runBytes` so far.
std::size_t nextRunWindows(std::size_t sizeClass, std::size_t runBytes) noexcept;

// The windows of the arena's next small chunk, when its small chunks hold `smallBytes`.
std::size_t nextChunkWindows(std::size_t smallBytes) noexcept;

// The data bytes of a small chunk that holds at least `windows` whole windows wherever the
// heap places it (its data is aligned to memory::kAlignment).
constexpr std::size_t smallChunkBytes(std::size_t windows) {
    return windows * memory::kWindowBytes + memory::kWindowBytes - memory::kAlignment;
}

}  // namespace pelzor::run_sizes
