#include "paths/path.h"

namespace pelzor {

namespace {

bool isAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Names are read as the parser reads element names: a letter, '_' or a byte of 0x7F and above
// first, then also digits, '-' and '.'. Bytes of 0x7F and above are taken as they come, so
// every name the parser produces can be written; names are only ever compared byte for byte.
bool isNameStart(unsigned char c) {
    return isAsciiLetter(c) || c == '_' || c >= 0x7F;
}

bool isNameByte(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class PathReader {
public:
    explicit PathReader(const char* text) : text_(text), p_(text) {}

    PathParse read() {
        PathParse result;
        if (!readUnion(result.path)) {
            result.errorOffset = p_ - text_;
        }
        return result;
    }

private:
    // Operands joined by '|', white space allowed around each.
    bool readUnion(Path& path) {
        for (;;) {
            skipSpace();
            path.operands.emplace_back();
            LocationPath& operand = path.operands.back();
            operand.textBegin = offset();
            if (!readLocationPath(operand)) {
                return false;
            }
            operand.textEnd = offset();
            skipSpace();
            if (*p_ == '\0') {
                return true;
            }
            if (*p_ != '|') {
                return false;
            }
            ++p_;
        }
    }

    // Steps up to the first byte that cannot continue the location path; what follows is the
    // caller's to judge.
    bool readLocationPath(LocationPath& path) {
        bool anyDepth = false;
        if (*p_ == '/') {
            path.absolute = true;
            anyDepth = p_[1] == '/';
            p_ += anyDepth ? 2 : 1;
        }
        for (;;) {
            if (!countPart()) {
                return false;
            }
            path.steps.emplace_back();
            PathStep& step = path.steps.back();
            step.anyDepth = anyDepth;
            if (!readStep(step)) {
                return false;
            }
            if (step.attribute || *p_ != '/') {
                // An attribute ends the location path.
                return true;
            }
            anyDepth = p_[1] == '/';
            p_ += anyDepth ? 2 : 1;
        }
    }

    bool readStep(PathStep& step) {
        if (*p_ == '.') {
            // "..", the parent, is not part of the language.
            if (p_[1] == '.') {
                return false;
            }
            ++p_;
            step.self = true;
            return true;
        }
        if (*p_ == '@') {
            ++p_;
            step.attribute = true;
            return readName(step.name);
        }
        if (*p_ == '*') {
            ++p_;
            step.anyName = true;
        } else if (!readName(step.name)) {
            return false;
        }
        std::size_t runStart = 0;  // the first predicate after the last position test
        while (*p_ == '[') {
            if (!countPart()) {
                return false;
            }
            ++p_;
            PathPredicate predicate;
            if (!readPredicate(predicate)) {
                return false;
            }
            if (predicate.kind == PathPredicate::Kind::Position) {
                runStart = step.predicates.size() + 1;
            } else if (repeats(step.predicates, runStart, predicate)) {
                // Tests that do not count positions only filter, so a test repeated where no
                // position test stands between the two filters nothing more; leaving it out
                // keeps a long path of repeated tests from costing a pass over the nodes each.
                continue;
            }
            step.predicates.push_back(std::move(predicate));
        }
        return true;
    }

    static bool repeats(const std::vector<PathPredicate>& predicates, std::size_t from,
                        const PathPredicate& predicate) {
        for (std::size_t i = from; i < predicates.size(); ++i) {
            if (predicates[i].kind == predicate.kind && predicates[i].name == predicate.name &&
                predicates[i].value == predicate.value) {
                return true;
            }
        }
        return false;
    }

    // After the '[': "n", "@a", "@a='v'" or "child='v'", white space around the parts, ']'.
    bool readPredicate(PathPredicate& predicate) {
        skipSpace();
        if (*p_ >= '0' && *p_ <= '9') {
            predicate.kind = PathPredicate::Kind::Position;
            predicate.position = readNumber();
        } else if (*p_ == '@') {
            ++p_;
            if (!readName(predicate.name)) {
                return false;
            }
            skipSpace();
            predicate.kind = PathPredicate::Kind::HasAttribute;
            if (*p_ == '=') {
                predicate.kind = PathPredicate::Kind::AttributeEquals;
                if (!readComparedValue(predicate.value)) {
                    return false;
                }
            }
        } else {
            if (!readName(predicate.name)) {
                return false;
            }
            skipSpace();
            if (*p_ != '=') {
                return false;
            }
            predicate.kind = PathPredicate::Kind::ChildEquals;
            if (!readComparedValue(predicate.value)) {
                return false;
            }
        }
        skipSpace();
        if (*p_ != ']') {
            return false;
        }
        ++p_;
        return true;
    }

    // At the '=': the quoted literal after it. XPath's literals have no escapes: the value
    // runs to the next quote of the same kind.
    bool readComparedValue(std::string& value) {
        ++p_;
        skipSpace();
        const char quote = *p_;
        if (quote != '\'' && quote != '"') {
            return false;
        }
        const char* start = p_ + 1;
        const char* end = start;
        while (*end != '\0' && *end != quote) {
            ++end;
        }
        if (*end == '\0') {
            p_ = end;
            return false;
        }
        value.assign(start, end);
        p_ = end + 1;
        return true;
    }

    std::uint64_t readNumber() {
        constexpr std::uint64_t kLimit = UINT64_MAX / 10 - 9;
        std::uint64_t n = 0;
        for (; *p_ >= '0' && *p_ <= '9'; ++p_) {
            n = n < kLimit ? n * 10 + static_cast<unsigned>(*p_ - '0') : UINT64_MAX;
        }
        return n;
    }

    // A name, or a prefixed name: two names joined by one ':'. A ':' not followed by a name
    // is left unread.
    bool readName(std::string& name) {
        const char* start = p_;
        if (!readNamePart()) {
            return false;
        }
        if (*p_ == ':' && isNameStart(static_cast<unsigned char>(p_[1]))) {
            ++p_;
            readNamePart();
        }
        name.assign(start, p_);
        return true;
    }

    bool readNamePart() {
        if (!isNameStart(static_cast<unsigned char>(*p_))) {
            return false;
        }
        ++p_;
        while (isNameByte(static_cast<unsigned char>(*p_))) {
            ++p_;
        }
        return true;
    }

    void skipSpace() {
        while (isSpace(*p_)) {
            ++p_;
        }
    }

    bool countPart() { return ++parts_ <= kMaxPathParts; }

    std::size_t offset() const { return static_cast<std::size_t>(p_ - text_); }

    const char* text_;
    const char* p_;
    std::size_t parts_ = 0;
};

}  // namespace

PathParse parsePath(const char* text) {
    return PathReader(text != nullptr ? text : "").read();
}

bool isPathName(const char* name, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(name);
    const unsigned char* end = p + length;
    bool partStart = true;
    bool colonSeen = false;
    for (; p < end; ++p) {
        if (partStart) {
            if (!isNameStart(*p)) {
                return false;
            }
            partStart = false;
        } else if (*p == ':' && !colonSeen) {
            colonSeen = true;
            partStart = true;
        } else if (!isNameByte(*p)) {
            return false;
        }
    }
    return !partStart;
}

}  // namespace pelzor
