#pragma once
// One call's document: the caller's text parsed into a fresh tree the way every export
// reads it. Inside a call's region the tree is not destroyed node by node: the region takes
// all of it back in one piece when the call ends, and walking a large tree only to free it
// would cost about a tenth of the call.

#include <tinyxml.h>

#include <memory>

#include "document/text_guard.h"

namespace pelzor {

class CallDocument {
public:
    // Parses `xmlText` in UTF-8 mode; parse errors are ignored and whatever was read before
    // an error stays in the tree. A null text reads like an empty one. The parser reads the
    // text as GuardedText hands it over: where it stands, or a padded copy where it needs
    // one. Throws std::bad_alloc when memory runs out.
    explicit CallDocument(const char* xmlText);

    CallDocument(const CallDocument&) = delete;
    CallDocument& operator=(const CallDocument&) = delete;

    TiXmlDocument& tree() { return *document_; }

private:
    // Deletes the tree only where its blocks did not come from a call's region.
    struct DropTree {
        void operator()(TiXmlDocument* tree) const noexcept;
    };

    GuardedText text_;
    std::unique_ptr<TiXmlDocument, DropTree> document_;
};

}  // namespace pelzor
