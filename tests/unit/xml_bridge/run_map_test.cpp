// The run map: every address within a marked run finds the run's start, from its first byte
// to its last, also where the run crosses from one leaf of the map to the next; addresses
// around it, cleared runs and addresses no run can have find none.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "memory_layout.h"
#include "run_map.h"

namespace {

namespace run_map = pelzor::run_map;
using pelzor::memory::kWindowBytes;

constexpr std::uintptr_t kLeafBytes = std::uintptr_t{4} << 20;

struct RunCase {
    const char* name;
    std::ptrdiff_t windowsFromLeafStart;  // where the run starts, against a leaf's first byte
    std::size_t windows;
};

TEST(RunMap, FindsTheRunOfEveryAddressInItAndNoneAround) {
    // Memory of this test's own, so that no other block lies in the windows it marks.
    auto* memory = static_cast<unsigned char*>(std::malloc(3 * kLeafBytes));
    ASSERT_NE(memory, nullptr);
    const auto leafStart =
        (reinterpret_cast<std::uintptr_t>(memory) + kLeafBytes) & ~(kLeafBytes - 1);
    const RunCase cases[] = {
        {"one window at a leaf's start", 0, 1},
        {"one window at a leaf's end", -1, 1},
        {"two windows across two leaves", -1, 2},
        {"the longest run across two leaves", -100, pelzor::memory::kMostRunWindows},
        {"the longest run within a leaf", 7, pelzor::memory::kMostRunWindows},
    };
    for (const RunCase& c : cases) {
        auto* run = reinterpret_cast<unsigned char*>(
            leafStart + c.windowsFromLeafStart * static_cast<std::ptrdiff_t>(kWindowBytes));
        const std::size_t bytes = c.windows * kWindowBytes;
        ASSERT_TRUE(run_map::mark(run, c.windows)) << c.name;
        for (std::size_t offset : {std::size_t{0}, std::size_t{16}, kWindowBytes - 1, kWindowBytes,
                                   bytes / 2, bytes - 16, bytes - 1}) {
            if (offset >= bytes) {
                continue;  // a run of one window ends before its second
            }
            EXPECT_EQ(run_map::runOf(run + offset), run) << c.name << " at " << offset;
        }
        EXPECT_EQ(run_map::runOf(run - 1), nullptr) << c.name;
        EXPECT_EQ(run_map::runOf(run + bytes), nullptr) << c.name;
        // Cleared with bytes around it that are no whole window: the run, and only it, goes.
        run_map::clear(run - 8, bytes + 16);
        for (std::size_t offset : {std::size_t{0}, bytes - 1}) {
            EXPECT_EQ(run_map::runOf(run + offset), nullptr) << c.name << " at " << offset;
        }
    }
    std::free(memory);
}

TEST(RunMap, AClearThatCoversNoWholeWindowLeavesTheRun) {
    auto* memory = static_cast<unsigned char*>(std::malloc(4 * kWindowBytes));
    ASSERT_NE(memory, nullptr);
    unsigned char* run = pelzor::memory::alignUp(memory, kWindowBytes);
    ASSERT_TRUE(run_map::mark(run, 2));
    run_map::clear(run + 1, kWindowBytes);  // within the first window and the second
    run_map::clear(run + kWindowBytes - 1, kWindowBytes);
    EXPECT_EQ(run_map::runOf(run + kWindowBytes + 5), run);
    run_map::clear(run, 2 * kWindowBytes);
    EXPECT_EQ(run_map::runOf(run + kWindowBytes + 5), nullptr);
    std::free(memory);
}

TEST(RunMap, AddressesNoRunCanHaveFindNone) {
    EXPECT_EQ(run_map::runOf(nullptr), nullptr);
    if constexpr (sizeof(void*) == 8) {
        // Beyond the 47 bits of user addresses: no leaf could hold them.
        const auto beyond = static_cast<std::uintptr_t>(std::uint64_t{1} << 47);
        EXPECT_EQ(run_map::runOf(reinterpret_cast<void*>(beyond)), nullptr);
        EXPECT_EQ(run_map::runOf(reinterpret_cast<void*>(~std::uintptr_t{0} - 15)), nullptr);
        EXPECT_FALSE(run_map::mark(reinterpret_cast<unsigned char*>(beyond), 1));
    }
}

}  // namespace
