// Loading and driving plug-in modules.
#include "Module.h"

#include <cstring>

#include "DynamicLibrary.h"
#include "Host.h"

namespace StandIn {
namespace {

template <typename Fn>
Fn exportOf(const DynamicLibrary& library, const char* name, std::string& missing) {
    void* address = library.symbol(name);
    if (!address) {
        missing += missing.empty() ? name : std::string(", ") + name;
        return nullptr;
    }
    Fn fn;
    static_assert(sizeof(fn) == sizeof(address), "function and data pointers have one size");
    std::memcpy(&fn, &address, sizeof(fn));
    return fn;
}

}  // namespace

Module Module::linkedIn(const ModuleExports& exports) {
    if (!exports.getVersion || !exports.link || !exports.startup || !exports.run ||
        !exports.shutdown || !exports.cleanup) {
        throw ModuleLoadError("a linked-in module needs all six exports");
    }
    Module m;
    m.fExports = exports;
    return m;
}

Module Module::load(const std::string& path) {
    std::unique_ptr<DynamicLibrary> library;
    try {
        library = std::make_unique<DynamicLibrary>(path);
    } catch (const std::runtime_error& e) {
        throw ModuleLoadError(e.what());
    }
    std::string missing;
    ModuleExports x;
    x.getVersion = exportOf<QZPlugInGetVersionFn>(*library, "QZPlugIn_GetVersion", missing);
    x.link = exportOf<QZPlugInLinkFn>(*library, "QZPlugIn_Link_2", missing);
    x.startup = exportOf<QZPlugInLifecycleFn>(*library, "PlugInStartup", missing);
    x.run = exportOf<QZPlugInLifecycleFn>(*library, "PlugInRun", missing);
    x.shutdown = exportOf<QZPlugInLifecycleFn>(*library, "PlugInShutdown", missing);
    x.cleanup = exportOf<QZPlugInLifecycleFn>(*library, "PlugInCleanup", missing);
    if (!missing.empty()) throw ModuleLoadError(path + " lacks the exports " + missing);
    Module m;
    m.fExports = x;
    m.fLibrary = std::move(library);
    return m;
}

Module::Module(Module&&) noexcept = default;
Module& Module::operator=(Module&&) noexcept = default;
Module::~Module() { unload(); }

bool Module::isLibrary() const { return fLibrary != nullptr; }

std::int32_t Module::version() {
    if (!fExports.getVersion) throw std::logic_error("module unloaded");
    return fExports.getVersion();
}

void Module::link(Host& host) { link(host.environment()); }

void Module::link(Vorna::HostEnvironment* environment) {
    if (!fExports.link) throw std::logic_error("module unloaded");
    fExports.link(environment);
}

void Module::require(QZPlugInLifecycleFn fn, const char* name) const {
    if (!fn) throw std::logic_error(std::string("module unloaded: cannot call ") + name);
}

void Module::startup() {
    require(fExports.startup, "PlugInStartup");
    fExports.startup();
}

void Module::run() {
    require(fExports.run, "PlugInRun");
    fExports.run();
}

void Module::cleanup() {
    require(fExports.cleanup, "PlugInCleanup");
    fExports.cleanup();
}

void Module::shutdown() {
    require(fExports.shutdown, "PlugInShutdown");
    fExports.shutdown();
}

bool Module::unload() {
    fExports = ModuleExports{};
    if (!fLibrary) return true;
    std::string path = fLibrary->path();
    fLibrary->close();
    fLibrary.reset();
    return !DynamicLibrary::isLoaded(path);
}

}  // namespace StandIn
