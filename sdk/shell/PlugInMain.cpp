// The main object, the six exports and the platform entry point.
#include "shell/PlugInMain.h"

#include "errors/Exceptions.h"

#ifdef _WIN32
#include <windows.h>
#define VORNA_EXPORT extern "C" __declspec(dllexport)
#else
#include <dlfcn.h>
#define VORNA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace Vorna {
namespace {

PlugIn::PlugInMain* sMainObject = nullptr;
void* sModuleInstance = nullptr;

}  // namespace

// ---- Vorna::Win32::PlugInMain ----------------------------------------------------------------

Win32::PlugInMain::PlugInMain() = default;

Win32::PlugInMain::~PlugInMain() {
    RemoveAllFunctions();
    sMainObject = nullptr;
}

void Win32::PlugInMain::AddFunction(const char* signature, void* entry) {
    HostEnvironment* environment = CurrentEnvironment();
    Function function(environment->table->addScriptFunction(environment, 0, 0, signature, 3, entry),
                      kAdopt);
    // Handle 0: nothing was registered (the stand-by environment answers so), nothing to withdraw.
    if (function) fFunctions.push_back(std::move(function));
}

void Win32::PlugInMain::RemoveFunction(const Function& function) {
    HostEnvironment* environment = CurrentEnvironment();
    environment->table->removeScriptFunction(environment, function.get());
}

void Win32::PlugInMain::RemoveAllFunctions() {
    while (!fFunctions.empty()) {
        RemoveFunction(fFunctions.back());
        fFunctions.pop_back();
    }
}

void Win32::PlugInMain::Relink() { RelinkEnvironment(); }

void* Win32::PlugInMain::GetModuleInstance() { return sModuleInstance; }
void Win32::PlugInMain::SetModuleInstance(void* instance) { sModuleInstance = instance; }

// ---- Vorna::PlugIn::PlugInMain ---------------------------------------------------------------

PlugIn::PlugInMain::PlugInMain() { sMainObject = this; }

PlugIn::PlugInMain::~PlugInMain() = default;

PlugIn::PlugInMain* PlugIn::GetPlugInMain() {
    if (!sMainObject) {
        // Built once, on first demand, for a module that defines no main object of its own;
        // destroyed at unload.
        static PlugInMain sDefaultMainObject;
        sMainObject = &sDefaultMainObject;
    }
    return sMainObject;
}

void PlugIn::ReportToHost(HostCallContext* context, const std::exception* e) noexcept {
    Handle throwable = 0;
    try {
        throwable =
            e ? ExceptionToHostError(*e) : context->table->newThrowable(context, kErrorText, 0);
    } catch (...) {
        // Converting failed as well (the host ran out of memory, say): report the plain error.
        throwable = context->table->newThrowable(context, kErrorText, 0);
    }
    Throwable error(throwable, kAdopt);
    context->table->raise(context, error.get());
}

}  // namespace Vorna

// ---- Exports -------------------------------------------------------------------------------

using Vorna::PlugIn::GetPlugInMain;
using Vorna::PlugIn::RunGuarded;

VORNA_EXPORT std::int32_t QZPlugIn_GetVersion() { return 2; }

VORNA_EXPORT void QZPlugIn_Link_2(Vorna::HostEnvironment* environment) {
    Vorna::LinkEnvironment(environment);
}

VORNA_EXPORT void PlugInStartup() {
    auto* main = GetPlugInMain();
    main->Relink();
    RunGuarded([main] { main->Startup(); });
}

VORNA_EXPORT void PlugInRun() {
    auto* main = GetPlugInMain();
    RunGuarded([main] { main->Run(); });
}

VORNA_EXPORT void PlugInCleanup() {
    auto* main = GetPlugInMain();
    RunGuarded([main] { main->Cleanup(); });
}

VORNA_EXPORT void PlugInShutdown() {
    auto* main = GetPlugInMain();
    RunGuarded([main] { main->Shutdown(); });
}

namespace Vorna::PlugIn {
// The fifth guarded lifecycle entry; no export reaches it.
void PlugInSpareHook() {
    auto* main = GetPlugInMain();
    RunGuarded([main] { main->SpareHook(); });
}
}  // namespace Vorna::PlugIn

// ---- Process attach and detach ---------------------------------------------------------------

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        GetPlugInMain();
        Vorna::Win32::PlugInMain::SetModuleInstance(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        GetPlugInMain();
    }
    return TRUE;
}
#else
// A library's constructor and destructor functions stand in for process attach and detach. They
// live in the framework, which a module links after its own objects, so attach runs after the
// module's main object is constructed and detach before it is destroyed.
namespace {
__attribute__((constructor)) void ProcessAttach() {
    GetPlugInMain();
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&ProcessAttach), &info))
        Vorna::Win32::PlugInMain::SetModuleInstance(info.dli_fbase);
}
__attribute__((destructor)) void ProcessDetach() { GetPlugInMain(); }
}  // namespace
#endif
