#include "FakeHost.h"

#include <cassert>

namespace HostcallTest {
namespace {

using namespace Vorna;

FakeHost* sActive = nullptr;

// Signatures and their handles, for the whole process.
std::map<std::string, Handle>& HandlesBySignature() {
    static std::map<std::string, Handle> handles;
    return handles;
}
std::map<std::string, int>& Resolutions() {
    static std::map<std::string, int> resolutions;
    return resolutions;
}
std::string SignatureOf(Handle function) {
    for (const auto& [signature, handle] : HandlesBySignature())
        if (handle == function) return signature;
    return {};
}

template <class R, class... A>
R Nothing(A...) {
    return R();
}

// ---- Class interfaces: one per kind, knowing its kind ----

struct FakeClass {
    HostClassInterface object;
    ObjectKind kind;
};
void AddObject(HostClassInterface* self, Handle handle) {
    sActive->AddObject(reinterpret_cast<FakeClass*>(self)->kind, handle);
}
void ReleaseObject(HostClassInterface* self, Handle handle) {
    sActive->ReleaseObject(reinterpret_cast<FakeClass*>(self)->kind, handle);
}
const char* NoText(HostClassInterface*) { return ""; }
const HostClassInterfaceTable kClassTable = {
    Nothing<void, HostClassInterface*>,
    Nothing<void, HostClassInterface*>,
    Nothing<std::intptr_t, HostClassInterface*>,
    NoText,
    NoText,
    Nothing<std::intptr_t, HostClassInterface*>,
    AddObject,
    ReleaseObject,
    Nothing<std::intptr_t, HostClassInterface*>,
};
FakeClass sClasses[kObjectKindCount];

// The host's own keys for the kinds, in kind order.
const char* const kTypeKeys[kObjectKindCount] = {
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) TypeKey,
#include "abi/ObjectKinds.def"
};

// ---- Call context ----

std::int32_t CallSlot(HostCallContext*, Handle function, std::int32_t count,
                      ScriptArgRecord* records) {
    return sActive->Call(function, count, records);
}
const HostCallContextTable kContextTable = {
    Nothing<void, HostCallContext*>,
    Nothing<void, HostCallContext*>,
    Nothing<std::intptr_t, HostCallContext*>,
    Nothing<std::intptr_t, HostCallContext*>,
    Nothing<void, HostCallContext*>,
    Nothing<Handle, HostCallContext*, std::int32_t, ErrorDatum>,
    Nothing<Handle, HostCallContext*, Handle>,
    Nothing<Handle, HostCallContext*>,  // no pending Throwable
    Nothing<void, HostCallContext*, Handle>,
    Nothing<Handle, HostCallContext*, std::int32_t, const void*, std::uint32_t>,
    Nothing<const void*, HostCallContext*, Handle, std::int32_t, std::uint32_t*, std::uint32_t*>,
    Nothing<void, HostCallContext*, Handle, std::uint32_t>,
    CallSlot,
    Nothing<std::intptr_t, HostCallContext*>,
};
HostCallContext sContext = {&kContextTable};

// ---- Environment ----

std::uint32_t Version(HostEnvironment*) { return kFirstVersionWithImageLocking; }
HostCallContext* NewContext(HostEnvironment*) { return &sContext; }
HostClassInterface* ClassInterface(HostEnvironment*, std::int32_t, const char* typeKey) {
    for (int i = 0; i < kObjectKindCount; ++i)
        if (std::string(typeKey) == kTypeKeys[i]) return &sClasses[i].object;
    return nullptr;
}
Handle Find(HostEnvironment*, std::int32_t, const char* signature) {
    ++Resolutions()[signature];
    return FakeHost::HandleFor(signature);
}
const HostEnvironmentTable kEnvironmentTable = {
    Nothing<void, HostEnvironment*>,
    Nothing<void, HostEnvironment*>,
    Version,
    NewContext,
    ClassInterface,
    Nothing<std::intptr_t, HostEnvironment*>,
    Nothing<Handle, HostEnvironment*, std::int32_t, std::int32_t, const char*, std::int32_t, void*>,
    Nothing<std::intptr_t, HostEnvironment*, Handle>,
    Find,
    Nothing<std::intptr_t, HostEnvironment*>,
};

}  // namespace

FakeHost::FakeHost() : fEnvironment{&kEnvironmentTable} {
    assert(!sActive && "one FakeHost at a time");
    for (int i = 0; i < kObjectKindCount; ++i)
        sClasses[i] = {{&kClassTable}, static_cast<ObjectKind>(i)};
    sActive = this;
    LinkEnvironment(&fEnvironment);
    RelinkEnvironment();
}

FakeHost::~FakeHost() {
    LinkEnvironment(nullptr);
    RelinkEnvironment();
    sActive = nullptr;
}

Handle FakeHost::HandleFor(const std::string& signature) {
    auto& handles = HandlesBySignature();
    auto found = handles.find(signature);
    if (found != handles.end()) return found->second;
    Handle handle = 0x100 + static_cast<Handle>(handles.size());
    handles.emplace(signature, handle);
    return handle;
}

int FakeHost::ResolutionsOf(const std::string& signature) {
    auto found = Resolutions().find(signature);
    return found == Resolutions().end() ? 0 : found->second;
}

std::int32_t FakeHost::Call(Handle function, std::int32_t count, ScriptArgRecord* records) {
    RecordedCall call{function, SignatureOf(function), count, records == nullptr, {}};
    for (std::int32_t i = 0; records && i < count; ++i) {
        std::array<unsigned char, 16> bytes;
        std::memcpy(bytes.data(), records[i].bytes, bytes.size());
        call.records.push_back(bytes);
    }
    fCalls.push_back(call);
    if (fOnCall) fOnCall(records, count);
    return fStatus;
}

int FakeHost::CountChange(ObjectKind kind, Handle handle) const {
    auto adds = fAdds.find({kind, handle});
    auto releases = fReleases.find({kind, handle});
    return (adds == fAdds.end() ? 0 : adds->second) -
           (releases == fReleases.end() ? 0 : releases->second);
}

int FakeHost::Releases(ObjectKind kind, Handle handle) const {
    auto releases = fReleases.find({kind, handle});
    return releases == fReleases.end() ? 0 : releases->second;
}

__attribute__((noinline)) void PoisonStack() {
    volatile unsigned char area[4096];
    for (std::size_t i = 0; i < sizeof area; ++i) area[i] = 0xA5;
}

std::vector<unsigned char> Prefix(const std::array<unsigned char, 16>& record, std::size_t width) {
    return std::vector<unsigned char>(record.begin(), record.begin() + width);
}

}  // namespace HostcallTest
