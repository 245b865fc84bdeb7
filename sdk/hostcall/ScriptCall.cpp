// The one place where a call crosses into the host's script functions.
#include "errors/Exceptions.h"
#include "hostcall/References.h"
#include "hostcall/Stubs.h"

namespace Vorna {
namespace {

// The host's description of the failure just reported, as an exception owning it.
[[noreturn]] void ThrowPending(HostCallContext* context) {
    throw PlugIn::qzplugin_exception(context->table->pendingThrowable(context), kAdopt);
}

// A scope without a call context cannot call the host at all: fail as a host call would.
HostCallContext* RequireContext(const EnvironmentScope& scope) {
    if (!scope.HasContext()) throw PlugIn::qzplugin_exception();
    return scope.Context();
}

Handle Resolve(const char* signature) {
    HostEnvironment* environment = CurrentEnvironment();
    return environment->table->findScriptFunction(environment, 0, signature);
}

}  // namespace

void EnvironmentUser::CallScriptFunction(Function* cache, std::int32_t recordCount,
                                         ScriptArgRecord* records, const char* signature) const {
    EnvironmentScope scope;
    HostCallContext* context = RequireContext(scope);
    if (!cache->get()) cache->adopt(Resolve(signature));
    std::int32_t status = context->table->call(context, cache->get(), recordCount, records);
    if (status == kCallStaleHandle) {
        // One more resolution and exactly one retry; the cache changes only if the retry works.
        Function fresh(Resolve(signature), kAdopt);
        if (fresh.get()) {
            context->table->clearError(context);
            if (context->table->call(context, fresh.get(), recordCount, records) ==
                kCallSucceeded) {
                *cache = fresh.get();
                status = kCallSucceeded;
            }
        }
    }
    if (status != kCallSucceeded) ThrowPending(context);
}

void Function::Call(std::int32_t recordCount, ScriptArgRecord* records) const {
    EnvironmentScope scope;
    HostCallContext* context = RequireContext(scope);
    if (context->table->call(context, get(), recordCount, records) != kCallSucceeded)
        ThrowPending(context);
}

void ScriptObject::CallMethod(const Function& prototype, std::int32_t recordCount,
                              ScriptArgRecord* records, std::int32_t selfIndex) const {
    EnvironmentScope scope;
    HostCallContext* context = RequireContext(scope);
    Function method = QZ::ScriptObjectLookupMethod(*this, prototype);
    Handle self = get();
    std::memcpy(records[selfIndex].bytes, &self, sizeof self);
    if (context->table->call(context, method.get(), recordCount, records) != kCallSucceeded)
        ThrowPending(context);
}

}  // namespace Vorna
