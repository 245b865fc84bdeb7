// Strict parser for script-function signatures in catalogue, compact and named form.
#include "Signature.h"

#include <cstring>

namespace StandIn {
namespace {

struct TypeRow {
    const char* word;
    ValueKind kind;
    std::optional<ObjectKind> object;
    bool asValue;    // may stand alone as a parameter
    bool asPointer;  // may be followed by " *"
    bool asResult;   // may be a result type
};

const TypeRow kTypes[] = {
    {"void", ValueKind::Void, std::nullopt, false, true, true},
    {"Boolean", ValueKind::Boolean, std::nullopt, true, true, true},
    {"char", ValueKind::Char, std::nullopt, true, false, false},
    {"short", ValueKind::Short, std::nullopt, true, true, true},
    {"uint16", ValueKind::UInt16, std::nullopt, true, true, false},
    {"long", ValueKind::Long, std::nullopt, true, true, true},
    {"ulong", ValueKind::ULong, std::nullopt, true, true, true},
    {"uint32", ValueKind::ULong, std::nullopt, true, true, true},
    {"float", ValueKind::Float, std::nullopt, true, true, true},
    {"double", ValueKind::Double, std::nullopt, true, true, true},
    {"complex", ValueKind::Complex, std::nullopt, true, true, false},
    {"RGB", ValueKind::RGB, std::nullopt, true, true, false},
    {"string", ValueKind::Text, std::nullopt, true, false, false},
    {"stringbuffer", ValueKind::TextBuffer, std::nullopt, true, false, false},
    {"PFFileReference", ValueKind::Token, std::nullopt, true, false, true},
    {"Handle", ValueKind::Token, std::nullopt, true, false, true},
    {"External32BitType", ValueKind::Token, std::nullopt, true, false, false},
    {"Image", ValueKind::Image, ObjectKind::Image, false, true, false},
    {"ImageRef", ValueKind::Object, ObjectKind::Image, true, true, true},
    {"RealImagePtr", ValueKind::Object, ObjectKind::Image, true, false, true},
    {"ComplexImagePtr", ValueKind::Object, ObjectKind::Image, true, false, true},
    {"RGBImagePtr", ValueKind::Object, ObjectKind::Image, true, false, true},
    {"TagGroup", ValueKind::Object, ObjectKind::TagGroup, true, true, true},
    {"Component", ValueKind::Object, ObjectKind::Component, true, false, true},
    {"ImageDisplay", ValueKind::Object, ObjectKind::ImageDisplay, true, true, true},
    {"LinePlotImageDisplay", ValueKind::Object, ObjectKind::LinePlotImageDisplay, true, false,
     false},
    {"RasterImageDisplay", ValueKind::Object, ObjectKind::RasterImageDisplay, true, false, false},
    {"SurfacePlotImageDisplay", ValueKind::Object, ObjectKind::SurfacePlotImageDisplay, true, false,
     false},
    {"ImageDocument", ValueKind::Object, ObjectKind::ImageDocument, true, false, true},
    {"ROI", ValueKind::Object, ObjectKind::RegionOfInterest, true, false, true},
    {"Window", ValueKind::Object, ObjectKind::Window, true, false, true},
    {"ScriptObject", ValueKind::Object, ObjectKind::ScriptObject, true, false, true},
    {"Function", ValueKind::Object, ObjectKind::Function, true, false, true},
    {"Throwable", ValueKind::Object, ObjectKind::Throwable, true, false, false},
    {"qz_string", ValueKind::Object, ObjectKind::String, true, true, true},
};

const TypeRow* findType(const std::string& word) {
    for (const TypeRow& row : kTypes) {
        if (word == row.word) return &row;
    }
    return nullptr;
}

std::size_t valueWidth(ValueKind kind) {
    switch (kind) {
        case ValueKind::Void: return 0;
        case ValueKind::Boolean:
        case ValueKind::Char: return 1;
        case ValueKind::Short:
        case ValueKind::UInt16: return 2;
        case ValueKind::Double: return 8;
        case ValueKind::Complex: return 16;
        case ValueKind::Text:
        case ValueKind::TextBuffer:
        case ValueKind::Image: return sizeof(void*);
        default: return 4;
    }
}

// "long"s that carry an address and so travel pointer-wide: the function's result (-1) or the
// parameter of the given index.
struct AddressLong {
    const char* function;
    int param;  // -1: the result
};
const AddressLong kAddressLongs[] = {
    {"GetDataPtr", -1},
    {"RegisterCustomMenu", 0},
    {"RegisterCustomTool", 1},
};

bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }

class Parser {
  public:
    explicit Parser(const std::string& text) : fText(text) {}

