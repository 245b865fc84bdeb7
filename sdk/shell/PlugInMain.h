// The module's main object, its lifecycle hooks, and the entry guard around every call from the
// host.
//
// A module defines one static object of a class derived from Vorna::PlugIn::PlugInMain; the
// exported entries forward to it. Its Startup hook registers the module's script functions:
//
//     // The result, if one was made, goes to the host even when a later step fails.
//     void Invert(Vorna::ImageRef& result, Vorna::Handle* image) { ... result = ...; ... }
//
//     class MyPlugIn : public Vorna::PlugIn::PlugInMain {
//         void Startup() override { AddFunction<&Invert>("RealImagePtr Invert(ImageRef *)"); }
//     };
//     static MyPlugIn sPlugIn;
//
// AddFunction<&Body> registers an entry that runs Body inside the entry guard (RunGuarded),
// which turns any exception into an error raised in the host: nothing is ever thrown back into
// the host.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "errors/EdgeGuard.h"
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

    // Registers a script function with the host; `entry` is a plain QZ_CALL function matching
    // the signature text, which is passed to the host byte for byte.
    void AddFunction(const char* signature, void* entry);
    // Registers `Body` behind an entry that runs it in the entry guard. Body takes the host's
    // arguments as the signature passes them (an image as Handle*, numbers as themselves); a
    // function with a result takes it first, as a reference it fills: void Body(ImageRef&
    // result, Handle* image). The host receives the result's count, also when Body failed after
    // filling it, and an empty result (0) when none was made.
    template <auto Body>
    void AddFunction(const char* signature);
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

// Raises an error caught at an entry in the host, through the entry's call context.
void RaiseInHost(HostCallContext* context, const EdgeError& error) noexcept;

// The entry guard. Runs `work` with a call context open; clears the context's error state when
// it returns, raises the failure in the host otherwise (errors/EdgeGuard.h). Never throws.
template <class Work>
void RunGuarded(Work&& work) noexcept {
    EnvironmentScope scope;
    HostCallContext* context = scope.Context();
    if (!context) return;
    if (RunCatching(std::forward<Work>(work),
                    [context](const EdgeError& error) noexcept { RaiseInHost(context, error); }))
        context->table->clearError(context);
}

namespace Detail {

// What an entry hands the host for a body's result: a reference's count, or a plain value.
template <class Derived, ObjectKind K>
Handle HandOver(HostReference<Derived, K>& result) noexcept {
    return result.release();
}
template <class T, std::enable_if_t<std::is_arithmetic<T>::value, int> = 0>
T HandOver(T result) noexcept {
    return result;
}

// A body without a result.
template <auto Body, class... Parameters>
struct PlainEntry {
    static void QZ_CALL Call(Parameters... parameters) noexcept {
        RunGuarded([&] { Body(parameters...); });
    }
};

// A body that fills the result it takes first.
template <auto Body, class Result, class... Parameters>
struct ResultEntry {
    using Answer = decltype(HandOver(std::declval<Result&>()));
    static Answer QZ_CALL Call(Parameters... parameters) noexcept {
        Result result{};
        RunGuarded([&] { Body(result, parameters...); });
        return HandOver(result);
    }
};

// Arguments from the host are never C++ references, so a first reference parameter is always
// the result.
template <auto Body, class... Parameters>
struct EntryFor {
    using type = PlainEntry<Body, Parameters...>;
};
template <auto Body, class Result, class... Parameters>
struct EntryFor<Body, Result&, Parameters...> {
    using type = ResultEntry<Body, Result, Parameters...>;
};

// The entry the host calls for a registered body: a plain QZ_CALL function, Call.
template <auto Body>
struct ScriptEntry;
template <class... Parameters, void (*Body)(Parameters...)>
struct ScriptEntry<Body> : EntryFor<Body, Parameters...>::type {};

}  // namespace Detail
}  // namespace PlugIn

template <auto Body>
void Win32::PlugInMain::AddFunction(const char* signature) {
    AddFunction(signature, reinterpret_cast<void*>(&PlugIn::Detail::ScriptEntry<Body>::Call));
}

}  // namespace Vorna
