// Parsing of script-function signature strings.
//
// Three spellings reach the host:
//  - catalogue form, the key of every host script function:
//        "uint32 ImageGetDimensionSize( ImageRef, uint32 )", "void Beep(  )"
//    one space after "(" and before ")", ", " between parameters, two spaces for none;
//  - compact form, used by modules when they register their own functions:
//        "RealImagePtr shiftImage(ImageRef *,float,float)", "void f()"
//  - named form, the three image-locking functions:
//        "void *ImageLockData( Image *im, uint32 lock_flags )"
//    parameters carry names, the result may be "void *" written against the name, and the last
//    parameter may end in "..." (see below).
// A pointer parameter is a type word, one space and "*" ("long *"). Parsing is strict: every
// deviation in spacing, an unknown type word, a pointer where the type admits none or trailing
// text is rejected with a SignatureError that names the position.
//
// A module's registrations are read more kindly (parseRegistrationSignature): besides the three
// forms, the compact form with the spacing a person writes, that is any number of spaces, or
// none, before and after "(", ")", ",", "*" and the whole text, and one or more between the
// result type and the name: "(ImageRef *, float)", "( ImageRef *, float )", "(ImageRef *,float)"
// and "(ImageRef*,float)" are one parameter list. The text as registered stays the function's
// key (Signature::text).
//
// Each parameter travels in one 16-byte argument record; the result, unless void, in record 0
// before them. The width of the value at the start of a record follows the script type; see
// Param::width.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ObjectKinds.h"

namespace StandIn {

// A malformed signature; what() names the problem, the position and the text.
class SignatureError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// What a record holds, independent of its width.
enum class ValueKind {
    Void,        // result only
    Boolean,     // 1 byte, non-zero is true
    Char,        // 1 byte
    Short,       // signed 16-bit
    UInt16,      // unsigned 16-bit
    Long,        // signed 32-bit ("long"; pointer-wide when it carries an address)
    ULong,       // unsigned 32-bit ("ulong", "uint32")
    Float,       // IEEE single
    Double,      // IEEE double
    Complex,     // 16 bytes
    RGB,         // 4 bytes
    Token,       // plain 32-bit host token: PFFileReference, Handle, External32BitType
    Text,        // "string": pointer to zero-terminated 8-bit text
    TextBuffer,  // "stringbuffer": pointer to a character buffer
    Object,      // a host object handle (32-bit); see Param::objectKind
    Image,       // "Image" (named form, only as "Image *"): pointer-wide record holding a handle
};

struct Param {
    std::string type;      // the type word, e.g. "long", "ImageRef"
    bool pointer = false;  // written with " *"
    std::string name;      // parameter name in the named form, else empty
    ValueKind kind = ValueKind::Void;
    std::optional<ObjectKind> objectKind;  // for Object (and Image): the kind of the handle
    bool carriesAddress = false;  // a "long" that holds an address and travels pointer-wide
    std::size_t width = 0;        // bytes of the value at the start of its record (0 for void)

    // The type as written in the signature: "long *", "ImageRef".
    std::string spelling() const;
};

enum class SignatureStyle { Catalogue, Compact, Named };

// A trailing "..." parameter stands for the five (size, stride) pointer pairs of the dimension
// information: it is expanded into this many parameters of its own type.
constexpr std::size_t kVariadicExpansion = 10;

struct Signature {
    std::string text;  // the signature exactly as given
    SignatureStyle style = SignatureStyle::Catalogue;
    Param result;               // kind Void for "void"
    std::string name;           // function name
    std::vector<Param> params;  // after expansion of "..."
    bool variadic = false;      // the last written parameter ended in "..."

    bool hasResult() const { return result.kind != ValueKind::Void || result.pointer; }
    // Number of argument records a call passes: parameters, plus one for a non-void result.
    std::size_t recordCount() const { return params.size() + (hasResult() ? 1 : 0); }
    // Width of the value at the start of record i (0 = the result when there is one).
    std::size_t recordWidth(std::size_t record) const;
    // The parameter whose record is `record`, or null for the result record.
    const Param* paramOfRecord(std::size_t record) const;
};

// Parses any of the three forms; throws SignatureError.
Signature parseSignature(const std::string& text);

// Parses and additionally requires the given form.
Signature parseSignature(const std::string& text, SignatureStyle required);

// Parses a signature a module registers: any of the three forms, or else the compact form with
// free spacing (style Compact). Throws SignatureError, naming the position in the text as given.
Signature parseRegistrationSignature(const std::string& text);

}  // namespace StandIn
