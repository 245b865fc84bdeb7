// The main object, the six exports and the platform entry point.
#include "shell/PlugInMain.h"

#include "errors/Exceptions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
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

void PlugIn::RaiseInHost(HostCallContext* context, const EdgeError& error) noexcept {
    // An exception of no standard type is reported as the plain error of the entry's own call
    // context; every other one as the Throwable the conversion makes.
    Throwable throwable(error.source == EdgeError::Source::Unknown
                            ? context->table->newThrowable(context, error.code, error.datum)
                            : EdgeErrorToThrowable(error),
                        kAdopt);
    context->table->raise(context, throwable.get());
}

}  // namespace Vorna

// ---- Exports -------------------------------------------------------------------------------

using Vorna::PlugIn::GetPlugInMain;
using Vorna::PlugIn::RunGuarded;

// Declared with their linkage, export and calling convention in abi/PlugInExports.h.

std::int32_t QZ_CALL QZPlugIn_GetVersion() { return Vorna::kLinkVersion; }

void QZ_CALL QZPlugIn_Link_2(Vorna::HostEnvironment* environment) {
    Vorna::LinkEnvironment(environment);
}

void QZ_CALL PlugInStartup() {
    auto* main = GetPlugInMain();
    main->Relink();
    RunGuarded([main] { main->Startup(); });
}

void QZ_CALL PlugInRun() {
    auto* main = GetPlugInMain();
    RunGuarded([main] { main->Run(); });
}

void QZ_CALL PlugInCleanup() {
    auto* main = GetPlugInMain();
    RunGuarded([main] { main->Cleanup(); });
}

void QZ_CALL PlugInShutdown() {
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
