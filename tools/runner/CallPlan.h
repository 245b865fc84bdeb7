// How a registered script function is called, planned from its signature: what each parameter
// takes and how the result comes back. The runner and the validator both plan with this; each
// then supplies what it can (the runner from command-line words, the validator from generated
// values) and names what it cannot.
#pragma once

#include <cstdint>
#include <optional>

#include "ForeignValue.h"
#include "ObjectKinds.h"
#include "Signature.h"

namespace Tools {

// Where a parameter's value comes from.
enum class Supply {
    ImageAddress,   // "ImageRef *": the address of an image handle
    ImageHandle,    // an image type by value: the handle itself
    StringHandle,   // qz_string: a host String
    ObjectHandle,   // another object kind by value
    ObjectAddress,  // a pointer to the handle of another object kind (or of a String)
    Text,           // string: the address of zero-terminated text
    Number,         // a number or truth value (ForeignTypes.def)
    NumberAddress,  // a pointer to one
};

// How the values of a number type are read and generated (ForeignTypes.def).
enum class NumberReading {
    Integer,  // a whole number in the range of its type
    Real,     // any number of its type
    Boolean,  // true or false, travelling as 1 or 0
};

struct ParamPlan {
    Supply supply = Supply::Number;
    // What travels: a handle as UInt32, an address as Pointer; for NumberAddress the number's own
    // type behind the pointer.
    ForeignType foreign = ForeignType::Int32;
    NumberReading reading = NumberReading::Integer;  // the number supplies
    std::int64_t min = 0;                            // the range of an integer reading
    std::int64_t max = 0;
    StandIn::ObjectKind objectKind = StandIn::ObjectKind::Image;  // the object supplies

    bool isImage() const { return supply == Supply::ImageAddress || supply == Supply::ImageHandle; }
    bool isNumber() const { return supply == Supply::Number || supply == Supply::NumberAddress; }
};

// Nothing when no value of the parameter's type can be made (complex, stringbuffer, a long that
// carries an address, ...).
std::optional<ParamPlan> planParam(const StandIn::Param& p);

struct ResultPlan {
    ForeignType foreign = ForeignType::Void;
    bool object = false;  // a handle of a host object, travelling as UInt32
    bool image = false;   // of an image type (RealImagePtr, ImageRef, ...)
    NumberReading reading = NumberReading::Integer;  // a number result
};

// Nothing when a result of the type cannot be received (a pointer, complex, ...).
std::optional<ResultPlan> planResult(const StandIn::Param& r);

}  // namespace Tools
