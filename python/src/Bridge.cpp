// photarion._photarion: the stand-in host, the module validator and the runner's planner as a
// Python extension. The package photarion (photarion/__init__.py) is the interface; this module
// answers plain data (dicts, lists, tuples) for it to wrap.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "NativeHost.h"
#include "Validator.h"
#include "Values.h"

namespace py = pybind11;

namespace {

using Bridge::NativeHost;
using Bridge::Outcome;

py::dict leakData(const StandIn::LeakReport& report) {
    py::list objects;
    for (const auto& o : report.objects) {
        objects.append(py::make_tuple(StandIn::kindName(o.kind), o.handle, o.moduleCount,
                                      Bridge::fromLatin1(o.description)));
    }
    py::list interfaces;
    for (const auto& i : report.interfaces) interfaces.append(py::make_tuple(i.what, i.references));
    py::dict d;
    d["objects"] = objects;
    d["interfaces"] = interfaces;
    d["string_loans"] = report.stringLoans;
    d["locked_images"] = report.lockedImages;
    d["anomalies"] = report.anomalies;
    d["text"] = report.clean() ? std::string() : report.toString();
    return d;
}

py::dict outcomeData(const Outcome& outcome) {
    py::list errors;
    for (const StandIn::RaisedError& e : outcome.errors) {
        // A menu's error comes with its text and without a Throwable.
        const bool text = e.throwable || !e.message.empty();
        errors.append(py::make_tuple(e.code, text ? Bridge::fromLatin1(e.message)
                                                  : py::str("(an error without a Throwable)")));
    }
    py::dict d;
    d["value"] = outcome.value;
    d["errors"] = errors;
    d["alerts"] = outcome.alerts;
    d["results"] = Bridge::fromLatin1(outcome.results);
    d["leaks"] = leakData(outcome.leaks);
    d["faults"] = outcome.faults;
    d["leak_scope"] = outcome.leakScope;
    return d;
}

py::dict menuData(const StandIn::MenuItem& m) {
    py::dict d;
    d["menu"] = Bridge::fromLatin1(m.menuName);
    d["submenu"] = Bridge::fromLatin1(m.subMenuName);
    d["command"] = m.kind == 0;
    d["item"] = Bridge::fromLatin1(m.itemName);
    d["flags"] = py::make_tuple(m.flags[0], m.flags[1], m.flags[2], m.flags[3], m.flags[4]);
    d["value"] = m.value;
    d["id1"] = m.id1;
    d["id2"] = m.id2;
    return d;
}

py::dict findingData(const Tools::ValidationFinding& f) {
    py::dict d;
    d["category"] = f.category;
    d["occurrences"] = f.occurrences;
    d["example"] = f.example;
    return d;
}

py::list findingsData(const std::vector<Tools::ValidationFinding>& findings) {
    py::list out;
    for (const auto& f : findings) out.append(findingData(f));
    return out;
}

py::dict validationData(const Tools::ValidationReport& report) {
    py::list functions;
    for (const Tools::FunctionValidation& f : report.functions) {
        py::dict fd;
        fd["name"] = f.name;
        fd["signature"] = f.signature;
        fd["cases_planned"] = f.casesPlanned;
        fd["cases_swept"] = f.casesSwept;
        fd["host_calls"] = f.hostCalls;
        fd["fault_points"] = f.faultPoints;
        fd["inputs"] = f.inputs;
        fd["errors_raised"] = findingData(f.errorsRaised);
        fd["notes"] = f.notes;
        fd["findings"] = findingsData(f.findings);
        functions.append(fd);
    }
    py::dict d;
    d["module"] = report.module;
    d["host_versions"] = report.hostVersions;
    d["module_checks"] = report.moduleChecks;
    d["module_findings"] = findingsData(report.moduleFindings);
    d["lifecycle"] = report.lifecycle;
    d["lifecycle_fault_points"] = report.lifecycleFaultPoints;
    d["functions"] = functions;
    d["isolated"] = report.isolated;
    d["finding_count"] = report.findingCount();
    d["fault_points"] = report.faultPoints();
    d["text"] = Tools::FormatValidation(report);
    return d;
}

py::dict validate(const std::string& path, const std::vector<std::uint32_t>& versions,
                  bool isolate) {
    if (NativeHost::libraryInProcess(path)) {
        throw Bridge::LoadFailure(
            path +
            " is loaded into this process; the validator loads and unloads it in child "
            "processes, which would find it still there. Unload it first.");
    }
    Tools::ValidationOptions options;
    options.module = path;
    if (!versions.empty()) options.hostVersions = versions;
    options.isolate = isolate;
    Tools::ValidationReport report;
    {
        py::gil_scoped_release release;
        report = Tools::ValidateModule(options);
    }
    return validationData(report);
}

// The exceptions of the package, raised from here with the package's classes.
py::object packageError(const char* name) {
    return py::module_::import("photarion._errors").attr(name);
}

}  // namespace

PYBIND11_MODULE(_photarion, m) {
    m.doc() = "The stand-in host behind the photarion package.";
    m.attr("DEFAULT_HOST_VERSION") = StandIn::kDefaultHostVersion;
    m.attr("LINK_VERSION") = Vorna::kLinkVersion;

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const Bridge::LoadFailure& e) {
            PyErr_SetString(packageError("LoadError").ptr(), e.what());
        } catch (const Bridge::Reported& e) {
            py::object error = packageError("HostError")(e.code(), e.what());
            PyErr_SetObject(packageError("HostError").ptr(), error.ptr());
        }
    });

    py::class_<NativeHost>(m, "NativeHost")
        .def(py::init<std::uint32_t>(), py::arg("version"))
        .def_property_readonly("version", &NativeHost::version)
        .def("load",
             [](NativeHost& host, const std::string& path) {
                 Outcome outcome;
                 bool started = false;
                 const int id = host.load(path, outcome, started);
                 return py::make_tuple(id, started, outcomeData(outcome));
             })
        .def("unload", [](NativeHost& host, int id) { return outcomeData(host.unload(id)); })
        .def("is_loaded", &NativeHost::isLoaded)
        .def("path", &NativeHost::path)
        .def("signatures", &NativeHost::signatures)
        .def("call", [](NativeHost& host, int id, const std::string& name,
                        py::args arguments) { return outcomeData(host.call(id, name, arguments)); })
        .def("menus",
             [](NativeHost& host) {
                 py::list out;
                 for (const StandIn::MenuItem& item : host.menus()) out.append(menuData(item));
                 return out;
             })
        .def("describe_menus", &NativeHost::describeMenus)
        .def("choose", [](NativeHost& host, std::int32_t id1, std::int32_t id2) {
            bool handled = false;
            Outcome outcome = host.choose(id1, id2, handled);
            return py::make_tuple(handled, outcomeData(outcome));
        });

    m.def("library_in_process", &NativeHost::libraryInProcess, py::arg("path"));
    m.def("validate", &validate, py::arg("path"), py::arg("host_versions"),
          py::arg("isolate") = true);
    m.def("format_version", &Tools::VersionText, py::arg("version"));
}
