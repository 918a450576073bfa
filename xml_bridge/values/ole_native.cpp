// A stand-in for oleaut32 in builds without Windows, on the library's heap (so that tests can
// fail its allocations and count its blocks). Strings and arrays are laid out as Windows lays
// them out where the library looks: a BSTR's byte count sits in the four bytes before its
// characters and a NUL character follows them; an array's bounds are kept with the rightmost
// dimension first.
#include <cstddef>
#include <cstring>
#include <limits>

#include "memory/call_memory.h"
#include "values/ole.h"

namespace pelzor::ole {

namespace {

constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);

unsigned char* blockOf(BSTR text) {
    return reinterpret_cast<unsigned char*>(text) - kHeaderBytes;
}

// The element type sits in front of the descriptor, where Windows keeps it too.
struct Descriptor {
    alignas(std::max_align_t) VARTYPE elementType;
};

SAFEARRAY* arrayIn(Descriptor* descriptor) {
    return reinterpret_cast<SAFEARRAY*>(reinterpret_cast<unsigned char*>(descriptor) +
                                        sizeof(Descriptor));
}

Descriptor* descriptorOf(SAFEARRAY* array) {
    return reinterpret_cast<Descriptor*>(reinterpret_cast<unsigned char*>(array) -
                                         sizeof(Descriptor));
}

std::size_t elementCount(const SAFEARRAY* array) {
    std::size_t count = 1;
    for (std::uint16_t d = 0; d < array->cDims; ++d) {
        count *= array->rgsabound[d].cElements;
    }
    return count;
}

}  // namespace

BSTR allocString(const OLECHAR* characters, std::uint32_t length) {
    const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
    if (bytes > std::numeric_limits<std::uint32_t>::max() - sizeof(OLECHAR)) {
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(heapAllocate(kHeaderBytes + bytes + sizeof(OLECHAR)));
    if (block == nullptr) {
        return nullptr;
    }
    const auto byteCount = static_cast<std::uint32_t>(bytes);
    std::memcpy(block + kHeaderBytes - sizeof byteCount, &byteCount, sizeof byteCount);
    auto* text = reinterpret_cast<BSTR>(block + kHeaderBytes);
    if (characters != nullptr && length != 0) {
        std::memcpy(text, characters, bytes);
    }
    text[length] = 0;
    return text;
}

void freeString(BSTR text) {
    if (text != nullptr) {
        heapFree(blockOf(text));
    }
}

std::uint32_t stringLength(BSTR text) {
    if (text == nullptr) {
        return 0;
    }
    std::uint32_t byteCount;
    std::memcpy(&byteCount, blockOf(text) + kHeaderBytes - sizeof byteCount, sizeof byteCount);
    return byteCount / sizeof(OLECHAR);
}

SAFEARRAY* createArray(VARTYPE elementType, std::uint32_t dimensions, SAFEARRAYBOUND* bounds) {
    const std::uint32_t size = sizeOfElement(elementType);
    if (size == 0 || dimensions == 0 || dimensions > 60) {
        return nullptr;
    }
    std::size_t count = 1;
    for (std::uint32_t d = 0; d < dimensions; ++d) {
        if (bounds[d].cElements != 0 &&
            count > std::numeric_limits<std::size_t>::max() / size / bounds[d].cElements) {
            return nullptr;
        }
        count *= bounds[d].cElements;
    }
    const std::size_t descriptorBytes =
        sizeof(Descriptor) + sizeof(SAFEARRAY) + (dimensions - 1) * sizeof(SAFEARRAYBOUND);
    auto* descriptor = static_cast<Descriptor*>(heapAllocate(descriptorBytes));
    if (descriptor == nullptr) {
        return nullptr;
    }
    void* data = heapAllocateZeroed(count == 0 ? 1 : count, size);
    if (data == nullptr) {
        heapFree(descriptor);
        return nullptr;
    }
    descriptor->elementType = elementType;
    SAFEARRAY* array = arrayIn(descriptor);
    array->cDims = static_cast<std::uint16_t>(dimensions);
    array->fFeatures = 0;
    array->cbElements = size;
    array->cLocks = 0;
    array->pvData = data;
    for (std::uint32_t d = 0; d < dimensions; ++d) {
        array->rgsabound[dimensions - 1 - d] = bounds[d];
    }
    return array;
}

void destroyArray(SAFEARRAY* array) {
    if (array == nullptr) {
        return;
    }
    const VARTYPE type = descriptorOf(array)->elementType;
    const std::size_t count = elementCount(array);
    if (type == VT_VARIANT) {
        auto* values = static_cast<VARIANT*>(array->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            clearVariant(&values[i]);
        }
    } else if (type == VT_BSTR) {
        auto* texts = static_cast<BSTR*>(array->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            freeString(texts[i]);
        }
    }
    heapFree(array->pvData);
    heapFree(descriptorOf(array));
}

std::uint32_t dimensions(SAFEARRAY* array) {
    return array->cDims;
}

std::uint32_t elementSize(SAFEARRAY* array) {
    return array->cbElements;
}

bool bounds(SAFEARRAY* array, std::uint32_t dimension, std::int32_t& lower, std::int32_t& upper) {
    if (dimension < 1 || dimension > array->cDims) {
        return false;
    }
    const SAFEARRAYBOUND& bound = array->rgsabound[array->cDims - dimension];
    lower = bound.lLbound;
    upper = static_cast<std::int32_t>(static_cast<std::int64_t>(bound.lLbound) +
                                      static_cast<std::int64_t>(bound.cElements) - 1);
    return true;
}

void* lockData(SAFEARRAY* array) {
    ++array->cLocks;
    return array->pvData;
}

void unlockData(SAFEARRAY* array) {
    --array->cLocks;
}

void clearVariant(VARIANT* value) {
    if ((value->vt & VT_BYREF) == 0) {
        if ((value->vt & VT_ARRAY) != 0) {
            destroyArray(value->parray);
        } else if (value->vt == VT_BSTR) {
            freeString(value->bstrVal);
        }
    }
    value->vt = VT_EMPTY;
}

}  // namespace pelzor::ole
