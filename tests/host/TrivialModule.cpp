// A minimal module, written against the binary interface alone, that the loader tests load by
// path: it links, registers one script function, calls one host function, withdraws its
// registration and releases the environment from a static destructor when unloaded.
#include <cstring>

#include "shell/Boundary.h"

#ifdef _WIN32
#define TRIVIAL_EXPORT extern "C" __declspec(dllexport)
#else
#define TRIVIAL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

Vorna::HostEnvironment* sEnvironment = nullptr;
Vorna::Handle sRegistration = 0;

void dropCount(const char* key, Vorna::Handle h) {
    Vorna::HostClassInterface* c = sEnvironment->table->classInterface(sEnvironment, 0, key);
    c->table->releaseObjectReference(c, h);
    c->table->release(c);
}

// Returns the image it was given with one more count: the host owns the result.
Vorna::Handle trivialSame(Vorna::Handle* image) {
    Vorna::HostClassInterface* c =
        sEnvironment->table->classInterface(sEnvironment, 0, "Vorna:Photarion:Image");
    c->table->addObjectReference(c, *image);
    c->table->release(c);
    return *image;
}

struct EnvironmentHolder {
    ~EnvironmentHolder() {
        if (sEnvironment) sEnvironment->table->release(sEnvironment);
    }
} sHolder;

}  // namespace

TRIVIAL_EXPORT std::int32_t QZPlugIn_GetVersion() { return 2; }

TRIVIAL_EXPORT void QZPlugIn_Link_2(Vorna::HostEnvironment* environment) {
    sEnvironment = environment;
    environment->table->addReference(environment);
}

TRIVIAL_EXPORT void PlugInStartup() {
    sRegistration = sEnvironment->table->addScriptFunction(
        sEnvironment, 0, 0, "RealImagePtr trivialSame(ImageRef *)", 3,
        reinterpret_cast<void*>(&trivialSame));
}

TRIVIAL_EXPORT void PlugInRun() {
    Vorna::HostCallContext* context = sEnvironment->table->newCallContext(sEnvironment);
    Vorna::Handle alert =
        sEnvironment->table->findScriptFunction(sEnvironment, 0, "void ShowAlert( string, long )");
    Vorna::ScriptArgRecord records[2] = {};
    const char* text = "trivial module running";
    std::int32_t kind = 7;
    std::memcpy(records[0].bytes, &text, sizeof text);
    std::memcpy(records[1].bytes, &kind, sizeof kind);
    context->table->call(context, alert, 2, records);
    dropCount("Vorna:Photarion:Function", alert);
    context->table->release(context);
}

TRIVIAL_EXPORT void PlugInCleanup() {}

TRIVIAL_EXPORT void PlugInShutdown() {
    if (!sRegistration) return;
    sEnvironment->table->removeScriptFunction(sEnvironment, sRegistration);
    dropCount("Vorna:Photarion:Function", sRegistration);
    sRegistration = 0;
}
