#include "application.h"

#include "dispatch_objects.h"
#include "dual_object.h"
#include "failure_plan.h"
#include "standin_ids.h"

namespace {

constexpr std::size_t kApplicationSlots = 231;  // Quit, slot 230, is the last one used
constexpr std::size_t kWorkbooksSlots = 11;     // Add is slot 10

const void* const* workbooksVtable();

// Workbooks.Add(Template, lcid, result): slot 10.
HRESULT STDMETHODCALLTYPE workbooksAdd(DualObject* self, VARIANT templateArgument, LONG locale,
                                       IDispatch** workbook) {
    logLine("call " + self->name + ".Add Template=" + describeVariant(templateArgument) +
            " lcid=" + std::to_string(locale));
    if (workbook == nullptr) {
        return E_POINTER;
    }
    *workbook = nullptr;
    if (const HRESULT failure = plannedVtableFailure("Workbooks.Add", kWorkbooksIid)) {
        return failure;
    }
    *workbook = newWorkbook();
    return S_OK;
}

// _Application.AddIns: slot 19.
HRESULT STDMETHODCALLTYPE applicationAddIns(DualObject* self, IDispatch** addIns) {
    logLine("call " + self->name + ".AddIns");
    if (addIns == nullptr) {
        return E_POINTER;
    }
    *addIns = nullptr;
    if (const HRESULT failure = plannedVtableFailure("Application.AddIns", kApplicationIid)) {
        return failure;
    }
    if (!handsBackNoObject("Application.AddIns")) {
        *addIns = newAddIns();
    }
    return S_OK;
}

// _Application.Workbooks: slot 52.
HRESULT STDMETHODCALLTYPE applicationWorkbooks(DualObject* self, void** workbooks) {
    logLine("call " + self->name + ".Workbooks");
    if (workbooks == nullptr) {
        return E_POINTER;
    }
    *workbooks = nullptr;
    if (const HRESULT failure = plannedVtableFailure("Application.Workbooks", kApplicationIid)) {
        return failure;
    }
    if (!handsBackNoObject("Application.Workbooks")) {
        *workbooks = &newDualObject("Workbooks", kWorkbooksIid, workbooksVtable())->vtable;
    }
    return S_OK;
}

// _Application.Quit: slot 230.
HRESULT STDMETHODCALLTYPE applicationQuit(DualObject* self) {
    logLine("call " + self->name + ".Quit");
    return plannedVtableFailure("Application.Quit", kApplicationIid);
}

const void* const* workbooksVtable() {
    static const auto vtable = [] {
        auto slots = dualVtable<kWorkbooksSlots>();
        slots[10] = slot(&workbooksAdd);
        return slots;
    }();
    return vtable.data();
}

const void* const* applicationVtable() {
    static const auto vtable = [] {
        auto slots = dualVtable<kApplicationSlots>();
        slots[19] = slot(&applicationAddIns);
        slots[52] = slot(&applicationWorkbooks);
        slots[230] = slot(&applicationQuit);
        return slots;
    }();
    return vtable.data();
}

}  // namespace

IUnknown* newApplication() {
    DualObject* application = newDualObject("Application", kApplicationIid, applicationVtable());
    return reinterpret_cast<IUnknown*>(&application->vtable);
}
