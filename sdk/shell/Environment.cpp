#include "shell/Environment.h"

namespace Vorna {
namespace {

// ---- Stand-by objects. Their function tables lie in the objects themselves. ----------------

template <class R, class... A>
R QZ_CALL Nothing(A...) {
    return R();
}

struct NullEnvironmentObject {
    HostEnvironment object;
    HostEnvironmentTable table;
};
struct NullCallContextObject {
    HostCallContext object;
    HostCallContextTable table;
};
struct NullClassInterfaceObject {
    HostClassInterface object;
    HostClassInterfaceTable table;
};

const char* QZ_CALL EmptyText(HostClassInterface*) { return ""; }
HostCallContext* QZ_CALL NullContext(HostEnvironment*);
HostClassInterface* QZ_CALL NullClass(HostEnvironment*, std::int32_t, const char*);
std::int32_t QZ_CALL FailedCall(HostCallContext*, Handle, std::int32_t, ScriptArgRecord*) {
    return 1;
}

NullCallContextObject sNullCallContext = {
    {&sNullCallContext.table},
    {
        Nothing<void, HostCallContext*>,                              // 0 add reference
        Nothing<void, HostCallContext*>,                              // 1 release
        nullptr,                                                      // 2 absent
        Nothing<std::intptr_t, HostCallContext*>,                     // 3
        Nothing<void, HostCallContext*>,                              // 4 clear error
        Nothing<Handle, HostCallContext*, std::int32_t, ErrorDatum>,  // 5 new Throwable
        Nothing<Handle, HostCallContext*, Handle>,                    // 6 message
        Nothing<Handle, HostCallContext*>,                            // 7 pending Throwable
        Nothing<void, HostCallContext*, Handle>,                      // 8 raise
        Nothing<Handle, HostCallContext*, std::int32_t, const void*, std::uint32_t>,  // 9
        Nothing<const void*, HostCallContext*, Handle, std::int32_t, std::uint32_t*,
                std::uint32_t*>,                                 // 10 lock String
        Nothing<void, HostCallContext*, Handle, std::uint32_t>,  // 11 unlock String
        FailedCall,                                              // 12 call: always fails
        Nothing<std::intptr_t, HostCallContext*>,                // 13
    }};

NullClassInterfaceObject sNullClassInterface = {
    {&sNullClassInterface.table},
    {
        Nothing<void, HostClassInterface*>,           // 0
        Nothing<void, HostClassInterface*>,           // 1
        Nothing<std::intptr_t, HostClassInterface*>,  // 2
        EmptyText,                                    // 3
        EmptyText,                                    // 4
        Nothing<std::intptr_t, HostClassInterface*>,  // 5
        Nothing<void, HostClassInterface*, Handle>,   // 6
        Nothing<void, HostClassInterface*, Handle>,   // 7
        Nothing<std::intptr_t, HostClassInterface*>,  // 8
    }};

HostCallContext* QZ_CALL NullContext(HostEnvironment*) { return &sNullCallContext.object; }
HostClassInterface* QZ_CALL NullClass(HostEnvironment*, std::int32_t, const char*) {
    return &sNullClassInterface.object;
}

NullEnvironmentObject sNullEnvironment = {
    {&sNullEnvironment.table},
    {
        Nothing<void, HostEnvironment*>,           // 0
        Nothing<void, HostEnvironment*>,           // 1
        Nothing<std::uint32_t, HostEnvironment*>,  // 2 version 0
        NullContext,                               // 3
        NullClass,                                 // 4
        Nothing<std::intptr_t, HostEnvironment*>,  // 5
        Nothing<Handle, HostEnvironment*, std::int32_t, std::int32_t, const char*, std::int32_t,
                void*>,                                                // 6
        Nothing<std::intptr_t, HostEnvironment*, Handle>,              // 7
        Nothing<Handle, HostEnvironment*, std::int32_t, const char*>,  // 8
        Nothing<std::intptr_t, HostEnvironment*>,                      // 9
    }};

// ---- Link state ------------------------------------------------------------------------------

// Counted pointer to an environment: add before release, nothing when unchanged.
class CountedEnvironment {
  public:
    HostEnvironment* get() const { return fEnvironment; }
    void assign(HostEnvironment* environment) {
        if (environment == fEnvironment) return;
        if (environment) environment->table->addReference(environment);
        HostEnvironment* old = fEnvironment;
        fEnvironment = environment;
        if (old) old->table->release(old);
    }

