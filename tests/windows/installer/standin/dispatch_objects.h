#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

// Objects reached only through IDispatch (the workbook, the add-in collection and an
// add-in), counted and logged like every object the stand-in hands out. Invoke checks the
// settings every late-bound call must have and logs the call with its arguments.
class DispatchObject : public IDispatch {
public:
    DispatchObject(const char* kind, const IID& interfaceId);
    virtual ~DispatchObject();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID interfaceId, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

protected:
    // A member's own work once the call is logged; DISP_E_MEMBERNOTFOUND by default.
    virtual HRESULT invokeMember(DISPID member, WORD flags, DISPPARAMS& parameters, VARIANT* result,
                                 EXCEPINFO* exception, UINT* argumentError);
    virtual const char* memberName(DISPID member) const;

    const std::string name_;

private:
    const IID& interfaceId_;
    ULONG references_ = 1;
};

// A new add-in collection, as the application's AddIns property hands it out.
IDispatch* newAddIns();
// A new workbook, as Workbooks.Add hands it out.
IDispatch* newWorkbook();
