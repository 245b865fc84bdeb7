// A plug-in module as the host drives it: the six exports, found either in a shared library
// loaded by path or handed over directly for a module linked into the test executable.
//
//     StandIn::Host host;
//     StandIn::Module module = StandIn::Module::load("path/to/module.so");   // or linkedIn({...})
//     module.link(host);      // QZPlugIn_Link_2 with the host's environment
//     module.startup();       // the module registers its script functions
//     auto hough = host.entry<Vorna::ImageFunctionEntry>("HoughTransform");
//     Vorna::Handle result = hough(&image);
//     module.shutdown();
//     bool gone = module.unload();   // library really left the process
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "shell/Boundary.h"

namespace StandIn {

class Host;
class DynamicLibrary;

// The six exports of a module.
struct ModuleExports {
    QZPlugInGetVersionFn getVersion = nullptr;  // QZPlugIn_GetVersion
    QZPlugInLinkFn link = nullptr;              // QZPlugIn_Link_2
    QZPlugInLifecycleFn startup = nullptr;      // PlugInStartup
    QZPlugInLifecycleFn run = nullptr;          // PlugInRun
    QZPlugInLifecycleFn shutdown = nullptr;     // PlugInShutdown
    QZPlugInLifecycleFn cleanup = nullptr;      // PlugInCleanup
};

// Loading failed: the library could not be opened or lacks exports (all missing ones named).
class ModuleLoadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Module {
  public:
    // A module linked into this executable; all six exports must be given.
    static Module linkedIn(const ModuleExports& exports);
    // A module in a shared library. Throws ModuleLoadError.
    static Module load(const std::string& path);

    Module(Module&&) noexcept;
    Module& operator=(Module&&) noexcept;
    ~Module();  // unloads a library still loaded

    const ModuleExports& exports() const { return fExports; }
    bool isLibrary() const;

    std::int32_t version();  // QZPlugIn_GetVersion
    void link(Host& host);   // QZPlugIn_Link_2(host.environment())
    void link(Vorna::HostEnvironment* environment);
    void startup();   // PlugInStartup
    void run();       // PlugInRun
    void cleanup();   // PlugInCleanup
    void shutdown();  // PlugInShutdown

    // Closes the library (its static destructors run when it really goes). Answers whether the
    // library has left the process; always true for a linked-in module (nothing to unload) and
    // when already unloaded. The exports are unusable afterwards.
    bool unload();

  private:
    Module() = default;
    void require(QZPlugInLifecycleFn fn, const char* name) const;

    ModuleExports fExports;
    std::unique_ptr<DynamicLibrary> fLibrary;
};

}  // namespace StandIn
