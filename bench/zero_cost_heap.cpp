#include "zero_cost_heap.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>

#include "memory/call_memory.h"
#endif

namespace bench {

namespace {

// Room for the largest job's allocations without any reuse (about 520 MiB for the 16 MiB
// matrix), reserved once; pages are mapped on first touch and kept for the program's life.
constexpr std::size_t kRegionBytes = sizeof(void*) == 8 ? std::size_t{3} << 30 : 1u << 30;
// What operator new promises in both Windows builds (__STDCPP_DEFAULT_NEW_ALIGNMENT__), and
// so what any allocator the library could use must give; the library's arena gives it too.
constexpr std::size_t kAlignment = 16;

unsigned char* regionBegin = nullptr;
unsigned char* regionEnd = nullptr;
unsigned char* cursor = nullptr;
bool bumping = false;

void mapRegion() {
#ifdef _WIN32
    void* region = VirtualAlloc(nullptr, kRegionBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* region = mmap(nullptr, kRegionBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (region == MAP_FAILED) {
        region = nullptr;
    }
#endif
    if (region == nullptr) {
        std::abort();
    }
    regionBegin = static_cast<unsigned char*>(region);
    regionEnd = regionBegin + kRegionBytes;
    cursor = regionBegin;
}

void* bump(std::size_t bytes) {
    const std::size_t rounded = (bytes + kAlignment - 1) & ~(kAlignment - 1);
    if (rounded > static_cast<std::size_t>(regionEnd - cursor)) {
        std::abort();  // the region is sized for every job; running out is a harness bug
    }
    void* block = cursor;
    cursor += rounded;
    return block;
}

bool inRegion(const void* block) {
    const auto* address = static_cast<const unsigned char*>(block);
    return address >= regionBegin && address < regionEnd;
}

}  // namespace

ZeroCostScope::ZeroCostScope() {
    if (regionBegin == nullptr) {
        mapRegion();
    }
    bumping = true;
}

ZeroCostScope::~ZeroCostScope() {
    bumping = false;
    cursor = regionBegin;
}

std::size_t zeroCostBytesInUse() {
    return bumping ? static_cast<std::size_t>(cursor - regionBegin) : 0;
}

}  // namespace bench

// The program's operator new and delete: inside a scope a bump, never given back one by one.
// Outside, the native programs have the library's (xml_bridge/memory/operator_new.cpp, whose
// other forms they link), so that the variants that call the library's code directly get the
// DLL's memory; the Windows programs call the real DLL, which has its own, and have the C
// heap, as a program that links the parser itself has.
void* operator new(std::size_t bytes) {
    if (bench::bumping) {
        return bench::bump(bytes);
    }
#ifdef _WIN32
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
#else
    void* block = pelzor::CallMemory::allocate(bytes == 0 ? 1 : bytes);
#endif
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new[](std::size_t bytes) {
    return operator new(bytes);
}

void operator delete(void* block) noexcept {
    if (bench::inRegion(block)) {
        return;
    }
#ifdef _WIN32
    std::free(block);
#else
    pelzor::CallMemory::release(block);
#endif
}

void operator delete[](void* block) noexcept {
    operator delete(block);
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    operator delete(block);
}
