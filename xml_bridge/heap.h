#pragma once
// The library's own working memory (copies of texts, the arrays' working buffer). Every
// such allocation goes through here so that a test build can make any one of them fail.

#include <cstddef>

namespace pelzor {

void* heapAllocate(std::size_t bytes);
void* heapAllocateZeroed(std::size_t count, std::size_t size);
void heapFree(void* block);

}  // namespace pelzor
