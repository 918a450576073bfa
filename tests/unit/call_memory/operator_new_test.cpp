// The library's operator new, as the DLL links it: objects of a 16-byte aligned type (an
// SSE value, say) and arrays of them are aligned inside a call and outside one, whatever
// else the call took before them; every other form hands out blocks its delete takes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "memory/call_memory.h"

// The sized forms, which clang declares only with -fsized-deallocation.
void operator delete(void* block, std::size_t bytes) noexcept;
void operator delete[](void* block, std::size_t bytes, std::align_val_t alignment) noexcept;
void operator delete(void* block, std::size_t bytes, std::align_val_t alignment) noexcept;

namespace {

using pelzor::CallMemory;

struct alignas(16) Wide {
    double low;
    double high;
};

struct alignas(16) WideWithTail {
    Wide value;
    char tail[3];
};

bool aligned16(const void* address) {
    return reinterpret_cast<std::uintptr_t>(address) % 16 == 0;
}

// After allocations of every size from 1 to 1100 bytes, so that the next block follows
// blocks of every step.
void takeBlocksOfEverySize(std::vector<std::unique_ptr<char[]>>& held) {
    for (std::size_t bytes = 1; bytes <= 1100; ++bytes) {
        held.emplace_back(new char[bytes]);
    }
}

TEST(OperatorNew, AlignsOverAlignedTypesInsideAndOutsideACall) {
    for (int insideACall = 0; insideACall < 2; ++insideACall) {
        std::unique_ptr<CallMemory> call(insideACall ? new CallMemory : nullptr);
        std::vector<std::unique_ptr<char[]>> held;
        takeBlocksOfEverySize(held);
        std::vector<std::unique_ptr<Wide>> singles;
        std::vector<std::unique_ptr<WideWithTail[]>> arrays;
        for (std::size_t count = 1; count <= 70; ++count) {
            singles.emplace_back(new Wide{1.0, 2.0});
            EXPECT_TRUE(aligned16(singles.back().get())) << insideACall;
            arrays.emplace_back(new WideWithTail[count]);
            EXPECT_TRUE(aligned16(arrays.back().get())) << insideACall << " " << count;
            held.emplace_back(new char[count * 7]);  // odd sizes in between
        }
        // A string and a vector of the type, grown step by step.
        std::vector<Wide> grown;
        for (int i = 0; i < 300; ++i) {
            grown.push_back(Wide{static_cast<double>(i), 0.0});
            ASSERT_TRUE(aligned16(grown.data())) << insideACall << " " << i;
        }
        std::string text(1000, 'x');
        EXPECT_TRUE(aligned16(text.data()));
        held.clear();
        singles.clear();
        arrays.clear();
        grown = std::vector<Wide>();
        CallMemory::release(nullptr);
    }
    CallMemory::releasePool();
}

// Every form of operator new with a delete that gives its blocks back, inside a call and
// outside one: each block aligned as asked and carrying the tag word that the delete reads
// (a form left to the sanitizer's runtime hands out blocks without one), a block left to the
// call taken back with it, and an impossible size refused as the form promises. Last, a
// stable sort, which takes its buffer with nothrow new.
TEST(OperatorNew, EveryFormHandsOutBlocksItsDeleteTakesBack) {
    using std::align_val_t, std::nothrow;
    struct Form {
        const char* name;
        std::size_t alignment;
        void* (*take)(std::size_t);
        void (*give)(void*, std::size_t);
        bool nothrow;
    };
    const Form forms[] = {
        {"new, sized delete", 16, [](std::size_t n) { return operator new(n); },
         [](void* p, std::size_t n) { operator delete(p, n); }, false},
        {"nothrow new, nothrow delete", 16, [](std::size_t n) { return operator new(n, nothrow); },
         [](void* p, std::size_t) { operator delete(p, nothrow); }, true},
        {"nothrow new[], delete[]", 16, [](std::size_t n) { return operator new[](n, nothrow); },
         [](void* p, std::size_t) { operator delete[](p); }, true},
        {"nothrow new[], nothrow delete[]", 16,
         [](std::size_t n) { return operator new[](n, nothrow); },
         [](void* p, std::size_t) { operator delete[](p, nothrow); }, true},
        {"new 8, delete 8", 8, [](std::size_t n) { return operator new (n, align_val_t{8}); },
         [](void* p, std::size_t) { operator delete (p, align_val_t{8}); }, false},
        {"new 64, sized delete 64", 64,
         [](std::size_t n) { return operator new (n, align_val_t{64}); },
         [](void* p, std::size_t n) { operator delete (p, n, align_val_t{64}); }, false},
        {"new[] 4096, delete[] 4096", 4096,
         [](std::size_t n) { return operator new[](n, align_val_t{4096}); },
         [](void* p, std::size_t) { operator delete[](p, align_val_t{4096}); }, false},
        {"new[] 256, sized delete[] 256", 256,
         [](std::size_t n) { return operator new[](n, align_val_t{256}); },
         [](void* p, std::size_t n) { operator delete[](p, n, align_val_t{256}); }, false},
        {"nothrow new 64, nothrow delete 64", 64,
         [](std::size_t n) { return operator new (n, align_val_t{64}, nothrow); },
         [](void* p, std::size_t) { operator delete (p, align_val_t{64}, nothrow); }, true},
        {"nothrow new[] 128, nothrow delete[] 128", 128,
         [](std::size_t n) { return operator new[](n, align_val_t{128}, nothrow); },
         [](void* p, std::size_t) { operator delete[](p, align_val_t{128}, nothrow); }, true},
    };
    volatile std::size_t impossible = SIZE_MAX - 8;  // unknown to the optimiser
    for (int insideACall = 0; insideACall < 2; ++insideACall) {
        std::unique_ptr<CallMemory> call(insideACall ? new CallMemory : nullptr);
        for (const Form& form : forms) {
            for (std::size_t bytes : {0, 1, 100, 1016, 5000, 200000}) {
                void* block = form.take(bytes);
                ASSERT_NE(block, nullptr) << form.name << " " << bytes;
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % form.alignment, 0u)
                    << form.name << " " << bytes << " " << insideACall;
                std::fill_n(static_cast<char*>(block), bytes, 'x');
                form.give(block, bytes);
            }
            void* left = form.take(64);
            if (!insideACall) {
                form.give(left, 64);
            }
            if (form.nothrow) {
                EXPECT_EQ(form.take(impossible), nullptr) << form.name;
            } else {
                EXPECT_THROW(form.take(impossible), std::bad_alloc) << form.name;
            }
        }
        std::vector<int> values(5000);
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = static_cast<int>((i * 7919) % values.size());
        }
        std::stable_sort(values.begin(), values.end());
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    }
    CallMemory::releasePool();
}

// With this operator new linked, what it hands out inside a call goes back with the call, so
// the call may leave its document's tree to it (a program with the standard one may not).
TEST(OperatorNew, TakesFromTheCallOnlyWhileOneIsOpen) {
    EXPECT_FALSE(CallMemory::operatorNewTakesFromCall());
    {
        CallMemory call;
        EXPECT_TRUE(CallMemory::operatorNewTakesFromCall());
    }
    EXPECT_FALSE(CallMemory::operatorNewTakesFromCall());
    CallMemory::releasePool();
}

}  // namespace
