#pragma once

#include <windows.h>

#include <string>

// The stand-in's record of what its clients did: one line per event, appended to the file
// named by TRESSVOLD_STANDIN_LOG (nothing is written when it is unset).
void logLine(const std::string& line);

// Objects handed out and not yet freed, by name ("Application#1", "AddIn#2").
std::string registerLiveObject(const char* kind);
void unregisterLiveObject(const std::string& name);
std::size_t liveObjectCount();
std::string liveObjectList();

std::string hex32(unsigned long value);
std::string textOf(BSTR text);
std::string describeVariant(const VARIANT& value);
std::string interfaceName(REFIID interfaceId);
