// Every export with its N-th allocation failing, for every N the export reaches on a set of
// documents: operator new and the library's heap seam alike (this program's operator new is
// the library's with a question to the sweep in front, and the seam replaced here is where
// the library's chunks and buffers come from). Each call returns its missing-element
// outcome, its ordinary result, or a null result string, and leaves no block behind. The
// pool of chunks that calls keep for later calls is emptied before each call, so that every
// call takes its chunks from the heap (where they can fail), and after it, so that every
// block the call took is seen again. The sweep runs twice: once failing the N-th
// allocation alone, once failing it and the one right after it, so that a chunk refill
// whose retry with the smallest chunk that fits fails as well is swept too. The same
// program runs natively and, built as the DLL is built, under Wine in both bitnesses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "export_access.h"
#include "memory/call_memory.h"
#include "table_values.h"

namespace {

struct FailurePlan {
    long countdown = -1;  // allocations left before the first that fails; negative: none fails
    long failing = 1;     // how many fail in a row from there
    long attempts = 0;
    long liveBlocks = 0;             // blocks of the library's heap, operator new's included
    bool recording = false;          // of what the heap is asked for, into bytesAsked
    bool refuseWhilePooled = false;  // refuse requests of these sizes while the pool holds chunks
    std::size_t refuseFrom = 1024;
    std::size_t refuseTo = SIZE_MAX;
    long refused = 0;
};

// Scalars only, so initialised as a constant: ready before the program's first allocation,
// whatever the order of its initialisers.
FailurePlan plan;
std::vector<std::size_t> bytesAsked;

bool nextAllocationFails() {
    ++plan.attempts;
    if (plan.countdown < 0) {
        return false;
    }
    if (plan.countdown > 0) {
        --plan.countdown;
        return false;
    }
    if (--plan.failing == 0) {
        plan.countdown = -1;
    }
    return true;
}

}  // namespace

namespace {

// No chunk kept: the call takes every chunk it needs anew, so that each of those allocations
// fails in turn too.
void startEmpty() {
    pelzor::CallMemory::releasePool();
}

}  // namespace

namespace pelzor {
void* systemAllocate(std::size_t bytes) {
    if (plan.recording)
        bytesAsked.push_back(bytes);
    if (nextAllocationFails())
        return nullptr;
    if (plan.refuseWhilePooled && bytes >= plan.refuseFrom && bytes <= plan.refuseTo &&
        pelzor::CallMemory::pooledBytes() != 0) {
        ++plan.refused;
        return nullptr;
    }
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr)
        ++plan.liveBlocks;
    return block;
}
void* systemAllocateZeroed(std::size_t count, std::size_t size) {
    if (nextAllocationFails())
        return nullptr;
    void* block = std::calloc(count, size);
    if (block != nullptr)
        ++plan.liveBlocks;
    return block;
}
void heapFree(void* block) {
    if (block != nullptr)
        --plan.liveBlocks;
    std::free(block);
}
}  // namespace pelzor

// The common forms of the library's operator new and delete (memory/operator_new.cpp), with
// the sweep's question in front; the library's other forms are linked beside them.
void* operator new(std::size_t bytes) {
    void* block = nextAllocationFails() ? nullptr : pelzor::CallMemory::allocate(bytes);
    return block != nullptr ? block : throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    return operator new(bytes);
}
void operator delete(void* block) noexcept {
    pelzor::CallMemory::release(block);
}
void operator delete[](void* block) noexcept {
    pelzor::CallMemory::release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    pelzor::CallMemory::release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    pelzor::CallMemory::release(block);
}

