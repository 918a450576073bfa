#include "dual_object.h"

#include <cstddef>

namespace {

DualObject* ownerOfSupport(void* supportInterface) {
    return reinterpret_cast<DualObject*>(static_cast<char*>(supportInterface) -
                                         offsetof(DualObject, supportVtable));
}

HRESULT STDMETHODCALLTYPE supportQueryInterface(void* self, const IID& interfaceId, void** result) {
    return dualQueryInterface(ownerOfSupport(self), interfaceId, result);
}
ULONG STDMETHODCALLTYPE supportAddRef(void* self) {
    return dualAddRef(ownerOfSupport(self));
}
ULONG STDMETHODCALLTYPE supportRelease(void* self) {
    return dualRelease(ownerOfSupport(self));
}

HRESULT STDMETHODCALLTYPE interfaceSupportsErrorInfo(void* self, const IID& interfaceId) {
    DualObject* owner = ownerOfSupport(self);
    logLine("call " + owner->name + ".InterfaceSupportsErrorInfo " + interfaceName(interfaceId));
    return IsEqualIID(interfaceId, *owner->interfaceId) ? S_OK : S_FALSE;
}

const void* const kSupportVtable[] = {slot(&supportQueryInterface), slot(&supportAddRef),
                                      slot(&supportRelease), slot(&interfaceSupportsErrorInfo)};

}  // namespace

DualObject* newDualObject(const char* kind, const IID& interfaceId, const void* const* vtable) {
    auto* object =
        new DualObject{vtable, kSupportVtable, 1, registerLiveObject(kind), &interfaceId};
    logLine("create " + object->name);
    return object;
}

HRESULT STDMETHODCALLTYPE dualQueryInterface(DualObject* self, const IID& interfaceId,
                                             void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(interfaceId, IID_IUnknown) || IsEqualIID(interfaceId, IID_IDispatch) ||
        IsEqualIID(interfaceId, *self->interfaceId)) {
        *result = &self->vtable;
    } else if (IsEqualIID(interfaceId, IID_ISupportErrorInfo)) {
        *result = &self->supportVtable;
    } else {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    dualAddRef(self);
    return S_OK;
}

ULONG STDMETHODCALLTYPE dualAddRef(DualObject* self) {
    return ++self->references;
}

ULONG STDMETHODCALLTYPE dualRelease(DualObject* self) {
    const ULONG remaining = --self->references;
    if (remaining == 0) {
        unregisterLiveObject(self->name);
        logLine("free " + self->name);
        delete self;
    }
    return remaining;
}

HRESULT STDMETHODCALLTYPE dualGetTypeInfoCount(DualObject*, UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE dualGetTypeInfo(DualObject*, UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE dualGetIDsOfNames(DualObject*, const IID&, LPOLESTR*, UINT, LCID,
                                            DISPID*) {
    return E_NOTIMPL;
}

// The installer reaches these interfaces through their vtables; a late-bound call is a
// fault worth seeing in the log.
HRESULT STDMETHODCALLTYPE dualInvoke(DualObject* self, DISPID member, const IID&, LCID, WORD,
                                     DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    logLine("call " + self->name + ".Invoke " + std::to_string(member) + " (unexpected)");
    return DISP_E_MEMBERNOTFOUND;
}
