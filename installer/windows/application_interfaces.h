#pragma once

#include <windows.h>

#include <oaidl.h>

// Hand-written declarations of the spreadsheet application's dual interfaces, as far as
// the installer calls them through their vtables. The members the installer does not call
// are kept as placeholders so that every used member sits at its published slot (IUnknown
// takes slots 0-2, IDispatch 3-6). The placeholders are never called.

extern const IID kApplicationInterfaceId;  // _Application
extern const IID kWorkbooksInterfaceId;    // Workbooks

// clang-format off
#define TRESSVOLD_UNUSED_SLOT(number) virtual void STDMETHODCALLTYPE unusedSlot##number() = 0;
#define TRESSVOLD_UNUSED_TEN_SLOTS(tens)                              \
    TRESSVOLD_UNUSED_SLOT(tens##0) TRESSVOLD_UNUSED_SLOT(tens##1)     \
    TRESSVOLD_UNUSED_SLOT(tens##2) TRESSVOLD_UNUSED_SLOT(tens##3)     \
    TRESSVOLD_UNUSED_SLOT(tens##4) TRESSVOLD_UNUSED_SLOT(tens##5)     \
    TRESSVOLD_UNUSED_SLOT(tens##6) TRESSVOLD_UNUSED_SLOT(tens##7)     \
    TRESSVOLD_UNUSED_SLOT(tens##8) TRESSVOLD_UNUSED_SLOT(tens##9)
// clang-format on

// Workbooks: Add is slot 10.
struct SpreadsheetWorkbooks : public IDispatch {
    TRESSVOLD_UNUSED_SLOT(7)
    TRESSVOLD_UNUSED_SLOT(8)
    TRESSVOLD_UNUSED_SLOT(9)
    virtual HRESULT STDMETHODCALLTYPE Add(VARIANT templateArgument, long locale,
                                          IDispatch** workbook) = 0;  // slot 10
};

// _Application: AddIns is slot 19, Workbooks slot 52 and Quit slot 230.
struct SpreadsheetApplication : public IDispatch {
    TRESSVOLD_UNUSED_SLOT(7)
    TRESSVOLD_UNUSED_SLOT(8)
    TRESSVOLD_UNUSED_SLOT(9)
    TRESSVOLD_UNUSED_SLOT(10)
    TRESSVOLD_UNUSED_SLOT(11)
    TRESSVOLD_UNUSED_SLOT(12)
    TRESSVOLD_UNUSED_SLOT(13)
    TRESSVOLD_UNUSED_SLOT(14)
    TRESSVOLD_UNUSED_SLOT(15)
    TRESSVOLD_UNUSED_SLOT(16)
    TRESSVOLD_UNUSED_SLOT(17)
    TRESSVOLD_UNUSED_SLOT(18)
    virtual HRESULT STDMETHODCALLTYPE get_AddIns(IDispatch** addIns) = 0;  // slot 19
    TRESSVOLD_UNUSED_TEN_SLOTS(2)
    TRESSVOLD_UNUSED_TEN_SLOTS(3)
    TRESSVOLD_UNUSED_TEN_SLOTS(4)
    TRESSVOLD_UNUSED_SLOT(50)
    TRESSVOLD_UNUSED_SLOT(51)
    virtual HRESULT STDMETHODCALLTYPE get_Workbooks(SpreadsheetWorkbooks** workbooks) = 0;  // 52
    TRESSVOLD_UNUSED_SLOT(53)
    TRESSVOLD_UNUSED_SLOT(54)
    TRESSVOLD_UNUSED_SLOT(55)
    TRESSVOLD_UNUSED_SLOT(56)
    TRESSVOLD_UNUSED_SLOT(57)
    TRESSVOLD_UNUSED_SLOT(58)
    TRESSVOLD_UNUSED_SLOT(59)
    TRESSVOLD_UNUSED_TEN_SLOTS(6)
    TRESSVOLD_UNUSED_TEN_SLOTS(7)
    TRESSVOLD_UNUSED_TEN_SLOTS(8)
    TRESSVOLD_UNUSED_TEN_SLOTS(9)
    TRESSVOLD_UNUSED_TEN_SLOTS(10)
    TRESSVOLD_UNUSED_TEN_SLOTS(11)
    TRESSVOLD_UNUSED_TEN_SLOTS(12)
    TRESSVOLD_UNUSED_TEN_SLOTS(13)
    TRESSVOLD_UNUSED_TEN_SLOTS(14)
    TRESSVOLD_UNUSED_TEN_SLOTS(15)
    TRESSVOLD_UNUSED_TEN_SLOTS(16)
    TRESSVOLD_UNUSED_TEN_SLOTS(17)
    TRESSVOLD_UNUSED_TEN_SLOTS(18)
    TRESSVOLD_UNUSED_TEN_SLOTS(19)
    TRESSVOLD_UNUSED_TEN_SLOTS(20)
    TRESSVOLD_UNUSED_TEN_SLOTS(21)
    TRESSVOLD_UNUSED_TEN_SLOTS(22)
    virtual HRESULT STDMETHODCALLTYPE Quit() = 0;  // slot 230
};

#undef TRESSVOLD_UNUSED_TEN_SLOTS
#undef TRESSVOLD_UNUSED_SLOT
