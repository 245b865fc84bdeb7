#include "hostcall/References.h"

namespace Vorna {
namespace {

const char* const kTypeKeys[kObjectKindCount] = {
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) TypeKey,
#include "abi/ObjectKinds.def"
};

ClassRecord sClassRecords[kObjectKindCount];

// One listener per kind; a plain function per kind, since a listener gets only the environment.
template <ObjectKind K>
void RefreshKind(HostEnvironment* environment) {
    RefreshClass(K, environment);
}
EnvironmentListener sListeners[kObjectKindCount] = {
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) \
    {nullptr, RefreshKind<ObjectKind::Kind>},
#include "abi/ObjectKinds.def"
};

}  // namespace

const char* TypeKey(ObjectKind kind) { return kTypeKeys[static_cast<int>(kind)]; }

ClassRecord& ClassRecordOf(ObjectKind kind) { return sClassRecords[static_cast<int>(kind)]; }

void AddObjectReference(ObjectKind kind, Handle handle) {
    HostClassInterface* classInterface = ClassRecordOf(kind).fInterface;
    if (handle && classInterface) classInterface->table->addObjectReference(classInterface, handle);
}

void ReleaseObjectReference(ObjectKind kind, Handle handle) {
    HostClassInterface* classInterface = ClassRecordOf(kind).fInterface;
    if (handle && classInterface)
        classInterface->table->releaseObjectReference(classInterface, handle);
}

void RefreshClass(ObjectKind kind, HostEnvironment* environment) {
    ClassRecord& record = ClassRecordOf(kind);
    if (record.fInterface) record.fInterface->table->release(record.fInterface);
    record.fInterface = environment->table->classInterface(environment, 0, TypeKey(kind));
}

void AcquireClass(ObjectKind kind) {
    ClassRecord& record = ClassRecordOf(kind);
    if (record.fUseCount++ == 0) {
        RefreshClass(kind, CurrentEnvironment());
        AddEnvironmentListener(sListeners[static_cast<int>(kind)]);
    }
}

void ReleaseClass(ObjectKind kind) {
    ClassRecord& record = ClassRecordOf(kind);
    if (--record.fUseCount == 0) {
        if (record.fInterface) record.fInterface->table->release(record.fInterface);
        record.fInterface = nullptr;
    }
}

// ---- qz_string ---------------------------------------------------------------------------------

void qz_string::MakeString(std::int32_t encoding, const void* bytes, std::uint32_t byteCount) {
    EnvironmentScope scope;
    if (!scope.HasContext()) return adopt(0);
    HostCallContext* context = scope.Context();
    adopt(context->table->newString(context, encoding, bytes, byteCount));
}

std::uint32_t qz_string::CopyText(std::int32_t encoding, void* buffer,
                                  std::uint32_t capacity) const {
    if (empty()) return 0;  // an empty reference reads as the empty text
    EnvironmentScope scope;
    if (!scope.HasContext()) return 0;
    HostCallContext* context = scope.Context();
    std::uint32_t byteLength = 0;
    std::uint32_t token = 0;
    const void* text = context->table->lockString(context, get(), encoding, &byteLength, &token);
    if (!text) return 0;
    std::uint32_t n = byteLength;
    if (buffer) {
        if (n > capacity) n = capacity;
        std::memcpy(buffer, text, n);
    }
    context->table->unlockString(context, get(), token);
    return n;
}

}  // namespace Vorna
