#pragma once

#include <string>

// The add-in's name as the spreadsheet application lists it: the last component of the
// full path up to its first '.'. Only the backslash separates components.
std::string addInNameFromPath(const std::string& fullPath);
