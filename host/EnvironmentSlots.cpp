// The environment's slots: version, call contexts, class interfaces, registrations and
// resolution of script functions.
#include <memory>
#include <string>

#include "HostState.h"

namespace StandIn {
namespace {

void QZ_CALL envAddReference(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 0, 0);
    ++s.environment.count;
}

void QZ_CALL envRelease(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 1, 0);
    if (s.environment.count <= 0) {
        s.anomaly("environment released more often than referenced");
        return;
    }
    --s.environment.count;
}

std::uint32_t QZ_CALL envVersion(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 2, 0, {}, 0, s.version);
    return s.version;
}

Vorna::HostCallContext* QZ_CALL envNewCallContext(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    if (s.refuseCallContexts) {
        s.logCall(InterfaceKind::Environment, 3, 0, "refused");
        return nullptr;
    }
    return s.host.newCallContext();
}

Vorna::HostClassInterface* QZ_CALL envClassInterface(Vorna::HostEnvironment* self,
                                                     std::int32_t zero, const char* key) {
    Host::State& s = stateOf(self);
    std::string k = key ? key : "";
    if (zero != 0)
        s.anomaly("class interface asked with first argument " + std::to_string(zero) +
                  " instead of 0");
    if (!key) s.anomaly("class interface asked with a null type key");
    auto it = s.classInterfaces.find(k);
    if (it == s.classInterfaces.end()) {
        auto impl = std::make_unique<ClassInterfaceImpl>();
        impl->iface.table = &kClassTable;
        impl->state = &s;
        impl->key = k;
        impl->kind = kindFromTypeKey(k);
        impl->serial = static_cast<int>(s.classInterfaces.size()) + 1;
        if (!impl->kind) s.unknownKeys.push_back(k);
        it = s.classInterfaces.emplace(k, std::move(impl)).first;
    }
    ++it->second->count;
    s.logCall(InterfaceKind::Environment, 4, 0, k);
    return &it->second->iface;
}

std::intptr_t QZ_CALL envUnused5(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 5, 0);
    s.anomaly("environment slot 5 called");
    return 0;
}

std::intptr_t QZ_CALL envUnused9(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 9, 0);
    s.anomaly("environment slot 9 called");
    return 0;
}

Vorna::Handle QZ_CALL envAddScriptFunction(Vorna::HostEnvironment* self, std::int32_t zero1,
                                           std::int32_t zero2, const char* signature,
                                           std::int32_t three, void* entry) {
    Host::State& s = stateOf(self);
    std::string text = signature ? signature : "";
    if (zero1 != 0 || zero2 != 0 || three != 3) {
        s.anomaly("script function \"" + text + "\" registered with arguments " +
                  std::to_string(zero1) + ", " + std::to_string(zero2) + ", " +
                  std::to_string(three) + " instead of 0, 0, 3");
    }
    Registration r;
    r.signature = text;
    r.entry = entry;
    try {
        r.name = parseRegistrationSignature(text).name;
    } catch (const SignatureError& e) {
        s.anomaly(std::string("registration refused: ") + e.what());
        s.logCall(InterfaceKind::Environment, 6, 0, text, 0);
        return 0;
    }
    if (!entry) {
        s.anomaly("registration of \"" + text + "\" with a null entry refused");
        s.logCall(InterfaceKind::Environment, 6, 0, text, 0);
        return 0;
    }
    HostObject& f = s.newObject(ObjectKind::Function, 1, 1);
    f.target = HostObject::Target::Registration;
    f.signature = text;
    f.registration = s.registrations.size();
    r.function = f.handle;
    s.registrations.push_back(r);
    s.logCall(InterfaceKind::Environment, 6, 0, text, f.handle);
    return f.handle;
}

std::intptr_t QZ_CALL envRemoveScriptFunction(Vorna::HostEnvironment* self,
                                              Vorna::Handle function) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 7, 0, {}, function);
    for (Registration& r : s.registrations) {
        if (r.function != function) continue;
        if (r.withdrawn) {
            s.anomaly("registration " + hexHandle(function) + " (" + r.name + ") withdrawn twice");
            return 0;
        }
        r.withdrawn = true;
        s.withdrawals.push_back(r.name);
        s.dropHostCount(function);
        return 0;
    }
    s.anomaly("withdrawal of " + hexHandle(function) + ", which is no registration of this host");
    return 0;
}

Vorna::Handle QZ_CALL envFindScriptFunction(Vorna::HostEnvironment* self, std::int32_t zero,
                                            const char* signature) {
    Host::State& s = stateOf(self);
    std::string text = signature ? signature : "";
    if (zero != 0)
        s.anomaly("script function looked up with first argument " + std::to_string(zero));
    // A catalogue row without a function of this host resolves too: its calls name the limit.
    // A function defined for a later host generation is missing here, as on a host of this one.
    auto it = s.natives.find(text);
    const bool defined = it != s.natives.end();
    if (defined ? s.version < it->second.minVersion : !inCatalogue(text)) {
        s.unresolved.push_back(text);
        s.logCall(InterfaceKind::Environment, 8, 0, text, 0);
        return 0;
    }
    ++s.resolveCounts[text];
    HostObject& f = s.newObject(ObjectKind::Function, 1, 0);
    f.target = HostObject::Target::Native;
    f.signature = text;
    s.logCall(InterfaceKind::Environment, 8, 0, text, f.handle);
    return f.handle;
}

}  // namespace

const Vorna::HostEnvironmentTable kEnvironmentTable = {
    envAddReference,       envRelease, envVersion,           envNewCallContext,
    envClassInterface,     envUnused5, envAddScriptFunction, envRemoveScriptFunction,
    envFindScriptFunction, envUnused9,
};

}  // namespace StandIn
