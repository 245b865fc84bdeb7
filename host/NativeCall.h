// The view a native host function gets of one call: typed access to the argument records
// according to the function's parsed signature, the result record, and the means to fail.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "Signature.h"
#include "shell/Boundary.h"

namespace StandIn {

class Host;

// Thrown by a native function (or by NativeCall accessors) to fail the call: the module gets
// `status` and a pending Throwable carrying the message.
class ScriptError : public std::runtime_error {
  public:
    explicit ScriptError(const std::string& message, std::int32_t status = 1)
        : std::runtime_error(message), fStatus(status) {}
    std::int32_t status() const { return fStatus; }

  private:
    std::int32_t fStatus;
};

class NativeCall {
  public:
    NativeCall(Host& host, const Signature& signature, Vorna::ScriptArgRecord* records);

    Host& host() { return fHost; }
    const Signature& signature() const { return fSignature; }
    std::size_t paramCount() const { return fSignature.params.size(); }

    // Parameter i (0-based; the result record is not counted). Each accessor checks that the
    // record is wide enough for the value it reads and throws std::logic_error otherwise.
    std::int32_t int32(std::size_t i) const { return read<std::int32_t>(i); }
    std::uint32_t uint32(std::size_t i) const { return read<std::uint32_t>(i); }
    std::int16_t int16(std::size_t i) const { return read<std::int16_t>(i); }
    std::uint16_t uint16(std::size_t i) const { return read<std::uint16_t>(i); }
    float float32(std::size_t i) const { return read<float>(i); }
    double float64(std::size_t i) const { return read<double>(i); }
    bool boolean(std::size_t i) const { return read<unsigned char>(i) != 0; }
    void* pointer(std::size_t i) const { return read<void*>(i); }
    std::intptr_t address(std::size_t i) const { return read<std::intptr_t>(i); }
    // A "string" parameter; throws ScriptError for a null pointer.
    const char* text(std::size_t i) const;
    // A host object handle: 32 bits in the record, or pointer-wide for "Image *".
    Vorna::Handle handle(std::size_t i) const;
    // A pointer parameter as T* (may be null).
    template <typename T>
    T* pointerTo(std::size_t i) const {
        return static_cast<T*>(pointer(i));
    }

    // The result record. Throws std::logic_error when the value is wider than the result.
    template <typename T>
    void setResult(T value) {
        static_assert(std::is_trivially_copyable<T>::value, "result values are plain data");
        checkResultWidth(sizeof(T));
        std::memcpy(fRecords[0].bytes, &value, sizeof(T));
    }
    void setResultBoolean(bool value) { setResult<unsigned char>(value ? 1 : 0); }
    void setResultHandle(Vorna::Handle h) { setResult<Vorna::Handle>(h); }
    void setResultPointer(const void* p) { setResult<const void*>(p); }

    // Fails the call: the module gets `status` and a pending Throwable with `message`.
    // The handler should return after calling it.
    void fail(const std::string& message, std::int32_t status = 1);
    bool failed() const { return fFailed; }
    std::int32_t status() const { return fStatus; }
    const std::string& failureMessage() const { return fFailureMessage; }

  private:
    template <typename T>
    T read(std::size_t i) const {
        static_assert(std::is_trivially_copyable<T>::value, "parameter values are plain data");
        unsigned char* cell = record(i, sizeof(T));
        T value;
        std::memcpy(&value, cell, sizeof(T));
        return value;
    }
    unsigned char* record(std::size_t i, std::size_t width) const;
    void checkResultWidth(std::size_t width) const;

    Host& fHost;
    const Signature& fSignature;
    Vorna::ScriptArgRecord* fRecords;
    bool fFailed = false;
    std::int32_t fStatus = Vorna::kCallSucceeded;
    std::string fFailureMessage;
};

// A native host function.
using NativeHandler = std::function<void(NativeCall&)>;

}  // namespace StandIn
