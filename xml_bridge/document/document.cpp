#include "document/document.h"

#include "memory/call_memory.h"

namespace pelzor {

CallDocument::CallDocument(const char* xmlText) : text_(xmlText), document_(new TiXmlDocument) {
    document_->Parse(text_.c_str(), nullptr, TIXML_ENCODING_UTF8);
}

void CallDocument::DropTree::operator()(TiXmlDocument* tree) const noexcept {
    if (!CallMemory::operatorNewTakesFromCall()) {
        delete tree;
    }
}

}  // namespace pelzor
