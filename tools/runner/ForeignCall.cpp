// The libffi call.
#include "ForeignCall.h"

#include <ffi.h>

#include <string>

namespace Tools {
namespace {

ffi_type* ffiType(ForeignType type) {
    switch (type) {
        case ForeignType::Void: return &ffi_type_void;
        case ForeignType::Int8: return &ffi_type_sint8;
        case ForeignType::UInt8: return &ffi_type_uint8;
        case ForeignType::Int16: return &ffi_type_sint16;
        case ForeignType::UInt16: return &ffi_type_uint16;
        case ForeignType::Int32: return &ffi_type_sint32;
        case ForeignType::UInt32: return &ffi_type_uint32;
        case ForeignType::Float: return &ffi_type_float;
        case ForeignType::Double: return &ffi_type_double;
        case ForeignType::Pointer: return &ffi_type_pointer;
    }
    return nullptr;
}

}  // namespace

const char* foreignTypeName(ForeignType type) {
    switch (type) {
        case ForeignType::Void: return "void";
        case ForeignType::Int8: return "int8";
        case ForeignType::UInt8: return "uint8";
        case ForeignType::Int16: return "int16";
        case ForeignType::UInt16: return "uint16";
        case ForeignType::Int32: return "int32";
        case ForeignType::UInt32: return "uint32";
        case ForeignType::Float: return "float";
        case ForeignType::Double: return "double";
        case ForeignType::Pointer: return "pointer";
    }
    return "?";
}

ForeignValue ForeignValue::int8(std::int8_t v) {
    ForeignValue x;
    x.type = ForeignType::Int8;
    x.i8 = v;
    return x;
}
ForeignValue ForeignValue::uint8(std::uint8_t v) {
    ForeignValue x;
    x.type = ForeignType::UInt8;
    x.u8 = v;
    return x;
}
ForeignValue ForeignValue::int16(std::int16_t v) {
    ForeignValue x;
    x.type = ForeignType::Int16;
    x.i16 = v;
    return x;
}
ForeignValue ForeignValue::uint16(std::uint16_t v) {
    ForeignValue x;
    x.type = ForeignType::UInt16;
    x.u16 = v;
    return x;
}
ForeignValue ForeignValue::int32(std::int32_t v) {
    ForeignValue x;
    x.type = ForeignType::Int32;
    x.i32 = v;
    return x;
}
ForeignValue ForeignValue::uint32(std::uint32_t v) {
    ForeignValue x;
    x.type = ForeignType::UInt32;
    x.u32 = v;
    return x;
}
ForeignValue ForeignValue::float32(float v) {
    ForeignValue x;
    x.type = ForeignType::Float;
    x.f = v;
    return x;
}
ForeignValue ForeignValue::float64(double v) {
    ForeignValue x;
    x.type = ForeignType::Double;
    x.d = v;
    return x;
}
ForeignValue ForeignValue::pointer(void* v) {
    ForeignValue x;
    x.type = ForeignType::Pointer;
    x.p = v;
    return x;
}

ForeignValue callForeign(void* function, ForeignType result,
                         const std::vector<ForeignValue>& arguments) {
    if (!function) throw ForeignCallError("no function to call");
    std::vector<ffi_type*> types;
    std::vector<void*> values;
    types.reserve(arguments.size());
    values.reserve(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i].type == ForeignType::Void) {
            throw ForeignCallError("argument " + std::to_string(i + 1) + " has no type");
        }
        types.push_back(ffiType(arguments[i].type));
        // Every member of the union starts at its address.
        values.push_back(const_cast<void*>(static_cast<const void*>(&arguments[i].d)));
    }
    ffi_cif cif;
    ffi_status status = ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()),
                                     ffiType(result), types.empty() ? nullptr : types.data());
    if (status != FFI_OK) {
        throw ForeignCallError("libffi cannot prepare a call of this shape (status " +
                               std::to_string(static_cast<int>(status)) + ")");
    }
    // Integer results narrower than a register come back widened to ffi_arg.
    union {
        ffi_arg integer;
        float f;
        double d;
        void* p;
    } raw{};
    ffi_call(&cif, reinterpret_cast<void (*)()>(function), &raw,
             values.empty() ? nullptr : values.data());

    ForeignValue out;
    out.type = result;
    switch (result) {
        case ForeignType::Void: break;
        case ForeignType::Int8: out.i8 = static_cast<std::int8_t>(raw.integer); break;
        case ForeignType::UInt8: out.u8 = static_cast<std::uint8_t>(raw.integer); break;
        case ForeignType::Int16: out.i16 = static_cast<std::int16_t>(raw.integer); break;
        case ForeignType::UInt16: out.u16 = static_cast<std::uint16_t>(raw.integer); break;
        case ForeignType::Int32: out.i32 = static_cast<std::int32_t>(raw.integer); break;
        case ForeignType::UInt32: out.u32 = static_cast<std::uint32_t>(raw.integer); break;
        case ForeignType::Float: out.f = raw.f; break;
        case ForeignType::Double: out.d = raw.d; break;
        case ForeignType::Pointer: out.p = raw.p; break;
    }
    return out;
}

}  // namespace Tools