    Signature run() {
        Signature sig;
        sig.text = fText;
        if (fText.empty()) fail("empty signature");

        // Result type, then one space.
        std::string resultWord = identifier("result type");
        expect(' ', "one space after the result type");
        bool resultPointer = false;
        if (peek() == '*') {
            ++fPos;
            resultPointer = true;
        }
        sig.name = identifier("function name");
        expect('(', "'(' after the function name");

        if (resultPointer)
            sig.style = SignatureStyle::Named;
        else if (peek() == ' ')
            sig.style = SignatureStyle::Catalogue;  // may turn out Named
        else
            sig.style = SignatureStyle::Compact;

        sig.result = makeResult(resultWord, resultPointer, sig.style == SignatureStyle::Named);

        if (sig.style == SignatureStyle::Compact)
            parseCompactParams(sig);
        else
            parseSpacedParams(sig);

        if (fPos != fText.size()) fail("unexpected text after ')'");
        applyAddressLongs(sig);
        return sig;
    }

    // The compact form with the spacing a person writes: spaces anywhere between the words and
    // the punctuation, at least one between the result type and the name.
    Signature runWritten() {
        Signature sig;
        sig.text = fText;
        sig.style = SignatureStyle::Compact;
        if (fText.empty()) fail("empty signature");
        skipSpaces();
        std::string resultWord = identifier("result type");
        expect(' ', "a space after the result type");
        skipSpaces();
        sig.name = identifier("function name");
        skipSpaces();
        expect('(', "'(' after the function name");
        sig.result = makeResult(resultWord, false, false);
        skipSpaces();
        if (peek() == ')') {
            ++fPos;
        } else {
            for (;;) {
                Param p;
                p.type = identifier("parameter type");
                skipSpaces();
                if (peek() == '*') {
                    ++fPos;
                    p.pointer = true;
                    skipSpaces();
                }
                checkParamType(p, false);
                sig.params.push_back(p);
                if (peek() == ',') {
                    ++fPos;
                    skipSpaces();
                    continue;
                }
                expect(')', "',' or ')' after a parameter");
                break;
            }
        }
        skipSpaces();
        if (fPos != fText.size()) fail("unexpected text after ')'");
        applyAddressLongs(sig);
        return sig;
    }

  private:
    void skipSpaces() {
        while (peek() == ' ') ++fPos;
    }

    void parseCompactParams(Signature& sig) {
        if (peek() == ')') {
            ++fPos;
            return;
        }
        for (;;) {
            sig.params.push_back(unnamedParam());
            if (peek() == ',') {
                ++fPos;
                continue;
            }
            expect(')', "',' or ')' after a parameter");
            return;
        }
    }

    void parseSpacedParams(Signature& sig) {
        expect(' ', "one space after '('");
        if (peek() == ' ') {
            ++fPos;
            expect(')', "')' after the two spaces of an empty parameter list");
            if (sig.style == SignatureStyle::Named) fail("a named signature needs parameters");
            return;
        }
        bool first = true;
        for (;;) {
            // The first parameter decides between the catalogue and the named form.
            Param p = paramType();
            if (first && sig.style == SignatureStyle::Catalogue && isIdentStartAfterSpace()) {
                sig.style = SignatureStyle::Named;
            }
            bool named = sig.style == SignatureStyle::Named;
            if (named) paramName(p, sig);
            checkParamType(p, named);
            if (sig.variadic) {
                for (std::size_t i = 0; i < kVariadicExpansion; ++i) sig.params.push_back(p);
            } else {
                sig.params.push_back(p);
            }
            first = false;
            if (peek() == ',') {
                if (sig.variadic) fail("'...' must end the last parameter");
                ++fPos;
                expect(' ', "one space after ','");
                continue;
            }
            expect(' ', "', ' or ' )' after a parameter");
            expect(')', "')' after the closing space");
            return;
        }
    }

    // In the spaced forms, a parameter type is followed either by ',' / " )" (catalogue) or by a
    // space and a name (named form; for pointers the name is written against the '*').
    bool isIdentStartAfterSpace() const {
        if (fPendingPointerName) return true;
        return fPos + 1 < fText.size() && fText[fPos] == ' ' && isIdentStart(fText[fPos + 1]);
    }

    // Reads "word" or "word *"; in the named form "word *name" leaves the cursor on the name.
    Param paramType() {
        fPendingPointerName = false;
        Param p;
        p.type = identifier("parameter type");
        if (fPos + 1 < fText.size() && fText[fPos] == ' ' && fText[fPos + 1] == '*') {
            fPos += 2;
            p.pointer = true;
            if (fPos < fText.size() && isIdentStart(fText[fPos])) fPendingPointerName = true;
        }
        return p;
    }

