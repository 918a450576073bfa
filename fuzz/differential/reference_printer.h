#pragma once
// What the differential fuzz target's reference printer (reference_printer.cpp) prints when no
// byte is free to stand for the '&' of the values: no appendXMLChild result reads so, and the
// target then skips the comparison.
inline constexpr char kNoReference[] = "<no reference print: every byte occurs in the print>";
