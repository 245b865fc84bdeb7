// Type keys and names of the host object kinds.
#include "ObjectKinds.h"

namespace StandIn {
namespace {

struct KindRow {
    ObjectKind kind;
    const char* key;
    const char* name;
};

constexpr KindRow kKinds[kObjectKindCount] = {
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) \
    {ObjectKind::Kind, TypeKey, #Kind},
#include "abi/ObjectKinds.def"
};

bool isDisplay(ObjectKind k) {
    return k == ObjectKind::ImageDisplay || k == ObjectKind::LinePlotImageDisplay ||
           k == ObjectKind::RasterImageDisplay || k == ObjectKind::SurfacePlotImageDisplay;
}

}  // namespace

const char* typeKey(ObjectKind kind) { return kKinds[static_cast<std::size_t>(kind)].key; }

const char* kindName(ObjectKind kind) { return kKinds[static_cast<std::size_t>(kind)].name; }

std::optional<ObjectKind> kindFromTypeKey(const std::string& key) {
    for (const KindRow& row : kKinds) {
        if (key == row.key) return row.kind;
    }
    return std::nullopt;
}

bool kindAcceptedBy(ObjectKind through, ObjectKind object) {
    if (through == object) return true;
    if (through == ObjectKind::Component) return isDisplay(object);
    if (through == ObjectKind::ImageDisplay) return isDisplay(object);
    return false;
}

}  // namespace StandIn
