#include "pelzor_dll.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

PelzorDll::PelzorDll() : module_(LoadLibraryA("pelzor.dll")) {
    if (module_ == nullptr) {
        throw std::runtime_error("pelzor.dll cannot be loaded");
    }
}

PelzorDll::~PelzorDll() {
    FreeLibrary(module_);
}

FARPROC PelzorDll::byName(const char* decorated) const {
    return GetProcAddress(module_, decorated);
}

FARPROC PelzorDll::byOrdinal(int ordinal) const {
    return GetProcAddress(module_, MAKEINTRESOURCEA(ordinal));
}

#if defined(_WIN64)

PelzorDll::RawResult PelzorDll::call(const char* function, const std::vector<std::uintptr_t>& a,
                                     Returns kind) {
    FARPROC target = byName(decoratedName(exportOf(function)));
    if (target == nullptr) {
        throw std::runtime_error(std::string("missing export ") + function);
    }
    // Integer-class arguments travel in registers whatever their declared type, so one
    // signature with machine words serves every export; a double result comes in xmm0.
    using Words = std::uintptr_t;
    RawResult result;
    if (kind == Returns::Floating) {
        auto fn = reinterpret_cast<double (*)(Words, Words, Words, Words, Words)>(
            reinterpret_cast<void (*)()>(target));
        result.floating =
            fn(a.size() > 0 ? a[0] : 0, a.size() > 1 ? a[1] : 0, a.size() > 2 ? a[2] : 0,
               a.size() > 3 ? a[3] : 0, a.size() > 4 ? a[4] : 0);
    } else {
        auto fn = reinterpret_cast<Words (*)(Words, Words, Words, Words, Words)>(
            reinterpret_cast<void (*)()>(target));
        result.rax = fn(a.size() > 0 ? a[0] : 0, a.size() > 1 ? a[1] : 0, a.size() > 2 ? a[2] : 0,
                        a.size() > 3 ? a[3] : 0, a.size() > 4 ? a[4] : 0);
        result.eax = static_cast<std::uint32_t>(result.rax);
    }
    return result;
}

#else

namespace {
struct MeasuredCall {
    std::uint32_t eax;
    std::uint32_t edx;
    double st0;
    std::int32_t leftover;
};
}  // namespace

extern "C" void pelzorCallMeasured(void* fn, const std::uint32_t* args, int argc, int returnsDouble,
                                   MeasuredCall* out);

PelzorDll::RawResult PelzorDll::call(const char* function, const std::vector<std::uintptr_t>& a,
                                     Returns kind) {
    const ExportEntry& entry = exportOf(function);
    FARPROC target = byName(decoratedName(entry));
    if (target == nullptr) {
        throw std::runtime_error(std::string("missing export ") + function);
    }
    std::vector<std::uint32_t> words(a.begin(), a.end());
    MeasuredCall measured{};
    pelzorCallMeasured(reinterpret_cast<void*>(target), words.data(),
                       static_cast<int>(words.size()), kind == Returns::Floating, &measured);
    EXPECT_EQ(static_cast<int>(words.size()) * 4, entry.argumentBytes32) << function;
    EXPECT_EQ(measured.leftover, 0) << function << " left bytes on the caller's stack";
    RawResult result;
    result.eax = measured.eax;
    result.rax = measured.eax;
    result.floating = measured.st0;
    return result;
}

#endif

namespace {
std::uintptr_t word(const void* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer);
}
std::uintptr_t word(int value) {
    return static_cast<std::uint32_t>(value);
}
// A bool argument occupies a whole slot; only its low byte carries the value.
std::uintptr_t word(bool value) {
    return value ? 1u : 0u;
}
// A bool result is one byte: only the low byte of the register counts.
bool boolResult(std::uint32_t eax) {
    return (eax & 0xFFu) != 0;
}
}  // namespace

wchar_t* PelzorDll::appendXMLChild(const char* xml, const char* child, const char* parent,
                                   const char* text, bool unescape) {
    auto r =
        call("appendXMLChild", {word(xml), word(child), word(parent), word(text), word(unescape)},
             Returns::Integer);
    return reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(r.rax));
}

wchar_t* PelzorDll::appendXMLChildSlot(const char* xml, const char* child, const char* parent,
                                       const char* text, std::uintptr_t unescapeSlot) {
    auto r =
        call("appendXMLChild", {word(xml), word(child), word(parent), word(text), unescapeSlot},
             Returns::Integer);
    return reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(r.rax));
}

wchar_t* PelzorDll::createBlankXML(const char* root) {
    auto r = call("createBlankXML", {word(root)}, Returns::Integer);
    return reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(r.rax));
}

bool PelzorDll::getDouble1DArray(const char* xml, const char* name, double* values, int count) {
    auto r = call("getDouble1DArray", {word(xml), word(name), word(values), word(count)},
                  Returns::Integer);
    return boolResult(r.eax);
}

bool PelzorDll::getDouble2DArray(const char* xml, const char* name, double* values, int count) {
    auto r = call("getDouble2DArray", {word(xml), word(name), word(values), word(count)},
                  Returns::Integer);
    return boolResult(r.eax);
}

int PelzorDll::getDoubleArrayColumns(const char* xml, const char* name) {
    return static_cast<int>(
        call("getDoubleArrayColumns", {word(xml), word(name)}, Returns::Integer).eax);
}

int PelzorDll::getDoubleArrayRows(const char* xml, const char* name) {
    return static_cast<int>(
        call("getDoubleArrayRows", {word(xml), word(name)}, Returns::Integer).eax);
}

double PelzorDll::getDoubleValue(const char* xml, const char* name) {
    return call("getDoubleValue", {word(xml), word(name)}, Returns::Floating).floating;
}

int PelzorDll::getIntegerValue(const char* xml, const char* name) {
    return static_cast<int>(call("getIntegerValue", {word(xml), word(name)}, Returns::Integer).eax);
}

wchar_t* PelzorDll::getStringValue(const char* xml, const char* name) {
    auto r = call("getStringValue", {word(xml), word(name)}, Returns::Integer);
    return reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(r.rax));
}

int PelzorDll::checkPath(const char* path) {
    return static_cast<int>(call("checkPath", {word(path)}, Returns::Integer).eax);
}

wchar_t* PelzorDll::selectText(const char* xml, const char* path) {
    auto r = call("selectText", {word(xml), word(path)}, Returns::Integer);
    return reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(r.rax));
}

wchar_t* PelzorDll::selectTexts(const char* xml, const char* path) {
    auto r = call("selectTexts", {word(xml), word(path)}, Returns::Integer);
    return reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(r.rax));
}

int PelzorDll::selectCount(const char* xml, const char* path) {
    return static_cast<int>(call("selectCount", {word(xml), word(path)}, Returns::Integer).eax);
}

int PelzorDll::selectDoubles(const char* xml, const char* path, double* values, int count) {
    return static_cast<int>(
        call("selectDoubles", {word(xml), word(path), word(values), word(count)}, Returns::Integer)
            .eax);
}

int PelzorDll::selectTable(const char* xml, const char* recordPath, const char* columnPaths,
                           VARIANT* table) {
    return static_cast<int>(call("selectTable",
                                 {word(xml), word(recordPath), word(columnPaths), word(table)},
                                 Returns::Integer)
                                .eax);
}

wchar_t* PelzorDll::buildTable(const char* root, const char* record, VARIANT* table) {
    auto r = call("buildTable", {word(root), word(record), word(table)}, Returns::Integer);
    return reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(r.rax));
}
