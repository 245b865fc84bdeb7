// The host behind photarion.Host: loading, calls, menus, and what each entry left behind.
#include "NativeHost.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "CallPlan.h"
#include "DynamicLibrary.h"
#include "ForeignCall.h"
#include "Values.h"
#include "Wording.h"

namespace Bridge {
namespace {

using StandIn::ObjectKind;

// The libraries loaded by the hosts of this process, by canonical path: the host that has one
// loaded, or none for a library that stayed in the process after its host unloaded it.
std::map<std::string, const NativeHost*>& librariesInProcess() {
    static std::map<std::string, const NativeHost*> libraries;
    return libraries;
}

std::string libraryKey(const std::string& path) {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::canonical(path, ec);
    if (ec) canonical = std::filesystem::absolute(path, ec);
    return canonical.string();
}

// dlopen looks a bare file name up in the library path; a path to a file is meant.
std::string filePath(const std::string& path) {
    return path.find('/') == std::string::npos ? "./" + path : path;
}

// Drops the host count the bridge took on a result, however the conversion ends.
class HostCount {
  public:
    HostCount(StandIn::Host& host, Vorna::Handle h) : fHost(host), fHandle(h) { fHost.keep(h); }
    ~HostCount() { fHost.drop(fHandle); }
    HostCount(const HostCount&) = delete;
    HostCount& operator=(const HostCount&) = delete;

  private:
    StandIn::Host& fHost;
    Vorna::Handle fHandle;
};

}  // namespace

// What one entry added to the host's records of raised errors, alerts and results text.
class NativeHost::Entry {
  public:
    explicit Entry(StandIn::Host& host)
        : fHost(host),
          fErrors(host.raisedErrorRecords().size()),
          fAlerts(host.alerts().size()),
          fResults(host.results().size()) {}

    void collect(Outcome& outcome) {
        const auto& errors = fHost.raisedErrorRecords();
        for (; fErrors < errors.size(); ++fErrors) outcome.errors.push_back(errors[fErrors]);
        const auto& alerts = fHost.alerts();
        for (; fAlerts < alerts.size(); ++fAlerts) outcome.alerts.push_back(alerts[fAlerts].text);
        const auto& results = fHost.results();
        for (; fResults < results.size(); ++fResults) outcome.results += results[fResults];
    }

