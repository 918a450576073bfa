// The library's printer where the differential fuzz target builds the library on the
// unmodified parser: that parser's own printer (TiXmlPrinter), with the text written in place
// put where the printer wrote that text. The answers of appendXMLChild on this side are the
// reference that the library's printer, on the other side, must give byte for byte.
#include <cstring>
#include <string>

#include "document/printer.h"

namespace pelzor {

namespace {

// A printer that notes where it wrote the text of one node.
class MarkingPrinter : public TiXmlPrinter {
public:
    explicit MarkingPrinter(const TiXmlText* marked) : marked_(marked) {}

    using TiXmlPrinter::Visit;
    bool Visit(const TiXmlText& text) override {
        if (&text != marked_) {
            return TiXmlPrinter::Visit(text);
        }
        begin_ = Size();
        const bool goOn = TiXmlPrinter::Visit(text);
        end_ = Size();
        return goOn;
    }

    std::size_t begin() const { return begin_; }
    std::size_t end() const { return end_; }

private:
    const TiXmlText* marked_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

}  // namespace

std::uint64_t printDocument(const TiXmlDocument& document, const TextInPlace& inPlace, char* out) {
    MarkingPrinter printer(inPlace.node);
    document.Accept(&printer);
    const std::string printed(printer.CStr(), printer.Size());
    const std::uint64_t written = inPlace.write(inPlace.context, nullptr);
    const std::size_t behind = printed.size() - printer.end();
    if (out != nullptr) {
        std::memcpy(out, printed.data(), printer.begin());
        inPlace.write(inPlace.context, out + printer.begin());
        std::memcpy(out + printer.begin() + written, printed.data() + printer.end(), behind);
    }
    return printer.begin() + written + behind;
}

}  // namespace pelzor
