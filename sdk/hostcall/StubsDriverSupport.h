// The fixed part of the generated test drivers (hostcall/<stem>Driver.h): what a driver function
// notes about one call, and the test host that checks it.
//
// generate_stubs.py --test-driver writes, for every catalogue row and every member operation, a
// function that makes up arguments for the row, notes in a Probe what each argument record must
// hold by the marshalling rule and where the caller's variables are, calls the stub or member
// once, and hands the Probe to a ProbeHost while the caller's variables and results still live.
// The generated header brings these names into its own namespace, Vorna::<ns>Driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "hostcall/References.h"

namespace Vorna::DriverSupport {

// How one argument reaches the host.
enum class Passing {
    Value,         // the record starts with `bytes` (values, tokens, untyped pointers)
    Text,          // the record holds the pointer in `bytes`, to the zero-terminated `target`
    Buffer,        // the record holds the pointer to `target`, a buffer of `size` bytes
    Pointer,       // the record holds the pointer to `target`, the caller's variable of `size`
    BooleanCell,   // the record holds the address of a one-byte copy of the bool at `target`
    Object,        // the record starts with the borrowed handle in `bytes`
    ReferenceOut,  // the record holds the address of `target`, a reference's handle word
    ImageHandle,   // the record holds the handle pointer-wide (image-locking rows)
};

struct ParamProbe {
    Passing passing = Passing::Value;
    std::vector<unsigned char> bytes;     // what the record must start with (empty: unknown)
    const void* target = nullptr;         // the caller's storage behind a pointer
    std::size_t size = 0;                 // bytes at `target`
    std::vector<unsigned char> before;    // those bytes before the call
    ObjectKind kind = ObjectKind::Image;  // Object, ReferenceOut, ImageHandle
};

// How the result comes back.
enum class Returning { Nothing, Boolean, Value, Object };

class Probe {
  public:
    Probe(const char* signature, std::int32_t recordCount, const char* memberOf,
          const char* memberName)
        : fSignature(signature),
          fRecordCount(recordCount),
          fMemberOf(memberOf),
          fMemberName(memberName) {}

    template <class T>
    void Value(const T& value) {
        Add(Passing::Value, BytesOf(value));
    }
    void Text(const char* text) { Add(Passing::Text, BytesOf(text), text, std::strlen(text) + 1); }
    void Buffer(const char* buffer, std::size_t size) {
        Add(Passing::Buffer, BytesOf(buffer), buffer, size);
    }
    template <class T>
    void Pointer(const T* variable) {
        Add(Passing::Pointer, BytesOf(variable), variable, sizeof(T));
    }
    void BooleanCell(const bool* variable) {
        Add(Passing::BooleanCell, {}, variable, sizeof(bool));
    }
    template <class Reference>
    void Object(const Reference& reference) {
        Add(Passing::Object, BytesOf(reference.get()), nullptr, 0, Reference::kKind);
    }
    template <class Reference>
    void ReferenceOut(Reference* reference) {
        const Handle* word = reference->address();
        Add(Passing::ReferenceOut, BytesOf(word), word, sizeof(Handle), Reference::kKind);
    }
    void ImageHandle(Handle handle) {
        Add(Passing::ImageHandle, BytesOf(static_cast<std::uintptr_t>(handle)), nullptr, 0,
            ObjectKind::Image);
    }

    void ReturnsBoolean(const bool& result) { Return(Returning::Boolean, BytesOf(result)); }
    template <class T>
    void Returns(const T& result) {
        Return(Returning::Value, BytesOf(result));
    }
    template <class Reference>
    void ReturnsObject(const Reference& result) {
        Return(Returning::Object, BytesOf(result.get()));
        fResultKind = Reference::kKind;
    }

    const char* signature() const { return fSignature; }
    std::int32_t recordCount() const { return fRecordCount; }
    const char* memberOf() const { return fMemberOf; }  // "" for a stub
    const char* memberName() const { return fMemberName; }
    const std::vector<ParamProbe>& params() const { return fParams; }
    Returning returning() const { return fReturning; }
    // The result as the caller received it: a bool's byte, a value's bytes, an object's handle.
    const std::vector<unsigned char>& result() const { return fResult; }
    ObjectKind resultKind() const { return fResultKind; }

  private:
    template <class T>
    static std::vector<unsigned char> BytesOf(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>, "plain values only");
        std::vector<unsigned char> bytes(sizeof(T));
        std::memcpy(bytes.data(), &value, sizeof(T));
        return bytes;
    }
    void Add(Passing passing, std::vector<unsigned char> bytes, const void* target = nullptr,
             std::size_t size = 0, ObjectKind kind = ObjectKind::Image) {
        ParamProbe param;
        param.passing = passing;
        param.bytes = std::move(bytes);
        param.target = target;
        param.size = size;
        if (target) {
            const auto* first = static_cast<const unsigned char*>(target);
            param.before.assign(first, first + size);
        }
        param.kind = kind;
        fParams.push_back(std::move(param));
    }
    void Return(Returning returning, std::vector<unsigned char> bytes) {
        fReturning = returning;
        fResult = std::move(bytes);
    }

    const char* fSignature;
    std::int32_t fRecordCount;
    const char* fMemberOf;
    const char* fMemberName;
    std::vector<ParamProbe> fParams;
    Returning fReturning = Returning::Nothing;
    std::vector<unsigned char> fResult;
    ObjectKind fResultKind = ObjectKind::Image;
};

// The test's side: objects to pass, and the check after each call.
class ProbeHost {
  public:
    // A live object of the kind; the caller's reference adds its own count.
    virtual Handle MakeObject(ObjectKind kind) = 0;
    // Runs right after the call, while the caller's variables and results still live.
    virtual void Check(const Probe& probe) = 0;

  protected:
    ~ProbeHost() = default;
};

// A long that carries an address, made pointer-wide with high bits where pointers have them.
inline std::intptr_t AddressValue(std::uint32_t low) {
    return static_cast<std::intptr_t>(static_cast<std::uint64_t>(0x5A3Cu) << 32 | low);
}

// One function of a generated driver and the row it calls.
struct DriverRow {
    const char* signature;
    std::int32_t recordCount;
    const char* memberOf;    // reference class of a member operation; "" for a stub
    const char* memberName;  // "" for a stub
    void (*run)(ProbeHost& host);
};

}  // namespace Vorna::DriverSupport
