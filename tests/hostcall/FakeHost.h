// A tiny host for the marshalling tests: just the slots that the dispatcher and the references
// use, with every call recorded byte for byte.
//
// Constructing a FakeHost installs it as the current environment (LinkEnvironment, then
// RelinkEnvironment, which fetches every kind's class interface from it); destroying it puts the
// stand-by environment back. One at a time.
//
// Function handles are stable for the whole process: a signature resolves to the same handle in
// every FakeHost, since the stubs keep their cached handles from one test to the next.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "hostcall/References.h"
#include "shell/Boundary.h"

namespace HostcallTest {

using Vorna::Handle;
using Vorna::ObjectKind;
using Vorna::ScriptArgRecord;

struct RecordedCall {
    Handle function;
    std::string signature;  // the signature this handle was resolved from ("" if none)
    std::int32_t count;
    bool recordsNull;
    std::vector<std::array<unsigned char, 16>> records;  // as the host received them
};

class FakeHost {
  public:
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // The handle under which `signature` resolves, in every FakeHost of the process.
    static Handle HandleFor(const std::string& signature);
    // How often `signature` was resolved in the whole process.
    static int ResolutionsOf(const std::string& signature);

    // ---- What the test sets up ----
    // Answer of every call (0 success).
    std::int32_t fStatus = Vorna::kCallSucceeded;
    // Runs inside each call with the live records, to write results and out-values.
    std::function<void(ScriptArgRecord* records, std::int32_t count)> fOnCall;

    // ---- What the test reads back ----
    std::vector<RecordedCall> fCalls;
    const RecordedCall& LastCall() const { return fCalls.back(); }
    // Net host count change on a handle of a kind (adds minus releases) since construction.
    int CountChange(ObjectKind kind, Handle handle) const;
    // Every release (slot 7) of a handle of a kind since construction.
    int Releases(ObjectKind kind, Handle handle) const;

    // ---- Host side, called through the function tables ----
    Vorna::HostEnvironment* Environment() { return &fEnvironment; }
    std::int32_t Call(Handle function, std::int32_t count, ScriptArgRecord* records);
    void AddObject(ObjectKind kind, Handle handle) { ++fAdds[{kind, handle}]; }
    void ReleaseObject(ObjectKind kind, Handle handle) { ++fReleases[{kind, handle}]; }

  private:
    Vorna::HostEnvironment fEnvironment;
    std::map<std::pair<ObjectKind, Handle>, int> fAdds;
    std::map<std::pair<ObjectKind, Handle>, int> fReleases;
};

// Fills a stretch of the stack below the caller with a non-zero pattern, so that a stub called
// next finds garbage, not zeros, in the record bytes it leaves unwritten: a value written too
// narrow then shows in its record.
void PoisonStack();

// Bytes of a record as the host saw them, first `width` only (the rest carries nothing).
std::vector<unsigned char> Prefix(const std::array<unsigned char, 16>& record, std::size_t width);

// The bytes of a plain value, as the host would read them from a record.
template <class T>
std::vector<unsigned char> BytesOf(const T& value) {
    std::vector<unsigned char> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

// Writes a plain value to the start of a record, as the host does for results and out-values.
template <class T>
void Store(ScriptArgRecord& record, const T& value) {
    std::memcpy(record.bytes, &value, sizeof(T));
}
template <class T>
T Load(const ScriptArgRecord& record) {
    T value;
    std::memcpy(&value, record.bytes, sizeof(T));
    return value;
}

}  // namespace HostcallTest
