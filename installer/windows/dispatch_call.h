#pragma once

#include <windows.h>

#include <oaidl.h>

#include "com_holders.h"
#include "spreadsheet_automation.h"

// Late-bound calls through IDispatch::Invoke with the settings all of the installer's
// calls share: IID_NULL, locale 0, an EXCEPINFO and an argument-error index always
// supplied. Arguments are given in reverse order, as DISPPARAMS holds them.

// Calls a member that hands back an object; a result that is not already an object is
// coerced to VT_DISPATCH. The object may be null.
SpreadsheetAutomation::Failure invokeForObject(IDispatch* target, DISPID member, WORD flags,
                                               VARIANT* reversedArguments, UINT argumentCount,
                                               ComRef<IDispatch>& object);

// Puts a property value: one argument, named DISPID_PROPERTYPUT, no result.
SpreadsheetAutomation::Failure invokePropertyPut(IDispatch* target, DISPID member, VARIANT& value);
