// Linked only where operator_new.cpp is not: the standard operator new takes nothing from a
// call's region.
#include "internals.h"

bool pelzor::libraryOperatorNewLinked() noexcept {
    return false;
}
