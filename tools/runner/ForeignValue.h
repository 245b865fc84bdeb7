// The values a script function's entry takes and answers, typed at run time: one machine type
// per row of ForeignTypes.def.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace Tools {

// The machine types a script function's values travel as.
enum class ForeignType {
    Void,  // results only
#define FOREIGN_TYPE(name, ...) name,
#include "ForeignTypes.def"
};

const char* foreignTypeName(ForeignType type);

// The bytes of a value of the type (0 for Void).
std::size_t foreignWidth(ForeignType type);

// Names the C type T of a foreign type for code written once for every type:
//     visitForeignType(type, [&](auto c) { using T = typename decltype(c)::type; ... });
// calls the function with CType<T>, T being void for Void. Every call must answer the same type.
template <typename T>
struct CType {
    using type = T;
};

template <typename F>
decltype(auto) visitForeignType(ForeignType type, F&& f) {
#define FOREIGN_TYPE(name, text, ctype, ...) \
    if (type == ForeignType::name) return f(CType<ctype>{});
#include "ForeignTypes.def"
    return f(CType<void>{});
}

struct ForeignValue {
    ForeignType type = ForeignType::Void;
    union {
#define FOREIGN_TYPE(name, text, ctype, ffi, member, ...) ctype member;
#include "ForeignTypes.def"
    };
    ForeignValue() : d(0) {}

    // One constructor per type: ForeignValue::int16(-3), ForeignValue::pointer(&x), ...
#define FOREIGN_TYPE(name, text, ctype, ffi, member, constructor) \
    static ForeignValue constructor(ctype v);
#include "ForeignTypes.def"

    // The same by C type, and the value as its C type (which must be the value's).
    template <typename T>
    static ForeignValue of(T v);
    template <typename T>
    T as() const;

    // A number as a value of the number type `type`, converted as C converts it. Throws
    // std::logic_error for Void and Pointer, which no number travels as.
    template <typename N>
    static ForeignValue number(ForeignType type, N value);
};

#define FOREIGN_TYPE(name, text, ctype, ffi, member, constructor) \
    template <>                                                   \
    inline ForeignValue ForeignValue::of<ctype>(ctype v) {        \
        return constructor(v);                                    \
    }                                                             \
    template <>                                                   \
    inline ctype ForeignValue::as<ctype>() const {                \
        return member;                                            \
    }
#include "ForeignTypes.def"

template <typename N>
ForeignValue ForeignValue::number(ForeignType type, N value) {
    return visitForeignType(type, [&](auto c) {
        using T = typename decltype(c)::type;
        if constexpr (std::is_arithmetic_v<T>) {
            return ForeignValue::of<T>(static_cast<T>(value));
        } else {
            throw std::logic_error(std::string("no number travels as ") + foreignTypeName(type));
            return ForeignValue();
        }
    });
}

}  // namespace Tools
