#pragma once

#include <windows.h>

// A new application object with a reference count of one, as IUnknown.
IUnknown* newApplication();
