// What the real pelzor.dll keeps after one large call: the process's committed private
// memory (every committed private region, walked with VirtualQuery) right before and right
// after one call on a 16 MiB and on a 64 MiB document, the caller's text allocated before
// the first reading. The difference is what the DLL holds on to between calls; it must
// stay within the pool's cap, 16 MiB in the 32-bit DLL and 64 MiB in the 64-bit one, while
// the call itself needs several times that.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "pelzor_dll.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kCap = sizeof(void*) == 8 ? 64 * kMiB : 16 * kMiB;

std::size_t committedPrivateBytes() {
    std::size_t committed = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            committed += region.RegionSize;
        }
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) {
            break;
        }
        address = next;
    }
    return committed;
}

// A flat list of settings of about `bytes`, its last element <last>42</last>.
std::string settingsDocument(std::size_t bytes) {
    static const char kSetting[] = "<setting name=\"rate\">0.0425</setting>";
    std::string text;
    text.reserve(bytes + 64);
    text += "<settings>";
    while (text.size() < bytes) {
        text += kSetting;
    }
    text += "<last>42</last></settings>";
    return text;
}

TEST(KeptMemory, OneLargeCallLeavesAtMostThePoolCapCommitted) {
    PelzorDll dll;
    ASSERT_EQ(dll.getIntegerValue("<a><last>1</last></a>", "last"), 1);  // the DLL set up
    for (std::size_t megabytes : {16, 64}) {
        const std::string text = settingsDocument(megabytes * kMiB);
        const std::size_t before = committedPrivateBytes();
        EXPECT_EQ(dll.getIntegerValue(text.c_str(), "last"), 42);
        const std::size_t after = committedPrivateBytes();
        const long long keptKiB =
            (static_cast<long long>(after) - static_cast<long long>(before)) / 1024;
        std::printf("%zu MiB document: %lld KiB kept (cap %zu KiB)\n", megabytes, keptKiB,
                    kCap / 1024);
        EXPECT_LE(keptKiB, static_cast<long long>(kCap / 1024)) << megabytes << " MiB";
    }
}

}  // namespace
