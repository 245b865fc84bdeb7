// The constructors, names and widths of the foreign types.
#include "ForeignValue.h"

namespace Tools {

const char* foreignTypeName(ForeignType type) {
    static const char* const kNames[] = {
        "void",
#define FOREIGN_TYPE(name, text, ...) text,
#include "ForeignTypes.def"
    };
    return kNames[static_cast<std::size_t>(type)];
}

std::size_t foreignWidth(ForeignType type) {
    return visitForeignType(type, [](auto c) -> std::size_t {
        using T = typename decltype(c)::type;
        if constexpr (std::is_void_v<T>) {
            return 0;
        } else {
            return sizeof(T);
        }
    });
}

#define FOREIGN_TYPE(name, text, ctype, ffi, member, constructor) \
    ForeignValue ForeignValue::constructor(ctype v) {             \
        ForeignValue x;                                           \
        x.type = ForeignType::name;                               \
        x.member = v;                                             \
        return x;                                                 \
    }
#include "ForeignTypes.def"

}  // namespace Tools
