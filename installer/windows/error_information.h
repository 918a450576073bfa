#pragma once

#include <windows.h>

#include <oaidl.h>

#include "automation_error.h"

// Builds the error of a failed call through an interface: error information is taken
// only when the object says it supports it for that interface.
AutomationError interfaceCallError(HRESULT result, IUnknown* object, REFIID interfaceId);

// Builds the error of a failed IDispatch::Invoke; a dispatch exception is turned into
// error information, and the EXCEPINFO texts are freed.
AutomationError dispatchCallError(HRESULT result, EXCEPINFO& exception);
