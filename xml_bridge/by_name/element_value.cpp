#include "by_name/element_value.h"

#include "text/numbers.h"

namespace pelzor {

double elementDouble(const TiXmlElement& element) {
    const char* text = elementText(element);
    return text != nullptr ? parseDouble(text) : 0.0;
}

int elementInteger(const TiXmlElement& element) {
    const char* text = elementText(element);
    return text != nullptr ? parseInteger(text) : 0;
}

}  // namespace pelzor
