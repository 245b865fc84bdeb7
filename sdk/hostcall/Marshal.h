// Moving values into and out of the argument records of a host call.
//
// The generated stubs are written in these terms. A value sits at the start of its record and is
// copied byte for byte (no type punning); the bytes past its width are left as they were, since
// the host reads only the width that the signature gives it. Host objects travel as their handle
// words: borrowed going in, adopted coming out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "hostcall/References.h"
#include "shell/Boundary.h"

namespace Vorna {

// One row of a catalogue of host script functions, as its stub calls it.
struct CatalogueRow {
    const char* signature;     // the exact text under which the host resolves the function
    std::int32_t recordCount;  // parameters, plus one for a non-void result
};

namespace Marshal {

static_assert(sizeof(bool) == 1, "Boolean values travel as one byte");
static_assert(sizeof(complex) == 16, "complex values travel as 16 bytes");
static_assert(sizeof(void*) <= sizeof(ScriptArgRecord), "pointers fit in a record");

// Copies `value` to the start of `record`.
template <class T>
inline void Put(ScriptArgRecord& record, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values are copied into records");
    static_assert(sizeof(T) <= sizeof(ScriptArgRecord), "the value must fit in one record");
    std::memcpy(record.bytes, &value, sizeof(T));
}

// Reads a T from the start of `record`.
template <class T>
inline T Get(const ScriptArgRecord& record) {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values are read from records");
    static_assert(sizeof(T) <= sizeof(ScriptArgRecord), "the value must fit in one record");
    T value;
    std::memcpy(&value, record.bytes, sizeof(T));
    return value;
}

// A Boolean result: any non-zero first byte reads as true.
inline bool GetBoolean(const ScriptArgRecord& record) { return record.bytes[0] != 0; }

// An object result: the handle carries the caller's count, which the new reference takes over.
template <class Reference>
inline Reference Adopt(const ScriptArgRecord& record) {
    return Reference(Get<Handle>(record), kAdopt);
}

// A reference out-parameter: the address of the reference's handle word (null stays null), so
// that the reference owns whatever handle the host stores there.
template <class Reference>
inline void PutHandleAddress(ScriptArgRecord& record, Reference* reference) {
    Handle* word = reference ? reference->address() : nullptr;
    Put(record, word);
}

// An image handle passed to an image-locking function: a pointer-wide value.
inline void PutWideHandle(ScriptArgRecord& record, Handle handle) {
    Put(record, static_cast<std::uintptr_t>(handle));
}

// A Boolean out-parameter as the host sees it: the address of a one-byte copy of the caller's
// bool. After a successful call WriteBack() stores 1 when the host left a non-zero byte, else 0;
// after a failed call it is not run and the caller's bool keeps its value. A null pointer is
// passed on as null.
class BooleanCell {
  public:
    explicit BooleanCell(bool* target) noexcept
        : fTarget(target), fByte(target && *target ? 1 : 0) {}
    BooleanCell(const BooleanCell&) = delete;
    BooleanCell& operator=(const BooleanCell&) = delete;

    unsigned char* address() noexcept { return fTarget ? &fByte : nullptr; }
    void WriteBack() const noexcept {
        if (fTarget) *fTarget = fByte != 0;
    }

  private:
    bool* fTarget;
    unsigned char fByte;
};

}  // namespace Marshal
}  // namespace Vorna
