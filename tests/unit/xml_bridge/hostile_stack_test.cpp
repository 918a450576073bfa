// Stack use of every export on a thread with a 1 MiB stack, the usual main-thread stack of
// a host application: the deepest nesting that is parsed must leave at least half of it.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "document/text_guard.h"
#include "export_access.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PELZOR_INSTRUMENTED_FRAMES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PELZOR_INSTRUMENTED_FRAMES 1
#endif
#endif

namespace {

constexpr std::size_t kHostStack = 1 << 20;
constexpr unsigned char kPaint = 0xA5;

struct ThreadWork {
    std::function<void()> work;
};

void* runWork(void* argument) {
    static_cast<ThreadWork*>(argument)->work();
    return nullptr;
}

// Runs `work` on a thread whose 1 MiB stack is painted beforehand, and returns how many
// bytes of it the thread touched.
std::size_t stackBytesUsed(std::function<void()> work) {
    void* stack = nullptr;
    if (posix_memalign(&stack, 1 << 16, kHostStack) != 0)
        std::abort();
    std::memset(stack, kPaint, kHostStack);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, stack, kHostStack);
    ThreadWork thread{std::move(work)};
    pthread_t id;
    EXPECT_EQ(pthread_create(&id, &attributes, runWork, &thread), 0);
    pthread_join(id, nullptr);
    pthread_attr_destroy(&attributes);
    const auto* bytes = static_cast<const unsigned char*>(stack);
    std::size_t untouched = 0;
    while (untouched < kHostStack && bytes[untouched] == kPaint)
        ++untouched;
    std::free(stack);
    return kHostStack - untouched;
}

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<d>";
    text += "<v>1</v>";
    for (int i = 0; i < depth; ++i)
        text += "</d>";
    return text;
}

// The most stack any export takes on `text`.
std::size_t deepestExportUse(const std::string& text) {
    std::size_t most = 0;
    auto measure = [&](std::function<void()> call) {
        most = std::max(most, stackBytesUsed(std::move(call)));
    };
    measure([&] { takeResult(Exports::getStringValue(Arg(text), Arg("v"))); });
    measure([&] { Exports::getIntegerValue(Arg(text), Arg("v")); });
    measure([&] { Exports::getDoubleValue(Arg(text), Arg("v")); });
    measure([&] { Exports::getDoubleArrayRows(Arg(text), Arg("v")); });
    measure([&] { Exports::getDoubleArrayColumns(Arg(text), Arg("v")); });
    measure([&] {
        double values[2];
        Exports::getDouble1DArray(Arg(text), Arg("v"), values, 2);
        Exports::getDouble2DArray(Arg(text), Arg("v"), values, 2);
    });
    measure([&] {
        takeResult(Exports::selectTexts(Arg(text), Arg("//d[1]//v")));
        takeResult(Exports::selectText(Arg(text), Arg("//*[v='1']/v")));
        Exports::selectCount(Arg(text), Arg("//d/d"));
        double values[2];
        Exports::selectDoubles(Arg(text), Arg("//v"), values, 2);
    });
    // The new child goes under the deepest element, so printing goes one level further.
    measure([&] {
        takeResult(Exports::appendXMLChild(Arg(text), Arg("n"), Arg("v"), Arg("t"), false));
    });
    return most;
}

TEST(HostileStack, DeepestParsedNestingLeavesHalfOfAOneMebibyteStack) {
    if (RUNNING_ON_VALGRIND) {
        // Valgrind runs threads on stacks of its own; the painted one says nothing.
        GTEST_SKIP() << "stack use is not measurable under Valgrind";
    }
    const int limit = pelzor::kMaxNestingDepth;
    const std::size_t shallow = deepestExportUse(nested(10));
    const std::size_t atLimit = deepestExportUse(nested(limit - 1));
    const std::size_t beyond = deepestExportUse(nested(1000000));
    std::printf(
        "stack: %zu bytes at depth 10, %zu at the limit %d, %zu a million deep; "
        "%.0f bytes per level\n",
        shallow, atLimit, limit, beyond, static_cast<double>(atLimit - shallow) / (limit - 11));
#ifndef PELZOR_INSTRUMENTED_FRAMES
    EXPECT_LE(atLimit, kHostStack / 2);
    EXPECT_LE(beyond, kHostStack / 2);
#endif
}

}  // namespace