    void paramName(Param& p, Signature& sig) {
        if (!fPendingPointerName) {
            if (p.pointer) fail("a named pointer parameter is written \"type *name\"");
            expect(' ', "one space between type and name");
        }
        fPendingPointerName = false;
        p.name = identifier("parameter name");
        if (fText.compare(fPos, 3, "...") == 0) {
            fPos += 3;
            sig.variadic = true;
        }
    }

    Param unnamedParam() {
        Param p = paramType();
        if (fPendingPointerName) fail("a name follows a pointer type in a signature without names");
        checkParamType(p, false);
        return p;
    }

    void checkParamType(Param& p, bool named) {
        if (fPendingPointerName && !named) fail("unexpected parameter name");
        const TypeRow* row = findType(p.type);
        if (!row) fail("unknown parameter type \"" + p.type + "\"");
        if (p.pointer && !row->asPointer) fail("\"" + p.type + " *\" is not a parameter type");
        if (!p.pointer && !row->asValue) fail("\"" + p.type + "\" is not a parameter type");
        if (row->kind == ValueKind::Image && !named)
            fail("\"Image *\" occurs only in named signatures");
        p.kind = row->kind;
        p.objectKind = row->object;
        p.width = p.pointer ? sizeof(void*) : valueWidth(row->kind);
    }

    Param makeResult(const std::string& word, bool pointer, bool named) {
        const TypeRow* row = findType(word);
        if (!row || !row->asResult) fail("unknown result type \"" + word + "\"");
        if (pointer && (!named || row->kind != ValueKind::Void))
            fail("only \"void *\" results may carry '*'");
        Param r;
        r.type = word;
        r.pointer = pointer;
        r.kind = row->kind;
        r.objectKind = row->object;
        r.width = pointer ? sizeof(void*) : valueWidth(row->kind);
        return r;
    }

    void applyAddressLongs(Signature& sig) {
        for (const AddressLong& a : kAddressLongs) {
            if (sig.name != a.function) continue;
            Param* p = a.param < 0 ? &sig.result
                                   : (static_cast<std::size_t>(a.param) < sig.params.size()
                                          ? &sig.params[a.param]
                                          : nullptr);
            if (p && p->type == "long" && !p->pointer) {
                p->carriesAddress = true;
                p->width = sizeof(void*);
            }
        }
    }

    std::string identifier(const char* what) {
        if (fPos >= fText.size() || !isIdentStart(fText[fPos]))
            fail(std::string("expected ") + what);
        std::size_t start = fPos;
        while (fPos < fText.size() && isIdentChar(fText[fPos])) ++fPos;
        return fText.substr(start, fPos - start);
    }

    char peek() const { return fPos < fText.size() ? fText[fPos] : '\0'; }

    void expect(char c, const char* what) {
        if (fPos >= fText.size() || fText[fPos] != c) fail(std::string("expected ") + what);
        ++fPos;
    }

    [[noreturn]] void fail(const std::string& message) const {
        throw SignatureError("bad signature \"" + fText + "\" at " + std::to_string(fPos) + ": " +
                             message);
    }

    const std::string& fText;
    std::size_t fPos = 0;
    bool fPendingPointerName = false;
};

}  // namespace

std::string Param::spelling() const { return pointer ? type + " *" : type; }

std::size_t Signature::recordWidth(std::size_t record) const {
    const Param* p = paramOfRecord(record);
    return p ? p->width : result.width;
}

const Param* Signature::paramOfRecord(std::size_t record) const {
    if (hasResult()) {
        if (record == 0) return nullptr;
        --record;
    }
    if (record >= params.size()) throw std::out_of_range("record index out of range for " + text);
    return &params[record];
}

Signature parseSignature(const std::string& text) {
    if (std::memchr(text.data(), '\0', text.size())) {
        throw SignatureError("bad signature: contains a zero byte");
    }
    return Parser(text).run();
}

Signature parseRegistrationSignature(const std::string& text) {
    try {
        return parseSignature(text);
    } catch (const SignatureError&) {
        if (std::memchr(text.data(), '\0', text.size())) throw;
    }
    return Parser(text).runWritten();
}

Signature parseSignature(const std::string& text, SignatureStyle required) {
    Signature sig = parseSignature(text);
    if (sig.style != required)
        throw SignatureError("bad signature \"" + text + "\": not in the required form");
    return sig;
}

}  // namespace StandIn
