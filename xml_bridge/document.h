#pragma once
// One call's document: the caller's text parsed into a fresh tree the way every export
// reads it, and destroyed with the object at the end of the call.

#include <tinyxml.h>

#include "text_guard.h"

namespace pelzor {

class CallDocument {
public:
    // Parses `xmlText` in UTF-8 mode; parse errors are ignored and whatever was read before
    // an error stays in the tree. A null text reads like an empty one. The parser reads a
    // guarded copy (see GuardedText), never the caller's text itself. Throws std::bad_alloc
    // when memory runs out.
    explicit CallDocument(const char* xmlText);

    CallDocument(const CallDocument&) = delete;
    CallDocument& operator=(const CallDocument&) = delete;

    // The first element named `name` in lookup order, or null. A null name finds nothing.
    TiXmlElement* find(const char* name);

    TiXmlDocument& tree() { return document_; }

private:
    GuardedText text_;
    TiXmlDocument document_;
};

}  // namespace pelzor
