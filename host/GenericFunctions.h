// Generic answers for host script functions that the stand-in host does not implement itself.
//
// defineGenericFunctions() defines a native function under each given signature. Such a function
// answers every call from the signature alone, and logs what crossed:
//  - every parameter record's leading bytes, as many as the parameter's width;
//  - behind pointers: the text of a "string"; the bytes found behind a "T *" before the answer
//    and the bytes written there; the handle word of a reference out-parameter;
//  - whether each object handle passed was a live object of the parameter's kind.
// It answers deterministically:
//  - a value result, and every value written through a "T *" parameter, is derived from the
//    signature text and the record's position (genericSeed); floating-point values are exact
//    and finite; a Boolean is 0 or a byte of 2 or more (never 1, so that readers must normalise);
//  - an object result, and every reference out-parameter, gets a fresh object of the type's kind
//    carrying one count for the caller (images are 1 x 1 real images, strings hold the function's
//    name). A live handle found in an out-parameter's word is given back: the host takes over the
//    count the word carried, as the caller's reference now owns the fresh handle instead;
//  - a "stringbuffer" receives kGenericBufferText (the stand-in assumes room for it);
//  - "void *" parameters, strings and object handles are only looked at.
// Null pointers are logged and left alone. Nothing fails: a generic function does not check the
// handles it gets (it logs whether they were valid).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Host.h"

namespace StandIn {

// The text a generic function writes into a "stringbuffer" parameter, zero included.
extern const char kGenericBufferText[];
constexpr std::size_t kGenericBufferTextSize = 15;  // "generic answer" and its zero

// One parameter of a call as a generic function saw and answered it.
struct GenericParam {
    std::string type;                    // as written: "long *", "ImageRef", "Image *"
    std::vector<unsigned char> record;   // the record's leading bytes, the parameter's width
    bool null = false;                   // a pointer parameter (or string) was null
    std::string text;                    // "string": the text it pointed at
    std::vector<unsigned char> found;    // behind a pointer: the bytes there before the answer
    std::vector<unsigned char> written;  // behind a pointer: the bytes the answer wrote
    Vorna::Handle handle = 0;            // object parameters: the handle passed;
                                         // reference out-parameters: the fresh handle stored
    bool validObject = false;            // object parameters: live and of the parameter's kind
};

struct GenericCall {
    std::string signature;
    std::size_t recordCount = 0;
    bool nullRecords = false;  // the module passed no record pointer
    std::vector<GenericParam> params;
    std::vector<unsigned char> result;  // bytes written to the result record (empty for void)
    std::vector<Vorna::Handle> made;    // fresh objects handed to the caller, in record order
};

// What the generic functions of one defineGenericFunctions() call have seen.
class GenericLog {
  public:
    // Signatures given a generic function (those already defined are left out unless replaced).
    const std::vector<std::string>& defined() const { return fDefined; }
    std::size_t callCount() const { return fCount; }
    // The most recent call; throws std::logic_error before the first one.
    const GenericCall& lastCall() const;

    void addDefined(const std::string& signature) { fDefined.push_back(signature); }
    void add(GenericCall call);

  private:
    std::vector<std::string> fDefined;
    std::size_t fCount = 0;
    std::optional<GenericCall> fLast;
};

struct GenericOptions {
    // Also replace functions already defined, the host's own real ones included.
    bool replaceDefined = false;
};

// Defines a generic function under each signature (in any of the forms the host parses) that
// has none yet, or under every one with replaceDefined. All signatures are parsed first: a bad
// one throws SignatureError and defines nothing. The log lives as long as the functions or the
// caller's pointer.
std::shared_ptr<GenericLog> defineGenericFunctions(Host& host,
                                                   const std::vector<std::string>& signatures,
                                                   GenericOptions options = {});

// The seed of the value a generic function of `signature` writes for `record`: record 0 is the
// result when the function has one, the others are the records of pointer parameters.
std::uint32_t genericSeed(const std::string& signature, std::size_t record);

}  // namespace StandIn
