// The kinds of host object and the type keys under which a module asks for their class
// interfaces, from the table the framework uses too (abi/ObjectKinds.def).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace StandIn {

enum class ObjectKind {
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) Kind,
#include "abi/ObjectKinds.def"
};

constexpr std::size_t kObjectKindCount = 0
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) +1
#include "abi/ObjectKinds.def"
    ;

// "Vorna:Photarion:Image" etc.
const char* typeKey(ObjectKind kind);

// "Image", "RegionOfInterest", ... for messages.
const char* kindName(ObjectKind kind);

// The kind of a type key, or nothing for a key this host does not know.
std::optional<ObjectKind> kindFromTypeKey(const std::string& key);

// Whether a handle of kind `object` may have its count changed through the class interface of
// kind `through`: the same kind, any display through Component, the three special displays
// through ImageDisplay.
bool kindAcceptedBy(ObjectKind through, ObjectKind object);

}  // namespace StandIn
