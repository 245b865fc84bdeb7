// The libffi call.
#include "ForeignCall.h"

#include <ffi.h>

#include <string>

namespace Tools {
namespace {

ffi_type* ffiType(ForeignType type) {
    static ffi_type* const kTypes[] = {
        &ffi_type_void,
#define FOREIGN_TYPE(name, text, ctype, ffi, ...) &ffi,
#include "ForeignTypes.def"
    };
    return kTypes[static_cast<std::size_t>(type)];
}

// What ffi_call writes: integer results narrower than a register come back widened to ffi_arg.
union RawResult {
    ffi_arg integer;
    float f;
    double d;
    void* p;
};

template <typename T>
ForeignValue fromRaw(const RawResult& raw) {
    if constexpr (std::is_void_v<T>) {
        return ForeignValue();
    } else if constexpr (std::is_integral_v<T>) {
        return ForeignValue::of<T>(static_cast<T>(raw.integer));
    } else if constexpr (std::is_same_v<T, float>) {
        return ForeignValue::of<T>(raw.f);
    } else if constexpr (std::is_same_v<T, double>) {
        return ForeignValue::of<T>(raw.d);
    } else {
        static_assert(std::is_pointer_v<T>, "a foreign type is a number or an address");
        return ForeignValue::of<T>(raw.p);
    }
}

}  // namespace

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
    RawResult raw{};
    ffi_call(&cif, reinterpret_cast<void (*)()>(function), &raw,
             values.empty() ? nullptr : values.data());
    return visitForeignType(result,
                            [&](auto c) { return fromRaw<typename decltype(c)::type>(raw); });
}

}  // namespace Tools