  private:
    StandIn::Host& fHost;
    std::size_t fErrors;
    std::size_t fAlerts;
    std::size_t fResults;
};

NativeHost::NativeHost(std::uint32_t version) : fHost(version) {}

NativeHost::~NativeHost() {
    for (auto it = fModules.rbegin(); it != fModules.rend(); ++it) {
        if (!it->module) continue;
        it->module->cleanup();
        it->module->shutdown();
        if (it->module->unload()) librariesInProcess().erase(it->key);
        it->module.reset();
    }
}

bool NativeHost::libraryInProcess(const std::string& path) {
    const std::string file = filePath(path);
    return librariesInProcess().count(libraryKey(file)) > 0 ||
           StandIn::DynamicLibrary::isLoaded(file);
}

NativeHost::Loaded& NativeHost::loaded(int module) {
    if (module < 0 || static_cast<std::size_t>(module) >= fModules.size() ||
        !fModules[static_cast<std::size_t>(module)].module) {
        throw std::logic_error("the module is not loaded");
    }
    return fModules[static_cast<std::size_t>(module)];
}

const NativeHost::Loaded& NativeHost::loaded(int module) const {
    return const_cast<NativeHost*>(this)->loaded(module);
}

bool NativeHost::isLoaded(int module) const {
    return module >= 0 && static_cast<std::size_t>(module) < fModules.size() &&
           fModules[static_cast<std::size_t>(module)].module.has_value();
}

std::string NativeHost::path(int module) const {
    return fModules.at(static_cast<std::size_t>(module)).path;
}

// Registrations made since the last look belong to the module that was entered.
void NativeHost::claimRegistrations(Loaded& m) {
    const std::size_t count = fHost.registrations().size();
    for (; fRegistrationsSeen < count; ++fRegistrationsSeen) m.owned.push_back(fRegistrationsSeen);
}

std::vector<std::string> NativeHost::signatures(int module) const {
    std::vector<std::string> out;
    for (std::size_t i : loaded(module).owned) {
        const StandIn::Registration& r = fHost.registrations()[i];
        if (!r.withdrawn) out.push_back(r.signature);
    }
    return out;
}

int NativeHost::load(const std::string& given, Outcome& outcome, bool& started) {
    const std::string path = filePath(given);
    const std::string key = libraryKey(path);
    auto held = librariesInProcess().find(key);
    if (held != librariesInProcess().end() || StandIn::DynamicLibrary::isLoaded(path)) {
        const std::string by = held == librariesInProcess().end() ? ""
                               : held->second == this             ? " by this host"
                               : held->second                     ? " by another host"
                                              : " (it stayed loaded after its host unloaded it)";
        throw LoadFailure(
            given + " is already loaded into this process" + by +
            ". A module is a shared library with static state, and the system loader gives a "
            "process one copy of a library however often it is opened: loading it again would "
            "take the module over from the host that has it. Unload it first (module.unload() "
            "or host.close()), or load it in another process.");
    }
    Loaded m;
    m.path = given;
    m.key = key;
    try {
        m.module.emplace(StandIn::Module::load(path));
    } catch (const StandIn::ModuleLoadError& e) {
        throw LoadFailure(std::string("cannot load module: ") + e.what());
    }
    const std::int32_t version = m.module->version();
    if (version != Vorna::kLinkVersion) {
        throw LoadFailure(given + " speaks link version " + std::to_string(version) +
                          "; this host speaks version " + std::to_string(Vorna::kLinkVersion));
    }
    if (fLoadedCount == 0) {
        fFirstLoad = fHost.snapshot();
        fLoadedSince.clear();
    }
    ++fLoadedCount;
    fLoadedSince.push_back(given);
    librariesInProcess()[key] = this;
    fModules.push_back(std::move(m));
    const int id = static_cast<int>(fModules.size() - 1);
    Loaded& module = fModules.back();

    Entry entry(fHost);
    module.module->link(fHost);
    module.module->startup();
    claimRegistrations(module);
    entry.collect(outcome);
    started = outcome.errors.empty();
    if (!started) {
        Outcome after = unload(id);
        outcome.errors.insert(outcome.errors.end(), after.errors.begin(), after.errors.end());
        outcome.alerts.insert(outcome.alerts.end(), after.alerts.begin(), after.alerts.end());
        outcome.results += after.results;
        outcome.leaks = after.leaks;
        outcome.leakScope = after.leakScope;
        outcome.faults.insert(outcome.faults.end(), after.faults.begin(), after.faults.end());
    }
    return id;
}

Outcome NativeHost::unload(int id) {
    Loaded& m = loaded(id);
    Outcome outcome;
    Entry entry(fHost);
    m.module->cleanup();
    m.module->shutdown();
    claimRegistrations(m);
    entry.collect(outcome);
    const bool gone = m.module->unload();
    m.module.reset();
    if (gone) {
        librariesInProcess().erase(m.key);
    } else {
        librariesInProcess()[m.key] = nullptr;
        outcome.faults.push_back(
            "the module library is still loaded after unloading it: its "
            "static destructors have not run");
    }
    if (--fLoadedCount == 0) {
        outcome.leaks = fHost.leakReport(*fFirstLoad);
        outcome.leakScope = fLoadedSince;
        fFirstLoad.reset();
    }
    return outcome;
}

// What a call left behind: as the leak report says, less the host functions the module keeps
// resolved for its next calls.
std::vector<StandIn::LeakReport::HeldObject> NativeHost::callLeaks(
    const StandIn::LeakSnapshot& before) {
    std::vector<StandIn::LeakReport::HeldObject> held;
    for (const auto& o : fHost.leakReport(before).objects) {
        if (o.kind != ObjectKind::Function) held.push_back(o);
    }
    return held;
}

py::object NativeHost::takeResult(Vorna::Handle h, bool image, bool failed, const std::string& name,
                                  Outcome& outcome) {
    if (h == 0) return py::none();
    if (!fHost.isAlive(h)) {
        outcome.faults.push_back(name + " returned " + StandIn::hexHandle(h) +
                                 ", which is no live host object");
        return py::none();
    }
    if (fHost.moduleReferences(h) <= 0) {
        outcome.faults.push_back(name + " returned " + StandIn::hexHandle(h) +
                                 " without a reference for the host");
        return py::none();
    }
    HostCount count(fHost, h);
    const ObjectKind kind = *fHost.kindOf(h);
    if (failed) return py::none();  // the error is what the caller gets
    if (image && kind != ObjectKind::Image) {
        outcome.faults.push_back(name + " returned a " + StandIn::kindName(kind) +
                                 " where its signature promises an image");
        return py::none();
    }
    if (kind == ObjectKind::Image) return arrayFromImage(fHost.image(h));
    if (kind == ObjectKind::String) return fromUTF16(fHost.readStringUTF16(h));
    return py::make_tuple(StandIn::kindName(kind), h);
}

Outcome NativeHost::call(int module, const std::string& name, const py::args& arguments) {
    Loaded& m = loaded(module);
    const StandIn::Registration* registration = nullptr;
    std::vector<std::string> candidates;
    for (std::size_t i : m.owned) {
        const StandIn::Registration& r = fHost.registrations()[i];
        if (r.withdrawn || r.name != name) continue;
        candidates.push_back(r.signature);
        try {
            if (StandIn::parseSignature(r.signature).params.size() == arguments.size()) {
                registration = &r;
                break;
            }
        } catch (const StandIn::SignatureError&) {
        }
        if (!registration && candidates.size() == 1) registration = &r;
    }
    if (candidates.empty())
        throw py::attribute_error("the module registers no function '" + name + "'");

    StandIn::Signature sig;
    try {
        sig = StandIn::parseSignature(registration->signature);
    } catch (const StandIn::SignatureError& e) {
        throw py::type_error("cannot read the signature of " + name + ": " + e.what());
    }
    std::optional<Tools::ResultPlan> resultPlan = Tools::planResult(sig.result);
    if (!resultPlan) {
        throw py::type_error(name + " returns " + sig.result.spelling() +
                             ", which Python cannot receive; its signature is " + sig.text);
    }
    std::vector<Tools::ParamPlan> plans;
    for (std::size_t i = 0; i < sig.params.size(); ++i) {
        std::optional<Tools::ParamPlan> plan = Tools::planParam(sig.params[i]);
        if (!plan || plan->supply == Tools::Supply::ObjectHandle ||
            plan->supply == Tools::Supply::ObjectAddress ||
            plan->supply == Tools::Supply::NumberAddress) {
            throw py::type_error("parameter " + std::to_string(i + 1) + " of " + name +
                                 " is of type " + sig.params[i].spelling() +
                                 ", which Python cannot supply; its signature is " + sig.text);
        }
        plans.push_back(*plan);
    }
    if (arguments.size() != sig.params.size()) {
        std::string message = name + " takes " +
                              Tools::plural(static_cast<long long>(sig.params.size()), "argument") +
                              ", " + std::to_string(arguments.size()) +
                              " given; its signature is " + sig.text;
        for (const std::string& other : candidates) {
            if (other != sig.text) message += "; also registered: " + other;
        }
        throw py::type_error(message);
    }

    Outcome outcome;
    {
        // Everything the arguments point to lives until the call is over.
        MadeObjects made(fHost);
        std::vector<ArgumentStorage> storage(sig.params.size());
        std::vector<Tools::ForeignValue> values;
        for (std::size_t i = 0; i < sig.params.size(); ++i) {
            const ArgumentPlace place{i, &sig};
            values.push_back(toForeign(fHost, plans[i], arguments[i], place, made, storage[i]));
        }
        const StandIn::LeakSnapshot before = fHost.snapshot();
        Entry entry(fHost);
        const Tools::ForeignValue result =
            Tools::callForeign(registration->entry, resultPlan->foreign, values);
        claimRegistrations(m);
        entry.collect(outcome);
        const bool failed = !outcome.errors.empty();
        if (resultPlan->object) {
            outcome.value = takeResult(result.u32, resultPlan->image, failed, name, outcome);
        } else if (resultPlan->foreign != Tools::ForeignType::Void && !failed) {
            outcome.value = fromForeign(result, resultPlan->reading);
        }
        StandIn::LeakReport left = fHost.leakReport(before);
        left.objects = callLeaks(before);
        outcome.leaks = left;
    }
    return outcome;
}

std::vector<StandIn::MenuItem> NativeHost::menus() {
    try {
        if (fMenus.activeMenuRegistrationCount() == 0) return {};
        return fMenus.items();
    } catch (const StandIn::ModuleError& e) {
        throw Reported(e.code(), e.what());
    }
}

std::string NativeHost::describeMenus() {
    try {
        return fMenus.describe();
    } catch (const StandIn::ModuleError& e) {
        throw Reported(e.code(), e.what());
    }
}

Outcome NativeHost::choose(std::int32_t id1, std::int32_t id2, bool& handled) {
    Outcome outcome;
    const StandIn::LeakSnapshot before = fHost.snapshot();
    Entry entry(fHost);
    handled = false;
    try {
        handled = fMenus.choose(id1, id2);
    } catch (const StandIn::ModuleError& e) {
        outcome.errors.push_back(StandIn::RaisedError{0, e.code(), e.what()});
    }
    entry.collect(outcome);
    outcome.leaks = fHost.leakReport(before);
    outcome.leaks.objects = callLeaks(before);
    return outcome;
}

}  // namespace Bridge
