// Calling a plain C function whose parameter and result types are known only at run time, through
// libffi: the runner calls a module's registered entries this way, typed by the signature the
// module registered.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace Tools {

// The machine types a script function's values travel as.
enum class ForeignType {
    Void,     // results only
    Int8,     // char
    UInt8,    // Boolean
    Int16,    // short
    UInt16,   // uint16
    Int32,    // long
    UInt32,   // ulong, uint32, handles of host objects
    Float,    // float
    Double,   // double
    Pointer,  // string, ImageRef * and other addresses
};

const char* foreignTypeName(ForeignType type);

struct ForeignValue {
    ForeignType type = ForeignType::Void;
    union {
        std::int8_t i8;
        std::uint8_t u8;
        std::int16_t i16;
        std::uint16_t u16;
        std::int32_t i32;
        std::uint32_t u32;
        float f;
        double d;
        void* p;
    };
    ForeignValue() : d(0) {}

    static ForeignValue int8(std::int8_t v);
    static ForeignValue uint8(std::uint8_t v);
    static ForeignValue int16(std::int16_t v);
    static ForeignValue uint16(std::uint16_t v);
    static ForeignValue int32(std::int32_t v);
    static ForeignValue uint32(std::uint32_t v);
    static ForeignValue float32(float v);
    static ForeignValue float64(double v);
    static ForeignValue pointer(void* v);
};

class ForeignCallError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Calls `function` with the given arguments and answers its result of type `result`. Throws
// ForeignCallError for a null function, a Void argument or when libffi cannot prepare the call.
ForeignValue callForeign(void* function, ForeignType result,
                         const std::vector<ForeignValue>& arguments);

}  // namespace Tools
