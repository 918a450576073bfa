#pragma once
// PELZOR_INVARIANT(condition): checks an invariant of the library's heap in the debug and
// sanitizer builds (which define PELZOR_CHECK_INVARIANTS or leave NDEBUG undefined) and
// ends the program with the failed condition; in release builds it compiles to nothing.

#if !defined(NDEBUG) || defined(PELZOR_CHECK_INVARIANTS)
#include <cstdio>
#include <cstdlib>

#define PELZOR_INVARIANT(condition)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
#define PELZOR_INVARIANTS_CHECKED 1
#else
#define PELZOR_INVARIANT(condition) \
    do {                            \
    } while (false)
#define PELZOR_INVARIANTS_CHECKED 0
#endif
