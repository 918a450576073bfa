#include "edit/attribute_list.h"

#include <cstdint>

#include "document/names.h"
#include "edit/document_text.h"
#include "values/value_array.h"

namespace pelzor {

namespace {

// Reads the items into the element's attributes, setting `problem` at the first one that is
// wrong.
class AttributeReader {
public:
    AttributeReader(const ValueArray& items, TiXmlElement& element, std::string& problem)
        : items_(items), element_(element), problem_(problem) {}

    bool readAll() {
        for (std::size_t item = 0; item < items_.count(1); item += 2) {
            if (!readName(item) || !readValue(item + 1)) {
                return false;
            }
            element_.SetAttribute(name_.c_str(), value_.c_str());
        }
        return true;
    }

private:
    bool readName(std::size_t item) {
        const ValueRef name = items_.at(item);
        if (name.type != VT_BSTR) {
            problem_ = "Item " + indexOf(item) +
                       " of the attributes is not a text: names and values come alternately, "
                       "a name first";
            return false;
        }
        name_.clear();
        if (!appendDocumentText(name, "The attribute name of item " + indexOf(item), name_,
                                problem_)) {
            return false;
        }
        if (!isParserName(name_.c_str())) {
            problem_ = "The attribute name \"" + name_ + "\" is not an XML name";
            return false;
        }
        if (element_.Attribute(name_.c_str()) != nullptr) {
            problem_ = "The attribute name \"" + name_ + "\" is given twice";
            return false;
        }
        return true;
    }

    bool readValue(std::size_t item) {
        value_.clear();
        return appendDocumentText(items_.at(item), "The value of the attribute \"" + name_ + "\"",
                                  value_, problem_);
    }

    std::string indexOf(std::size_t item) const {
        return std::to_string(std::int64_t{items_.lower(1)} + static_cast<std::int64_t>(item));
    }

    const ValueArray& items_;
    TiXmlElement& element_;
    std::string& problem_;
    std::string name_;
    std::string value_;
};

}  // namespace

bool addAttributes(const VARIANT* attributes, TiXmlElement& element, std::string& problem) {
    const ValueRef list = valueOf(attributes);
    if (list.isEmpty()) {
        return true;
    }
    if (!list.isArray()) {
        problem = "The attributes are not an array of names and values";
        return false;
    }
    SAFEARRAY* array = list.bits != nullptr ? list.array() : nullptr;
    if (array == nullptr) {
        return true;  // never sized
    }
    if (ole::dimensions(array) != 1) {
        problem = "The attributes are an array of " + std::to_string(ole::dimensions(array)) +
                  " dimensions; names and values taken alternately need 1";
        return false;
    }
    // An array without items (a ParamArray given none) may have no elements to lock at all.
    std::int32_t lower = 0;
    std::int32_t upper = 0;
    if (ole::bounds(array, 1, lower, upper) && upper < lower) {
        return true;
    }
    const ValueArray items(list);
    if (!items.readable()) {
        problem = "The attributes' items cannot be read";
        return false;
    }
    if (items.count(1) % 2 != 0) {
        problem = "The attributes hold " + std::to_string(items.count(1)) +
                  " items: names and values come in pairs";
        return false;
    }
    return AttributeReader(items, element, problem).readAll();
}

}  // namespace pelzor
