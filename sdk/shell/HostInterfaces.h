// The binary interface between a plug-in module and the host application.
//
// Everything in this header crosses the boundary as raw memory, so every record here has a fixed
// layout: the host reads and writes it with no knowledge of C++. Each interface object begins with
// a pointer to a table of plain functions; every function takes the object first. Each slot says
// who calls it and who owns what comes back.
//
// Widths: object handles are 32 bits on every platform. Values that carry an address (an error
// datum, the fields of a callback record) are pointer-wide, so on a 32-bit build every one of them
// is 32 bits, as the host expects.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vorna {

// A host object: image, string, throwable, function, ... The host keeps the counts; 0 is none.
using Handle = std::uint32_t;

// The datum that travels with an error code: a text address or a plain number, pointer-wide.
using ErrorDatum = std::intptr_t;

struct HostEnvironment;
struct HostCallContext;
struct HostClassInterface;
struct ScriptArgRecord;

// Text encodings understood by the string slots of a call context.
enum : std::int32_t { kEncodingNarrow = 0, kEncodingUTF16 = 2 };

// Answers of HostCallContext::call.
enum : std::int32_t { kCallSucceeded = 0, kCallStaleHandle = 3 };

// The host's environment, handed over once through QZPlugIn_Link_2.
struct HostEnvironmentTable {
    void (*addReference)(HostEnvironment* self);      // 0: module adds one reference
    void (*release)(HostEnvironment* self);           // 1: module drops one reference
    std::uint32_t (*version)(HostEnvironment* self);  // 2: host version, e.g. 0x03040400
    // 3: a fresh call context carrying one reference for the caller, or null.
    HostCallContext* (*newCallContext)(HostEnvironment* self);
    // 4: the class interface of a kind by its type key, carrying one reference for the caller.
    HostClassInterface* (*classInterface)(HostEnvironment* self, std::int32_t zero,
                                          const char* typeKey);
    std::intptr_t (*unused5)(HostEnvironment* self);  // 5: not used by modules
    // 6: register a script function; answers its Function handle carrying one reference.
    Handle (*addScriptFunction)(HostEnvironment* self, std::int32_t zero1, std::int32_t zero2,
                                const char* signature, std::int32_t three, void* entry);
    // 7: withdraw a registration made through slot 6; the handle stays the caller's.
    std::intptr_t (*removeScriptFunction)(HostEnvironment* self, Handle function);
    // 8: resolve a signature; answers a Function handle carrying one reference, or 0.
    Handle (*findScriptFunction)(HostEnvironment* self, std::int32_t zero, const char* signature);
    std::intptr_t (*unused9)(HostEnvironment* self);  // 9: not used by modules
};
struct HostEnvironment {
    const HostEnvironmentTable* table;
};

// One per entry from the host: carries the error state of that entry.
struct HostCallContextTable {
    void (*addReference)(HostCallContext* self);      // 0: not called by modules
    void (*release)(HostCallContext* self);           // 1: module drops its reference
    std::intptr_t (*unused2)(HostCallContext* self);  // 2
    std::intptr_t (*unused3)(HostCallContext* self);  // 3
    void (*clearError)(HostCallContext* self);        // 4: clears the pending error state
    // 5: a new Throwable for (code, datum), carrying one reference for the caller.
    Handle (*newThrowable)(HostCallContext* self, std::int32_t code, ErrorDatum datum);
    // 6: the message of a Throwable as a new String carrying one reference for the caller.
    Handle (*throwableMessage)(HostCallContext* self, Handle throwable);
    // 7: the Throwable of the last failed call, carrying one reference for the caller (may be 0).
    Handle (*pendingThrowable)(HostCallContext* self);
    // 8: raise a Throwable in the host; the caller keeps its own reference.
    void (*raise)(HostCallContext* self, Handle throwable);
    // 9: a new String from bytes, carrying one reference for the caller.
    Handle (*newString)(HostCallContext* self, std::int32_t encoding, const void* bytes,
                        std::uint32_t byteCount);
    // 10: lend a String's bytes; null or the text, with its byte length and a loan token.
    const void* (*lockString)(HostCallContext* self, Handle string, std::int32_t encoding,
                              std::uint32_t* byteLength, std::uint32_t* token);
    // 11: return a loan of slot 10.
    void (*unlockString)(HostCallContext* self, Handle string, std::uint32_t token);
    // 12: call a script function; answers kCallSucceeded, kCallStaleHandle or another failure.
    std::int32_t (*call)(HostCallContext* self, Handle function, std::int32_t recordCount,
                         ScriptArgRecord* records);
    std::intptr_t (*unused13)(HostCallContext* self);  // 13
};
struct HostCallContext {
    const HostCallContextTable* table;
};

// One per kind of host object: adds and drops the host's counts on handles of that kind.
struct HostClassInterfaceTable {
    void (*addReference)(HostClassInterface* self);      // 0: not called by modules
    void (*release)(HostClassInterface* self);           // 1: module drops its reference
    std::intptr_t (*unused2)(HostClassInterface* self);  // 2
    const char* (*unused3)(HostClassInterface* self);    // 3
    const char* (*unused4)(HostClassInterface* self);    // 4
    std::intptr_t (*unused5)(HostClassInterface* self);  // 5
    void (*addObjectReference)(HostClassInterface* self, Handle object);      // 6: one count more
    void (*releaseObjectReference)(HostClassInterface* self, Handle object);  // 7: one count less
    std::intptr_t (*unused8)(HostClassInterface* self);                       // 8
};
struct HostClassInterface {
    const HostClassInterfaceTable* table;
};

// One cell of the argument array of HostCallContext::call: result first, then the parameters.
// The value sits at the start of the cell; the rest carries nothing.
struct alignas(8) ScriptArgRecord {
    unsigned char bytes[16];
};
static_assert(sizeof(ScriptArgRecord) == 16, "argument records are 16 bytes");

// Failure report of a function that the host calls through a callback record.
struct HostErrorRecord {
    std::int32_t code;
    ErrorDatum datum;
};
static_assert(offsetof(HostErrorRecord, datum) == sizeof(void*),
              "datum follows the code, pointer-aligned");

// The record handed to the host for menus and tools: every field pointer-wide.
struct HostCallbackRecord {
    std::intptr_t version;  // always 1
    std::intptr_t userData;
    void* functions[5];
};
static_assert(sizeof(HostCallbackRecord) == 7 * sizeof(void*), "seven pointer-wide fields");

// Registered script functions are plain functions with the signature the registration names.
// The two forms this project registers:
using ImageFunctionEntry = Handle (*)(Handle* image);
using ImageShiftEntry = Handle (*)(Handle* image, float dx, float dy);

// The six exports a module offers, by their undecorated names.
extern "C" {
using QZPlugInGetVersionFn = std::int32_t (*)();
using QZPlugInLink2Fn = void (*)(HostEnvironment*);
using PlugInLifecycleFn = void (*)();
}

// Host versions at which the module's behaviour changes.
constexpr std::uint32_t kFirstVersionWithCallbacks = 0x03030200;
constexpr std::uint32_t kFirstVersionWithImageLocking = 0x03040400;

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(HostErrorRecord) == 8, "32-bit error record");
static_assert(sizeof(HostCallbackRecord) == 28, "32-bit callback record");
#endif

}  // namespace Vorna
