// One stand-in host as Python drives it: modules loaded by path, their registered functions
// called with Python values, their menus read and chosen.
//
// Every entry into a module (its start-up, a call, a menu command, its shutdown) answers an
// Outcome: what the entry answered, the errors the module raised, the alerts it showed, the text
// it wrote to the results window, what it left behind, and anything else it got wrong. The
// Python layer (photarion/_host.py) turns an Outcome into a value, exceptions and warnings.
//
// What counts as left behind. After a call: objects the module holds counts on beyond those it
// held before (host functions it resolved excepted: the framework keeps those for later calls),
// call contexts, string loans and image locks it did not give back, and counting anomalies. At
// unload, when the host's last module goes: everything the modules still hold, as the runner
// reports it.
//
// A module is a shared library with static state, and the system loader gives one process one
// copy of a library however often it is opened: a second host that loaded a library already in
// the process would take the first host's module over. Loading such a library is refused.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Host.h"
#include "LeakReport.h"
#include "Menus.h"
#include "Module.h"

namespace Bridge {

namespace py = pybind11;

// The library could not be loaded or linked; what() says why.
class LoadFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An error the module reported outside an entry that answers an Outcome (reading its menus).
class Reported : public std::runtime_error {
  public:
    Reported(std::int32_t code, const std::string& message)
        : std::runtime_error(message), fCode(code) {}
    std::int32_t code() const { return fCode; }

  private:
    std::int32_t fCode;
};

struct Outcome {
    py::object value = py::none();
    std::vector<StandIn::RaisedError> errors;
    std::vector<std::string> alerts;
    std::string results;
    StandIn::LeakReport leaks;
    std::vector<std::string> faults;  // e.g. a result handed over without a count
    // At the unload of a host's last module: the modules whose leftovers `leaks` lists, all those
    // loaded since the host last had none (their leftovers cannot be told apart).
    std::vector<std::string> leakScope;
};

class NativeHost {
  public:
    explicit NativeHost(std::uint32_t version);
    // Unloads the modules still loaded (cleanup, shutdown, unload), reporting nothing.
    ~NativeHost();
    NativeHost(const NativeHost&) = delete;
    NativeHost& operator=(const NativeHost&) = delete;

    std::uint32_t version() const { return fHost.version(); }

    // Loads the library, checks its link version, links and starts it up. Throws LoadFailure.
    // A module whose start-up raised an error is unloaded again at once: `started` is false and
    // the outcome holds the error and what unloading found.
    int load(const std::string& path, Outcome& outcome, bool& started);
    // Cleanup, shutdown, unload. Unknown or already unloaded modules: std::logic_error.
    Outcome unload(int module);
    bool isLoaded(int module) const;
    std::string path(int module) const;
    // The module's live registrations, as registered.
    std::vector<std::string> signatures(int module) const;

    // Calls the module's function of this name (among several, the first whose parameter count
    // matches) with the arguments converted by its signature. Throws py::type_error and
    // py::value_error for arguments that do not fit, py::attribute_error for an unknown name.
    Outcome call(int module, const std::string& name, const py::args& arguments);

    // The entries of every active menu registration; throws Reported when the module refuses.
    std::vector<StandIn::MenuItem> menus();
    std::string describeMenus();
    // Offers the command to the menus; `handled` says whether one took it.
    Outcome choose(std::int32_t id1, std::int32_t id2, bool& handled);

    // Whether a library of this path is loaded by a host of this process (or otherwise mapped).
    static bool libraryInProcess(const std::string& path);

  private:
    struct Loaded {
        std::optional<StandIn::Module> module;
        std::string path;
        std::string key;                 // the file's canonical path
        std::vector<std::size_t> owned;  // indices of the registrations it made
    };
    class Entry;

    Loaded& loaded(int module);
    const Loaded& loaded(int module) const;
    void claimRegistrations(Loaded& m);
    void finish(Loaded& m, Entry& entry, Outcome& outcome);
    std::vector<StandIn::LeakReport::HeldObject> callLeaks(const StandIn::LeakSnapshot& before);
    py::object takeResult(Vorna::Handle h, bool image, bool failed, const std::string& name,
                          Outcome& outcome);

    StandIn::Host fHost;
    StandIn::Menus fMenus{fHost};
    std::vector<Loaded> fModules;
    std::size_t fRegistrationsSeen = 0;
    int fLoadedCount = 0;
    std::optional<StandIn::LeakSnapshot> fFirstLoad;  // taken when the first module loads
    std::vector<std::string> fLoadedSince;            // the modules loaded since then
};

}  // namespace Bridge
