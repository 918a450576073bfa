#include "run_sizes.h"

#include <cmath>

namespace pelzor::run_sizes {

namespace {

constexpr std::size_t kFirstChunkWindows = 4096 / memory::kWindowBytes;
// The Windows heap maps a block of more than 508 KiB (32-bit) or 1020 KiB (64-bit) on its own
// and gives it back to the system when it is freed; smaller freed blocks stay committed in
// the heap. Chunks grow to that size once the arena holds 16 times as much: 8 MiB or 16 MiB,
// well within the pool's cap, so that what the pool lets go goes back to the system.
constexpr std::size_t kHeapGivesBackFrom =
    sizeof(void*) == 8 ? std::size_t{1} << 20 : std::size_t{512} << 10;

// The bytes of a run of `windows` windows that its blocks of `step` bytes leave unused (the
// header included), and the number of its blocks.
struct RunFit {
    std::size_t unused;
    std::size_t blocks;

    constexpr RunFit(std::size_t windows, std::size_t step)
        : unused(0), blocks((windows * memory::kWindowBytes - memory::kRunHeaderBytes) / step) {
        unused = windows * memory::kWindowBytes - blocks * step;
    }
    constexpr bool fits() const { return unused <= 3 * blocks; }
    constexpr bool betterThan(const RunFit& other) const {
        return unused * other.blocks < other.unused * blocks;
    }
};

// The fewest windows of a run that fits blocks of `step` bytes well; when no run up to the
// longest does, the run that leaves the least unused per block.
constexpr std::size_t fewestFittingWindows(std::size_t step) {
    std::size_t best = leastRunWindows(step);
    for (std::size_t windows = best; windows <= memory::kMostRunWindows; ++windows) {
        if (RunFit(windows, step).fits()) {
            return windows;
        }
        if (RunFit(windows, step).betterThan(RunFit(best, step))) {
            best = windows;
        }
    }
    return best;
}

struct FittingRuns {
    std::size_t windows[memory::kSizeClasses];
    constexpr FittingRuns() : windows() {
        for (std::size_t sizeClass = 0; sizeClass < memory::kSizeClasses; ++sizeClass) {
            windows[sizeClass] = fewestFittingWindows(memory::stepOf(sizeClass));
        }
    }
};
constexpr FittingRuns kFittingRuns;

}  // namespace

std::size_t fittingRunWindows(std::size_t sizeClass) noexcept {
    return kFittingRuns.windows[sizeClass];
}

std::size_t nextRunWindows(std::size_t sizeClass, std::size_t runBytes) noexcept {
    const std::size_t held = runBytes / memory::kWindowBytes;
    const std::size_t fitting = kFittingRuns.windows[sizeClass];
    if (held < fitting) {
        const std::size_t least = leastRunWindows(memory::stepOf(sizeClass));
        return held > least ? held : least;
    }
    // A whole number of fitting runs fits as well: its blocks leave no more unused than each
    // of them would.
    const std::size_t wanted = held / 64;
    const std::size_t most = memory::kMostRunWindows / fitting;
    const std::size_t times = wanted / fitting;
    return fitting * (times < 1 ? 1 : times > most ? most : times);
}

std::size_t nextChunkWindows(std::size_t smallBytes) noexcept {
    if (smallBytes / 16 >= kHeapGivesBackFrom) {
        return smallBytes / 16 / memory::kWindowBytes;
    }
    const double bytes = 24 * std::sqrt(static_cast<double>(smallBytes));
    const auto windows = static_cast<std::size_t>(bytes) / memory::kWindowBytes;
    return windows > kFirstChunkWindows ? windows : kFirstChunkWindows;
}

}  // namespace pelzor::run_sizes
