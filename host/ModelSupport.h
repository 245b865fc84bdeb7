// Shared by the native functions of images, tag groups and strings (ImageFunctions.cpp,
// TagGroupFunctions.cpp, TagValueFunctions.cpp, StringFunctions.cpp): reading object parameters
// with clear failures, and handing objects to the caller by result or out-parameter.
//
// Every failure is a ScriptError whose message starts with the function's name:
//     "TagGroupCountTags: no tag group was given (handle 0)."
//     "ImageGetName: 0x1007 is not a valid image (its kind is String)."
#pragma once

#include <complex>
#include <cstdint>
#include <memory>
#include <string>

#include "HostState.h"

namespace StandIn {

// The host installs these beside its older built-in functions (installStandardFunctions).
void installImageFunctions(Host& host);
void installTagGroupFunctions(Host& host);
void installTagValueFunctions(Host& host);
void installStringFunctions(Host& host);

namespace Model {

// Fails the call: "<FunctionName>: <what>".
[[noreturn]] void fail(const NativeCall& c, const std::string& what);

// Parameter i as a live object of `kind`; fails for handle 0, an unknown, dead or other object.
HostObject& objectParam(NativeCall& c, std::size_t i, ObjectKind kind);
ImageData& imageParam(NativeCall& c, std::size_t i);
// The node a tag-group parameter names (made an empty group on first use).
TagNode& tagGroupParam(NativeCall& c, std::size_t i);
std::shared_ptr<TagNode> tagGroupNodeParam(NativeCall& c, std::size_t i);
const std::u16string& stringParam(NativeCall& c, std::size_t i);
std::string latin1Param(NativeCall& c, std::size_t i);  // a qz_string parameter as Latin-1

// A "long" that counts or indexes something; fails when negative.
std::size_t countParam(NativeCall& c, std::size_t i, const char* what);
// A "long" index into a tag group of `size` tags; fails unless 0 <= index < size (or <= size
// when `end` is allowed, for insertions).
std::size_t indexParam(NativeCall& c, std::size_t i, std::size_t size, bool endAllowed = false);

// A 16-byte "complex" parameter (two doubles).
std::complex<double> complexParam(NativeCall& c, std::size_t i);

// New objects carrying one count for the caller.
Vorna::Handle newString(Host::State& s, std::u16string units);
Vorna::Handle newLatin1String(Host::State& s, const std::string& text);
// The handle of a node, one more count for the caller: the node's current handle while it
// lives, else a new one.
Vorna::Handle nodeHandle(Host::State& s, const std::shared_ptr<TagNode>& node);

// Stores a handle carrying one count for the caller through a reference out-parameter ("T *"
// of an object type). A live handle the word held before is given back: the caller's reference
// owned one count on it. Answers false (making nothing) for a null pointer; `make` is only run
// when there is a word to store into.
template <typename Make>
bool storeOut(NativeCall& c, std::size_t i, Make make);
void giveBackOldHandle(Host::State& s, Vorna::Handle old);

}  // namespace Model

template <typename Make>
bool Model::storeOut(NativeCall& c, std::size_t i, Make make) {
    auto* word = c.pointerTo<Vorna::Handle>(i);
    if (!word) return false;
    Vorna::Handle fresh = make();
    Vorna::Handle old = *word;
    *word = fresh;
    giveBackOldHandle(c.host().state(), old);
    return true;
}

}  // namespace StandIn
