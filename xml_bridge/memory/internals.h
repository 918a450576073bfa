#pragma once
// The pieces behind call_memory.h (its invariants are stated there): the invariant check,
// a block's tag, the chunks and their pool, and the thread's slot.

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>

#include <winternl.h>
#endif

#include "call_memory.h"

#if !defined(NDEBUG) || defined(PELZOR_CHECK_INVARIANTS)
#include <cstdio>
#include <cstdlib>
// Ends the program with the broken condition, in the debug and sanitizer builds only.
#define PELZOR_INVARIANT(condition)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
#else
#define PELZOR_INVARIANT(condition) static_cast<void>(false && (condition))
#endif

namespace pelzor {

constexpr std::size_t kAlignment = 16;
// What malloc aligns to: 16 in the 64-bit builds, 8 in the 32-bit ones (msvcrt).
constexpr std::size_t kHeapSlack = kAlignment - (sizeof(void*) == 8 ? 16 : 8);

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

// The tag word in front of a block. A small block's tag is the address of its free list
// (word-aligned: the two low bits clear); a large block's is its call's address with
// kLargeBit set, its chunk right in front; a heap block's is kHeapTag.
constexpr std::uintptr_t kLargeBit = 1;
constexpr std::uintptr_t kHeapTag = 2;
constexpr std::uintptr_t kTagKindBits = 3;
inline std::uintptr_t& tagOf(void* block) {
    return static_cast<std::uintptr_t*>(block)[-1];
}

// A piece of a call's region or of the pool: this header, then `dataBytes` of data aligned
// to 16. A large chunk holds one block, 16 bytes into its data.
struct Chunk {
    Chunk* previous;
    Chunk* next;
    std::size_t dataBytes;
    void* allocation;  // what the heap handed out

    static constexpr std::size_t kHeaderBytes = 4 * sizeof(void*);
    unsigned char* data() { return reinterpret_cast<unsigned char*>(this) + kHeaderBytes; }
    std::size_t totalBytes() const { return kHeaderBytes + dataBytes; }

    // A new chunk from the heap, or null.
    static Chunk* fromSystem(std::size_t dataBytes) noexcept;
    // Gives the chunks linked by `next` back to the heap.
    static void toSystem(Chunk* chunks) noexcept;
};
static_assert(Chunk::kHeaderBytes % kAlignment == 0, "chunk data must stay aligned");

// The library's one pool, shared by all threads under its lock.
namespace pool {
// The smallest kept chunk with `least` to `most` data bytes, or null.
Chunk* take(std::size_t least, std::size_t most) noexcept;
// Keeps `chunks` (linked by `next`, or null), then gives back to the system the largest kept
// chunks until the pool holds at most `keepBytes`.
void keep(Chunk* chunks, std::size_t keepBytes) noexcept;
// The same when a call ends: the pool keeps the largest peak of the last kRecentCalls calls.
void keepAtCallEnd(Chunk* chunks, std::size_t callPeakBytes) noexcept;
std::size_t bytes() noexcept;
}  // namespace pool

// The thread's slot that names the call open on it (the innermost), read on every
// allocation. In the Windows builds a TLS slot of the system's own (thread_local is emulated
// there with a locked lookup per access): its index reads "no slot" until the library has
// taken one while it initialises and again once it has given it back at unload (or when the
// system had none left), and a call without a slot takes its blocks from the heap.
// Natively a thread_local pointer.
class OpenCallSlot {
public:
#ifdef _WIN32
    void acquire() noexcept {
        if (index_ == TLS_OUT_OF_INDEXES) {
            index_ = TlsAlloc();
        }
    }
    void release() noexcept {
        const DWORD index = index_;
        index_ = TLS_OUT_OF_INDEXES;
        if (index != TLS_OUT_OF_INDEXES) {
            TlsFree(index);
        }
    }
    bool hasSlot() const noexcept {
        return index_ != TLS_OUT_OF_INDEXES;
    }
    CallMemory* get() const noexcept {
        // The first 64 slots lie in the thread's own block, where TlsGetValue reads them.
        if (index_ < TLS_MINIMUM_AVAILABLE) {
            return static_cast<CallMemory*>(NtCurrentTeb()->TlsSlots[index_]);
        }
        return hasSlot() ? static_cast<CallMemory*>(TlsGetValue(index_)) : nullptr;
    }
    // False when there is no slot.
    bool set(CallMemory* call) noexcept {
        return hasSlot() && TlsSetValue(index_, call);
    }

private:
    DWORD index_ = TLS_OUT_OF_INDEXES;
#else
    CallMemory* get() const noexcept {
        return openCall;
    }
    bool set(CallMemory* call) noexcept {
        openCall = call;
        return true;
    }

private:
    static inline thread_local CallMemory* openCall = nullptr;
#endif
};

extern OpenCallSlot openCallSlot;

}  // namespace pelzor
