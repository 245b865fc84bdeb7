// The module's main object, its lifecycle hooks, and the entry guard around every call from the
// host.
//
// A module defines one static object of a class derived from Vorna::PlugIn::PlugInMain; the
// exported entries forward to it. Its Startup hook registers the module's script functions:
//
//     class MyPlugIn : public Vorna::PlugIn::PlugInMain {
//         void Startup() override { AddFunction("RealImagePtr Invert(ImageRef *)", (void*)&Invert);
//         }
//     };
//     static MyPlugIn sPlugIn;
//
// Every script function body runs inside RunGuarded, which turns any exception into an error
// raised in the host: nothing is ever thrown back into the host.
#pragma once

#include <cstdint>
#include <vector>

#include "hostcall/References.h"
#include "shell/Environment.h"
#include "shell/PlugInCallbacks.h"

namespace Vorna {

// Counted user of the module's library data: the out-of-memory handler and the plug-in error
// manager are installed while any user lives.
class LibraryDataUser {
  public:
    LibraryDataUser();
    ~LibraryDataUser();
    LibraryDataUser(const LibraryDataUser&) = delete;
    LibraryDataUser& operator=(const LibraryDataUser&) = delete;
};

using CallbacksProvider = const PlugIn::PlugInCallbacks* (*)();
void SetCallbacksProvider(CallbacksProvider provider);

namespace Win32 {

// The module's linkage to the host.
class PlugInMain {
  public:
    PlugInMain();
    ~PlugInMain();
    PlugInMain(const PlugInMain&) = delete;
    PlugInMain& operator=(const PlugInMain&) = delete;

    // Registers a script function with the host; `entry` is a plain function matching the
    // signature text, which is passed to the host byte for byte.
    void AddFunction(const char* signature, void* entry);
    // Withdraws one registration.
    void RemoveFunction(const Function& function);
    // Withdraws every registration, last registered first.
    void RemoveAllFunctions();
    // Installs the linked environment as current (run by PlugInStartup).
    void Relink();

    // The platform's handle of this module, recorded at process attach.
    static void* GetModuleInstance();
    static void SetModuleInstance(void* instance);

  private:
    EnvironmentUser fEnvironmentUser;
    // Keeps the Function kind's class interface while the registration list may release.
    ClassUser<ObjectKind::Function> fFunctionClassUser;
    LibraryDataUser fLibraryDataUser;
    std::vector<Function> fFunctions;
};

}  // namespace Win32

namespace PlugIn {

class PlugInMain : public Win32::PlugInMain {
  public:
    PlugInMain();
    virtual ~PlugInMain();

    virtual void Startup() {}
    virtual void Run() {}
    virtual void Cleanup() {}
    virtual void Shutdown() { RemoveAllFunctions(); }
    virtual void SpareHook() {}

    // The framework's table of host-generation dependent services. Raises the assertion
    // "sCallbacks != NULL" when the host is too old and no provider answers.
    static const PlugInCallbacks& GetCallbacks();
};

// The module's main object, or a default one built on first demand. Never null.
PlugInMain* GetPlugInMain();

// The entry guard. Runs `work` with a call context open; clears the context's error state when
// it returns, hands any exception to the host as a raised Throwable otherwise. Never throws.
template <class Work>
void RunGuarded(Work&& work) noexcept;

// The part of the guard that reports a caught exception; `e` is null for a non-standard one.
void ReportToHost(HostCallContext* context, const std::exception* e) noexcept;

template <class Work>
void RunGuarded(Work&& work) noexcept {
    EnvironmentScope scope;
    HostCallContext* context = scope.Context();
    if (!context) return;
    try {
        work();
        context->table->clearError(context);
    } catch (const std::exception& e) {
        ReportToHost(context, &e);
    } catch (...) {
        ReportToHost(context, nullptr);
    }
}

}  // namespace PlugIn
}  // namespace Vorna