  private:
    HostEnvironment* fEnvironment = nullptr;
};

// The environment handed over by QZPlugIn_Link_2, until Relink takes it. Trivially constructed,
// so it is usable whatever the order of static construction; released at unload.
class LinkedEnvironmentHolder {
  public:
    ~LinkedEnvironmentHolder() { assign(nullptr); }
    void assign(HostEnvironment* environment) {
        if (environment == fEnvironment) return;
        if (fEnvironment) fEnvironment->table->release(fEnvironment);
        fEnvironment = environment;
        if (fEnvironment) fEnvironment->table->addReference(fEnvironment);
    }
    HostEnvironment* take() {
        HostEnvironment* taken = fEnvironment;
        fEnvironment = nullptr;
        return taken;
    }

  private:
    HostEnvironment* fEnvironment = nullptr;
};

CountedEnvironment sCurrentEnvironment;
std::int32_t sEnvironmentUseCount = 0;
LinkedEnvironmentHolder sLinkedEnvironment;
EnvironmentProvider sEnvironmentProvider = nullptr;
EnvironmentListener* sListeners = nullptr;

// Owns one reference to an environment for the length of a scope.
class OwnedEnvironment {
  public:
    explicit OwnedEnvironment(HostEnvironment* adopted) : fEnvironment(adopted) {}
    ~OwnedEnvironment() {
        if (fEnvironment) fEnvironment->table->release(fEnvironment);
    }
    OwnedEnvironment(const OwnedEnvironment&) = delete;
    OwnedEnvironment& operator=(const OwnedEnvironment&) = delete;
    HostEnvironment* get() const { return fEnvironment; }
    void adopt(HostEnvironment* environment) { fEnvironment = environment; }

  private:
    HostEnvironment* fEnvironment;
};

}  // namespace

HostEnvironment* NullHostEnvironment() { return &sNullEnvironment.object; }
HostCallContext* NullHostCallContext() { return &sNullCallContext.object; }
HostClassInterface* NullHostClassInterface() { return &sNullClassInterface.object; }

HostEnvironment* CurrentEnvironment() { return sCurrentEnvironment.get(); }

void AddEnvironmentListener(EnvironmentListener& node) {
    for (EnvironmentListener* n = sListeners; n; n = n->next)
        if (n == &node) return;
    node.next = sListeners;
    sListeners = &node;
}

void SetEnvironmentProvider(EnvironmentProvider provider) { sEnvironmentProvider = provider; }

void LinkEnvironment(HostEnvironment* environment) { sLinkedEnvironment.assign(environment); }

void RelinkEnvironment() {
    OwnedEnvironment local(sLinkedEnvironment.take());
    if (!local.get() && sEnvironmentProvider) local.adopt(sEnvironmentProvider());
    if (!local.get()) local.adopt(NullHostEnvironment());
    sCurrentEnvironment.assign(local.get());
    for (EnvironmentListener* node = sListeners; node; node = node->next)
        node->callback(sCurrentEnvironment.get());
}

EnvironmentUser::EnvironmentUser() {
    if (sEnvironmentUseCount++ == 0) sCurrentEnvironment.assign(NullHostEnvironment());
}

EnvironmentUser::~EnvironmentUser() {
    if (--sEnvironmentUseCount == 0) sCurrentEnvironment.assign(nullptr);
}

EnvironmentScope::EnvironmentScope()
    : fContext(CurrentEnvironment()->table->newCallContext(CurrentEnvironment())) {}

EnvironmentScope::~EnvironmentScope() {
    if (fContext) fContext->table->release(fContext);
}

}  // namespace Vorna
