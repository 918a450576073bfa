#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

// The one failure a run asks for, read from the environment:
//   TRESSVOLD_STANDIN_FAIL     the member that fails, e.g. "AddIns.Item"
//   TRESSVOLD_STANDIN_FAILURE  how it fails:
//     hresult:XXXXXXXX          returns that code
//     errorinfo:XXXXXXXX        sets rich error information, then returns that code
//     scode:XXXXXXXX            DISP_E_EXCEPTION with that scode (Invoke members only)
//     wcode:N                   DISP_E_EXCEPTION with that wCode (decimal)
//     deferred-scode:/deferred-wcode:  the same, texts filled in by a deferred routine
//     no-object                 succeeds without handing back an object
//     empty-result              succeeds with an empty VARIANT (Invoke members only)
// Every exception and error information carries a description and a source text.

bool handsBackNoObject(const char* member);
bool handsBackEmptyResult(const char* member);

// For members called through a vtable: S_OK, or the failing code (error information set).
HRESULT plannedVtableFailure(const char* member, REFIID interfaceId);

// For members called through Invoke: S_OK, or the failing code (exception filled in).
HRESULT plannedInvokeFailure(const char* member, EXCEPINFO* exception);

std::string failureDescription(const char* member);
constexpr const char* kFailureSource = "Stand-in spreadsheet";
