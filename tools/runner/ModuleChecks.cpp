// The module's checks and the function calls of the validator.
#include "ModuleChecks.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include "FaultSweep.h"
#include "Host.h"
#include "Menus.h"
#include "Module.h"
#include "Validator.h"

namespace Tools::Validation {
namespace {

// What the host still holds for the module, as findings.
void EmitLeaks(RecordSink& sink, const StandIn::LeakReport& leaks, const std::string& where) {
    std::string held;
    for (const auto& o : leaks.objects) {
        std::ostringstream line;
        line << "held: " << StandIn::kindName(o.kind) << " 0x" << std::hex << o.handle << std::dec
             << " count " << o.moduleCount;
        if (!o.description.empty()) line << " (" << o.description << ")";
        held += line.str() + "\n";
    }
    for (const auto& i : leaks.interfaces)
        held += "referenced: " + i.what + " x" + std::to_string(i.references) + "\n";
    for (const auto& s : leaks.stringLoans) held += "string loan not returned: " + s + "\n";
    auto emit = [&](StandIn::FindingKind kind, std::string text) {
        if (text.empty()) return;
        text.pop_back();
        sink.emit({"finding", StandIn::findingKindName(kind), where + ":\n" + text});
    };
    emit(StandIn::FindingKind::ReferencesLeft, held);
    std::string locked;
    for (const auto& s : leaks.lockedImages) locked += "image left locked: " + s + "\n";
    emit(StandIn::FindingKind::LocksLeft, locked);
    std::string anomalies;
    for (const auto& s : leaks.anomalies) anomalies += "anomaly: " + s + "\n";
    emit(StandIn::FindingKind::Anomaly, anomalies);
}

// The host's limits a run met: catalogue functions the stand-in host does not provide.
void EmitUnprovided(RecordSink& sink, const std::vector<std::string>& signatures) {
    for (const std::string& s : signatures) sink.emit({"unprovided", s});
}

}  // namespace

void CheckModule(const std::string& path, const std::vector<std::uint32_t>& versions,
                 RecordSink& sink) {
    auto finding = [&](const std::string& category, const std::string& text) {
        sink.emit({"finding", category, text});
    };
    sink.progress("loading the module");
    std::optional<StandIn::Module> module;
    try {
        module.emplace(StandIn::Module::load(path));
    } catch (const StandIn::ModuleLoadError& e) {
        finding("exports", e.what());
        return;
    }
    sink.emit({"check", "exports: all six present"});

    sink.progress("asking the link version");
    const std::int32_t version = module->version();
    if (version != Vorna::kLinkVersion) {
        finding("link version", "QZPlugIn_GetVersion answers " + std::to_string(version) +
                                    "; the host speaks " + std::to_string(Vorna::kLinkVersion));
        return;
    }
    sink.emit({"check", "link version: " + std::to_string(Vorna::kLinkVersion)});

    StandIn::Host host(versions.front());
    StandIn::Menus menus(host);  // the host's menu and tool functions, as a real host has them
    sink.progress("linking");
    module->link(host);
    const int afterLink = host.environmentReferences();
    module->link(host);
    const int afterRelink = host.environmentReferences();
    sink.progress("starting up");
    module->startup();
    const int afterStartup = host.environmentReferences();
    // A startup that failed after a call the stand-in host could not answer is the host's
    // limit, not the module's fault.
    const bool limited = host.unprovidedCallCount() > 0;
    EmitUnprovided(sink, host.unprovidedCalls());
    for (const StandIn::RaisedError& e : host.raisedErrorRecords()) {
        if (limited)
            sink.emit({"note", "PlugInStartup raised \"" + e.message + "\""});
        else
            finding("startup failed", "PlugInStartup raised \"" + e.message + "\"");
    }
    std::vector<std::string> signatures;
    for (const StandIn::Registration& r : host.registrations()) {
        try {
            StandIn::parseRegistrationSignature(r.signature);
            if (r.entry) signatures.push_back(r.signature);
        } catch (const StandIn::SignatureError& e) {
            finding("signature", "\"" + r.signature + "\" does not parse: " + e.what());
        }
    }
    auto isRegistration = [](const std::string& anomaly) {
        return anomaly.rfind("registration", 0) == 0;
    };
    for (const std::string& a : host.anomalies()) {
        if (isRegistration(a)) finding("registration", a);
    }
    sink.progress("shutting down and unloading");
    module->shutdown();
    const bool gone = module->unload();
    const int afterUnload = host.environmentReferences();
    const std::string counts = std::to_string(afterLink) + " after link, " +
                               std::to_string(afterRelink) + " after the same link again, " +
                               std::to_string(afterStartup) + " after startup, " +
                               std::to_string(afterUnload) + " after unload";
    if (afterLink == 1 && afterRelink == 1 && afterStartup == 1 && afterUnload == 0) {
        sink.emit({"check", "environment references: " + counts});
    } else {
        finding("environment references", counts + " (expected 1, 1, 1, 0)");
    }
    if (!gone)
        finding(StandIn::findingKindName(StandIn::FindingKind::NotUnloaded),
                "the library stays loaded");
    StandIn::LeakReport leaks = host.leakReport();
    // Refused registrations were reported above.
    leaks.anomalies.erase(
        std::remove_if(leaks.anomalies.begin(), leaks.anomalies.end(), isRegistration),
        leaks.anomalies.end());
    EmitLeaks(sink, leaks, "after unloading");
    sink.emit(
        {"check",
         "registered functions: " + std::to_string(signatures.size()) +
             (signatures.size() == host.registrations().size() ? ", every signature parses" : "")});

    for (std::uint32_t v : versions) {
        StandIn::Host lifecycleHost(v);
        StandIn::Menus lifecycleMenus(lifecycleHost);
        StandIn::SweepOptions options;
        const std::string hostText = "host " + VersionText(v);
        options.beforeRun = [&](const std::string& run) {
            sink.progress("lifecycle on " + hostText + ", " + run);
        };
        const StandIn::SweepReport report = StandIn::SweepLifecycle(
            lifecycleHost, [&] { return StandIn::Module::load(path); }, options);
        std::string calls;
        for (const StandIn::SweptCallCounts& c : report.calls) {
            calls +=
                (calls.empty() ? "" : ", ") + std::to_string(c.hostCalls) + " in " + c.caseName;
        }
        sink.emit({"lifecycle", hostText, calls, std::to_string(report.faultPoints())});
        EmitUnprovided(sink, report.unprovided());
        for (const StandIn::SweepFinding& f : report.findings) {
            sink.emit({"finding", StandIn::findingKindName(f.kind),
                       "lifecycle on " + hostText + ", " + f.caseName + ", " + f.fault + ":\n" +
                           f.detail});
        }
    }
    for (const std::string& s : signatures) sink.emit({"registered", s});
}

void CheckFunction(const std::string& path, const FunctionPlan& plan, std::size_t first,
                   RecordSink& sink) {
    const std::string& name = plan.signature.name;
    for (std::size_t i = first; i < plan.cases.size(); ++i) {
        const Case& c = plan.cases[i];
        const std::string where = c.describe();
        sink.emit({"case", std::to_string(i), where});
        sink.progress("loading and starting the module");
        StandIn::Host host(c.version);
        StandIn::Menus menus(host);
        StandIn::Module module = StandIn::Module::load(path);
        module.link(host);
        module.startup();
        void* entry = nullptr;
        for (const StandIn::Registration& r : host.registrations()) {
            if (!r.withdrawn && r.signature == plan.signature.text) entry = r.entry;
        }
        if (!entry) {
            sink.emit({"note", "not registered on host " + VersionText(c.version)});
            continue;
        }
        StandIn::SweepOptions options;
        options.beforeRun = [&](const std::string& run) { sink.progress(run); };
        const StandIn::SweepReport report =
            StandIn::SweepCall(host, name, where, MakeCall(plan, c, entry), options);
        for (const StandIn::SweptCallCounts& counts : report.calls) {
            sink.emit({"swept", std::to_string(i), std::to_string(counts.hostCalls),
                       std::to_string(counts.failurePoints), std::to_string(counts.stalePoints),
                       std::to_string(counts.raisedUndisturbed), counts.firstRaised});
        }
        EmitUnprovided(sink, report.unprovided());
        for (const StandIn::SweepFinding& f : report.findings) {
            sink.emit({"finding", StandIn::findingKindName(f.kind),
                       where + ", " + f.fault + ":\n" + f.detail});
        }
        sink.progress("shutting down and unloading");
        module.shutdown();
        if (!module.unload()) {
            sink.emit({"finding", StandIn::findingKindName(StandIn::FindingKind::NotUnloaded),
                       where + ": the library stays loaded"});
        }
        EmitLeaks(sink, host.leakReport(), where + ", after unloading");
    }
}

}  // namespace Tools::Validation