namespace {

const char* const kDocuments[] = {
    // One document in two pieces: the parentheses say the concatenation is meant.
    ("<?xml version='1.0'?><!-- c --><data><name a='1' b=\"2\">Tom &amp; Jerry</name>"
     "<m><r><c>1</c><c>2</c></r><r><c>3</c><c>4</c></r></m><v><x>0.5</x><x>-2e3</x></v></data>"),
    "<a><b><![CDATA[ 2.5 ]]></b><b>x",
    "<a>x\xC3",
    "",
};
const char* const kNames[] = {"name", "m", "v", "b", "a", "missing"};

// One export's call on a document, reduced to a string; `outcomes` are the results it may
// give when memory runs out (its ordinary result is always allowed).
struct ExportCall {
    const char* label;
    std::function<std::string(const char* text, const char* name)> call;
    std::vector<std::string> outcomes;
};

std::string arrayResult(bool result, const double* values) {
    std::string out = result ? "true:" : "false:";
    for (int i = 0; i < 4; ++i)
        out += std::to_string(values[i]) + ",";
    return out;
}

const std::string kZeros = "true:0.000000,0.000000,0.000000,0.000000,";

std::vector<ExportCall> exportCalls() {
    return {
        {"getStringValue",
         [](const char* t, const char* n) {
             return takeResult(Exports::getStringValue(Arg(t), Arg(n)));
         },
         {"<null>", "Element does not exist"}},
        {"getIntegerValue",
         [](const char* t, const char* n) {
             return std::to_string(Exports::getIntegerValue(Arg(t), Arg(n)));
         },
         {"0"}},
        {"getDoubleValue",
         [](const char* t, const char* n) {
             return std::to_string(Exports::getDoubleValue(Arg(t), Arg(n)));
         },
         {std::to_string(0.0)}},
        {"getDoubleArrayRows",
         [](const char* t, const char* n) {
             return std::to_string(Exports::getDoubleArrayRows(Arg(t), Arg(n)));
         },
         {"0"}},
        {"getDoubleArrayColumns",
         [](const char* t, const char* n) {
             return std::to_string(Exports::getDoubleArrayColumns(Arg(t), Arg(n)));
         },
         {"0"}},
        {"getDouble1DArray",
         [](const char* t, const char* n) {
             double values[4] = {9, 9, 9, 9};
             return arrayResult(Exports::getDouble1DArray(Arg(t), Arg(n), values, 4), values);
         },
         {kZeros, "false:0.000000,0.000000,0.000000,0.000000,"}},
        {"getDouble2DArray",
         [](const char* t, const char* n) {
             double values[4] = {9, 9, 9, 9};
             return arrayResult(Exports::getDouble2DArray(Arg(t), Arg(n), values, 4), values);
         },
         {kZeros, "false:0.000000,0.000000,0.000000,0.000000,"}},
        {"appendXMLChild",
         [](const char* t, const char* n) {
             return takeResult(
                 Exports::appendXMLChild(Arg(t), Arg("new"), Arg(n), Arg("a & <b>"), true));
         },
         {"<null>", "Parent element does not exist"}},
        {"createBlankXML",
         [](const char*, const char* n) { return takeResult(Exports::createBlankXML(Arg(n))); },
         {"<null>"}},
        // The path functions, with paths made from the name.
        {"checkPath",
         [](const char*, const char* n) {
             return std::to_string(Exports::checkPath(Arg("//" + std::string(n) + "[@a='1'][2]")));
         },
         {"0"}},
        {"selectText",
         [](const char* t, const char* n) {
             return takeResult(Exports::selectText(Arg(t), Arg("//" + std::string(n))));
         },
         {"<null>", "Element does not exist"}},
        {"selectTexts",
         [](const char* t, const char* n) {
             return takeResult(Exports::selectTexts(Arg(t), Arg("//" + std::string(n) + "/*")));
         },
         {"<null>", ""}},
        {"selectCount",
         [](const char* t, const char* n) {
             return std::to_string(Exports::selectCount(Arg(t), Arg("//*[@a]//" + std::string(n))));
         },
         {"0"}},
        {"selectCount attribute",
         [](const char* t, const char* n) {
             return std::to_string(
                 Exports::selectCount(Arg(t), Arg("//" + std::string(n) + "/@a")));
         },
         {"0"}},
        {"selectDoubles",
         [](const char* t, const char* n) {
             double values[4] = {9, 9, 9, 9};
             const int count =
                 Exports::selectDoubles(Arg(t), Arg("//" + std::string(n) + "//*"), values, 4);
             return arrayResult(count > 0, values);
         },
         {"false:0.000000,0.000000,0.000000,0.000000,"}},
        // The tables: the table made of oleaut32's arrays and strings (natively, their
        // stand-in on the library's heap) is cleared by the test, so whatever the call left
        // in it is counted as left behind.
        {"selectTable",
         [](const char* t, const char* n) {
             OwnedVariant table;
             const int count = Exports::selectTable(Arg(t), Arg("//" + std::string(n) + " | //c"),
                                                    Arg(""), table.get());
             return std::to_string(count) + tableText(table.value);
         },
         {"-1Empty"}},
        {"selectTable columns",
         [](const char* t, const char* n) {
             OwnedVariant table;
             const int count = Exports::selectTable(
                 Arg(t), Arg("//*[*]"), Arg(std::string(n) + "| @a | .//c[2] | ."), table.get());
             return std::to_string(count) + tableText(table.value);
         },
         {"-1Empty"}},
        {"buildTable",
         [](const char*, const char* n) {
             OwnedVariant table;
             const std::string name = n;
             makeTableOf(table.get(), {{name, "x[2]/@" + name, ".", "d"},
                                       {"a & b", "#0.25", "-", ""},
                                       {"-", "\xC3\xA9", "t", "#-1e300"}});
             return takeResult(Exports::buildTable(Arg("root"), Arg("r"), table.get()));
         },
         {"<null>"}},
        {"buildTable refused",
         [](const char*, const char* n) {
             OwnedVariant table;
             makeTableOf(table.get(), {{n}, {"-"}});
             setCell(table.value, 1, 0, ofType(VT_NULL));
             return takeResult(Exports::buildTable(Arg("root"), Arg("r"), table.get()));
         },
         {"<null>"}},
        // The edits: each prints the document it changed, or says why it changed nothing.
        {"setValue",
         [](const char* t, const char* n) {
             OwnedVariant value;
             value.value = number(0.25);
             const std::string name = n;
             return takeResult(
                 Exports::setValue(Arg(t), Arg("//" + name + " | //c/@" + name), value.get()));
         },
         {"<null>"}},
        {"appendElement",
         [](const char* t, const char* n) {
             OwnedVariant list;
             const std::string name = n;
             makeListOf(list.get(), {"a", "x & y", name, "#-1e300"});
             return takeResult(Exports::appendElement(Arg(t), Arg("//" + name + " | //r"),
                                                      Arg(name), Arg("t"), list.get()));
         },
         {"<null>"}},
        {"appendElement refused",
         [](const char* t, const char* n) {
             OwnedVariant list;
             makeListOf(list.get(), {n, "1", n, "2"});
             return takeResult(
                 Exports::appendElement(Arg(t), Arg("//*"), Arg("e"), Arg(""), list.get()));
         },
         {"<null>"}},
        {"removeNodes",
         [](const char* t, const char* n) {
             const std::string name = n;
             return takeResult(Exports::removeNodes(Arg(t), Arg("//" + name + " | //r/c[1]/@a")));
         },
         {"<null>"}},
    };
}

TEST(AllocationFailure, EveryExportSurvivesEachFailingAllocation) {
    long sweeps = 0;
    for (long inARow : {1, 2}) {
        for (const ExportCall& e : exportCalls()) {
            for (const char* text : kDocuments) {
                for (const char* name : kNames) {
                    // The strings the test itself makes are counted too; failing those only
                    // shortens the sweep, so count the call's own attempts undisturbed first.
                    startEmpty();
                    plan = FailurePlan{};
                    const std::string ordinary = e.call(text, name);
                    const long attempts = plan.attempts;
                    for (long failing = 0; failing < attempts; ++failing) {
                        startEmpty();
                        plan = FailurePlan{};
                        plan.countdown = failing;
                        plan.failing = inARow;
                        const long liveBefore = plan.liveBlocks;
                        std::string result;
                        try {
                            result = e.call(text, name);
                        } catch (const std::bad_alloc&) {
                            plan.countdown = -1;
                            continue;  // the test's own argument copy failed, not the export
                        }
                        plan.countdown = -1;  // a second failure that found no allocation
                        pelzor::CallMemory::releasePool();
                        const bool allowed =
                            result == ordinary || std::find(e.outcomes.begin(), e.outcomes.end(),
                                                            result) != e.outcomes.end();
                        EXPECT_TRUE(allowed) << e.label << " on \"" << text << "\", " << name
                                             << ", allocation " << failing << ": " << result;
                        // Nothing may stay behind but what the result string itself holds.
                        const long held = result.capacity() > std::string().capacity() ? 1 : 0;
                        EXPECT_EQ(plan.liveBlocks - liveBefore, held)
                            << e.label << " on \"" << text << "\", " << name << ", allocation "
                            << failing << " (" << inARow << " in a row)";
                        ++sweeps;
                    }
                }
            }
        }
    }
    std::cout << sweeps << " failing allocations swept\n";
}

// When the chunk an arena wants next cannot be had, the refill asks again for the smallest
// chunk that holds the block, and the call goes on; when that fails too, the allocation
// reports out of memory, and the call can still go on with what it has.
TEST(AllocationFailure, AFailedRefillTakesTheSmallestChunkThatFits) {
    using pelzor::CallMemory;
    CallMemory::releasePool();
    plan = FailurePlan{};
    bytesAsked.reserve(8);  // so that recording allocates nothing, and not in the call
    const long liveBefore = plan.liveBlocks;
    {
        CallMemory call;
        // Enough small blocks that the call's next chunk is large (more than a MiB).
        for (int i = 0; i < 100000; ++i) {
            ASSERT_NE(CallMemory::allocate(48), nullptr);
        }
        for (long inARow : {1, 2}) {
            bytesAsked.clear();
            plan.countdown = 0;
            plan.failing = inARow;
            plan.recording = true;
            void* block = nullptr;
            for (int i = 0; i < 1000000 && bytesAsked.empty(); ++i) {
                block = CallMemory::allocate(48);
            }
            plan.recording = false;
            ASSERT_EQ(bytesAsked.size(), 2u) << inARow;
            EXPECT_GT(bytesAsked[0], std::size_t{32} << 10) << inARow;
            // The block with its tag, the chunk's header and alignment.
            EXPECT_LT(bytesAsked[1], 256u) << inARow;
            if (inARow == 1) {
                ASSERT_NE(block, nullptr);
                std::memset(block, 0x5A, 48);
            } else {
                EXPECT_EQ(block, nullptr);
            }
            EXPECT_NE(CallMemory::allocate(48), nullptr) << inARow;
        }
    }
    CallMemory::releasePool();
    EXPECT_EQ(plan.liveBlocks, liveBefore);
}

// A system that refuses memory while the pool holds idle chunks: a call that needs a chunk
// the pool cannot give gives the pool's chunks back and asks again, and the export gives its
// ordinary result.
TEST(AllocationFailure, ACallGivesThePoolsIdleChunksBackBeforeItGivesUp) {
    std::string document = "<settings>";
    while (document.size() < (64 << 10)) {
        document += "<setting name=\"rate\">0.0425</setting>";
    }
    // Ending inside a character, the text is copied first: a large block, which the pool's
    // idle chunk cannot hold.
    document += "<last>42</last></settings>\xC3";
    const struct {
        const char* label;
        std::function<std::string(char* text, char* name)> call;
        const char* ordinary;
    } cases[] = {
        {"getStringValue",
         [](char* t, char* n) { return takeResult(Exports::getStringValue(t, n)); }, "42"},
        {"getIntegerValue",
         [](char* t, char* n) { return std::to_string(Exports::getIntegerValue(t, n)); }, "42"},
        {"getDoubleValue",
         [](char* t, char* n) { return std::to_string(Exports::getDoubleValue(t, n)); },
         "42.000000"},
    };
    for (const auto& c : cases) {
        Arg text(document);
        Arg name("last");
        startEmpty();
        plan = FailurePlan{};
        {
            pelzor::CallMemory small;
            ASSERT_NE(pelzor::CallMemory::allocate(16), nullptr);  // leaves its chunk in the pool
        }
        ASSERT_GT(pelzor::CallMemory::pooledBytes(), 0u);
        const long liveBefore = plan.liveBlocks;
        plan.refuseWhilePooled = true;
        const std::string result = c.call(text, name);
        plan.refuseWhilePooled = false;
        EXPECT_EQ(result, c.ordinary) << c.label;
        EXPECT_GT(plan.refused, 0) << c.label;
        startEmpty();
        EXPECT_EQ(plan.liveBlocks, liveBefore - 1) << c.label;  // the idle chunk went back too
    }
}

#ifndef _WIN32
// A result string refused by the system while the pool holds idle chunks (those of an earlier
// call's two large blocks, which the call does not take) is asked for again once they went
// back, and the export gives its ordinary result. (The Windows builds' result strings come from OLE
// Automation, which this program cannot refuse.)
TEST(AllocationFailure, AResultStringIsAskedForAgainOnceThePoolsIdleChunksWentBack) {
    const std::string value(300, 'v');
    const std::string document = "<a><b>" + value + "</b><c>1</c></a>";
    const struct {
        const char* label;
        std::function<wchar_t*(char* text)> call;
    } cases[] = {
        {"getStringValue", [](char* t) { return Exports::getStringValue(t, Arg("b")); }},
        {"selectText", [](char* t) { return Exports::selectText(t, Arg("/a/b")); }},
        {"selectTexts", [](char* t) { return Exports::selectTexts(t, Arg("//b")); }},
        {"appendXMLChild",
         [](char* t) { return Exports::appendXMLChild(t, Arg("d"), Arg("a"), Arg("2"), false); }},
    };
    for (const auto& c : cases) {
        Arg text(document);
        const std::string ordinary = takeResult(c.call(text));
        startEmpty();
        plan = FailurePlan{};
        const long liveBefore = plan.liveBlocks;
        {
            pelzor::CallMemory idle;
            ASSERT_NE(pelzor::CallMemory::allocate(16), nullptr);
            ASSERT_NE(pelzor::CallMemory::allocate(100000), nullptr);
            ASSERT_NE(pelzor::CallMemory::allocate(200000), nullptr);
        }
        // The result string's block: its header, the text and two NULs.
        plan.refuseFrom = ordinary.size() + 2;
        plan.refuseTo = plan.refuseFrom + alignof(std::max_align_t);
        plan.refuseWhilePooled = true;
        wchar_t* result = c.call(text);
        plan.refuseWhilePooled = false;
        EXPECT_EQ(takeResult(result), ordinary) << c.label;
        EXPECT_EQ(plan.refused, 1) << c.label;
        startEmpty();
        EXPECT_EQ(plan.liveBlocks, liveBefore) << c.label;
    }
}
#endif

}  // namespace
