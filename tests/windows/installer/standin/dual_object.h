#pragma once

#include <windows.h>

#include <oaidl.h>

#include <array>
#include <string>
#include <utility>

#include "standin_log.h"

// An object of a dual interface built by hand, so that its vtable has exactly the slots
// the application publishes: IUnknown and IDispatch in slots 0-6, every other slot failing
// with E_NOTIMPL unless a member is put there. It also answers ISupportErrorInfo for its
// own interface.
struct DualObject {
    const void* const* vtable;
    const void* const* supportVtable;
    ULONG references;
    std::string name;
    const IID* interfaceId;
};

DualObject* newDualObject(const char* kind, const IID& interfaceId, const void* const* vtable);

HRESULT STDMETHODCALLTYPE dualQueryInterface(DualObject* self, const IID& interfaceId,
                                             void** result);
ULONG STDMETHODCALLTYPE dualAddRef(DualObject* self);
ULONG STDMETHODCALLTYPE dualRelease(DualObject* self);
HRESULT STDMETHODCALLTYPE dualGetTypeInfoCount(DualObject* self, UINT* count);
HRESULT STDMETHODCALLTYPE dualGetTypeInfo(DualObject* self, UINT index, LCID locale,
                                          ITypeInfo** result);
HRESULT STDMETHODCALLTYPE dualGetIDsOfNames(DualObject* self, const IID& interfaceId,
                                            LPOLESTR* names, UINT count, LCID locale, DISPID* ids);
HRESULT STDMETHODCALLTYPE dualInvoke(DualObject* self, DISPID member, const IID& interfaceId,
                                     LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

template <std::size_t Slot>
HRESULT STDMETHODCALLTYPE unusedMember(DualObject* self) {
    logLine("call " + self->name + " unused slot " + std::to_string(Slot));
    return E_NOTIMPL;
}

template <typename Function>
const void* slot(Function function) {
    return reinterpret_cast<const void*>(function);
}

// A vtable of SlotCount slots with IUnknown and IDispatch in place and every other slot
// unused.
template <std::size_t SlotCount, std::size_t... Slot>
std::array<const void*, SlotCount> dualVtable(std::index_sequence<Slot...>) {
    std::array<const void*, SlotCount> vtable = {slot(&unusedMember<Slot>)...};
    vtable[0] = slot(&dualQueryInterface);
    vtable[1] = slot(&dualAddRef);
    vtable[2] = slot(&dualRelease);
    vtable[3] = slot(&dualGetTypeInfoCount);
    vtable[4] = slot(&dualGetTypeInfo);
    vtable[5] = slot(&dualGetIDsOfNames);
    vtable[6] = slot(&dualInvoke);
    return vtable;
}

template <std::size_t SlotCount>
std::array<const void*, SlotCount> dualVtable() {
    return dualVtable<SlotCount>(std::make_index_sequence<SlotCount>());
}
