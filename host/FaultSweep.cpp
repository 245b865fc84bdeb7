// Fault sweeps over script-function calls and lifecycle entries: see FaultSweep.h.
#include "FaultSweep.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "Host.h"
#include "Module.h"

namespace StandIn {
namespace {

constexpr const char* kLifecycle = "lifecycle";
constexpr const char* kEntryNames[] = {"startup", "run", "cleanup", "shutdown"};
constexpr int kEntryCount = 4;

// Module counts on Function handles, per signature.
std::map<std::string, int> FunctionHolds(const Host& host) {
    std::map<std::string, int> holds;
    for (const LeakReport::HeldObject& o : host.leakReport().objects) {
        if (o.kind == ObjectKind::Function) holds[o.description] += o.moduleCount;
    }
    return holds;
}

std::vector<std::string> Messages(const std::vector<RaisedError>& raised, std::size_t from) {
    std::vector<std::string> out;
    for (std::size_t i = from; i < raised.size(); ++i) {
        out.push_back(raised[i].throwable ? raised[i].message : "(an error without a Throwable)");
    }
    return out;
}

std::string Quoted(const std::vector<std::string>& messages) {
    if (messages.empty()) return "none";
    std::string out;
    for (const std::string& m : messages) out += (out.empty() ? "\"" : ", \"") + m + "\"";
    return out;
}

// Host calls a fault can be injected into: all but those of functions the host does not provide.
int SweptHostCalls(const Host& host) { return host.hostCallCount() - host.unprovidedCallCount(); }

constexpr const char* kInvalidHandle = "(invalid handle)";

// The host calls logged from entry `from` on: the function of each one a fault can be injected
// into, in order, and the functions the host does not provide, each once.
void ReadHostCalls(const Host& host, std::size_t from, std::vector<std::string>& swept,
                   std::vector<std::string>& unprovided) {
    const std::vector<CallLogEntry>& log = host.callLog();
    for (std::size_t i = from; i < log.size(); ++i) {
        const CallLogEntry& e = log[i];
        if (e.iface != InterfaceKind::CallContext || e.slot != 12) continue;
        if (!e.unprovided) {
            swept.push_back(e.detail.empty() ? kInvalidHandle : e.detail);
        } else if (std::find(unprovided.begin(), unprovided.end(), e.detail) == unprovided.end()) {
            unprovided.push_back(e.detail);
        }
    }
}

// Counts one fault point against the host function that the k-th swept host call reached.
void CountPoint(SweepReport& report, const std::vector<std::string>& swept, int k, bool failing) {
    const std::size_t i = static_cast<std::size_t>(k - 1);
    HostFunctionPoints& points = report.hostFunctions[i < swept.size() ? swept[i] : kInvalidHandle];
    ++(failing ? points.failurePoints : points.stalePoints);
}

void AddOnce(std::vector<std::string>& to, const std::vector<std::string>& from) {
    for (const std::string& s : from) {
        if (std::find(to.begin(), to.end(), s) == to.end()) to.push_back(s);
    }
}

// The fault planned for one run.
struct PlannedFault {
    enum class Kind { None, Failure, Stale };
    Kind kind = Kind::None;
    unsigned at = 0;  // 1-based host call
    int of = 0;       // host calls of the undisturbed run
    std::int32_t status = 1;

    std::string message() const {
        const std::string where = "host call " + std::to_string(at) + " of " + std::to_string(of);
        return kind == Kind::Failure ? "Injected failure of " + where + "."
                                     : "Injected stale answer to " + where + ".";
    }
    std::string label() const {
        if (kind == Kind::None) return "undisturbed";
        return "host call " + std::to_string(at) + " of " + std::to_string(of) +
               (kind == Kind::Failure ? " failing" : " stale");
    }
    void arm(Host& host) const {
        if (kind == Kind::None) return;
        host.failHostCallAt(at, message(),
                            kind == Kind::Failure ? status : Vorna::kCallStaleHandle);
    }
};

// Cancels a planned fault that the run did not reach, also when the run throws.
class FaultDisarm {
  public:
    explicit FaultDisarm(Host& host) : fHost(host) {}
    ~FaultDisarm() { fHost.failHostCallAt(0); }
    FaultDisarm(const FaultDisarm&) = delete;
    FaultDisarm& operator=(const FaultDisarm&) = delete;

  private:
    Host& fHost;
};

// Collects the findings of one run.
class RunFindings {
  public:
    RunFindings(SweepReport& report, std::string function, std::string caseName, std::string fault)
        : fReport(report),
          fFunction(std::move(function)),
          fCase(std::move(caseName)),
          fFault(std::move(fault)) {}

    void add(FindingKind kind, const std::string& detail) {
        fReport.findings.push_back(SweepFinding{kind, fFunction, fCase, fFault, detail});
    }

    // Everything not given back since `before`. With `functions` set, Function handles are judged
    // per signature (caches may fill and be replaced) against the module's holds before the run,
    // which `functions` holds on entry and receives after; otherwise they count like any object.
    void addLeaks(const Host& host, const LeakSnapshot& before,
                  std::map<std::string, int>* functions) {
        const LeakReport leaks = host.leakReport(before);
        std::string held;
        for (const LeakReport::HeldObject& o : leaks.objects) {
            if (functions && o.kind == ObjectKind::Function) continue;
            held += "held: " + std::string(kindName(o.kind)) + " " + hexHandle(o.handle) +
                    " count " + std::to_string(o.moduleCount) +
                    (o.description.empty() ? "" : " (" + o.description + ")") + "\n";
        }
        if (functions) {
            std::map<std::string, int> now = FunctionHolds(host);
            for (const auto& [signature, count] : now) {
                auto it = functions->find(signature);
                const int was = it == functions->end() ? 0 : it->second;
                if (count > std::max(was, 1)) {
                    held += "held: " + std::to_string(count) + " function handles for \"" +
                            signature + "\" (" + std::to_string(was) + " before)\n";
                }
            }
            *functions = std::move(now);
        }
        for (const LeakReport::HeldInterface& i : leaks.interfaces) {
            held += "referenced: " + i.what + " x" + std::to_string(i.references) + "\n";
        }
        for (const std::string& s : leaks.stringLoans)
            held += "string loan not returned: " + s + "\n";
        if (!held.empty()) add(FindingKind::ReferencesLeft, Trimmed(held));

        std::string locked;
        for (const std::string& s : leaks.lockedImages) locked += "image left locked: " + s + "\n";
        if (!locked.empty()) add(FindingKind::LocksLeft, Trimmed(locked));

        std::string anomalies;
        for (const std::string& s : leaks.anomalies) anomalies += "anomaly: " + s + "\n";
        if (!anomalies.empty()) add(FindingKind::Anomaly, Trimmed(anomalies));
    }

  private:
    static std::string Trimmed(std::string text) {
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    SweepReport& fReport;
    std::string fFunction;
    std::string fCase;
    std::string fFault;
};

// ---- Script-function calls -------------------------------------------------------------------

struct CallRun {
    int hostCalls = 0;  // those a fault can be injected into
    std::vector<std::string> raised;
    std::string fingerprint;
    std::vector<std::string> swept;       // the function of each of those host calls
    std::vector<std::string> unprovided;  // functions the host does not provide, each once
};

// One run. Without `findings` (the warm-up) nothing is checked; with them, `functions` holds the
// module's Function holds before the run and receives those after it.
CallRun RunCall(Host& host, const SweptCall& call, const PlannedFault& fault,
                const SweepOptions& options, RunFindings* findings,
                std::map<std::string, int>* functions) {
    if (options.beforeRun) options.beforeRun(findings ? fault.label() : "warm-up");
    host.clearCallLog();
    const LeakSnapshot before = host.snapshot();
    const std::size_t raisedBefore = host.raisedErrorRecords().size();
    const int callsBefore = SweptHostCalls(host);

    CallRun run;
    {
        CallInputs inputs(host);
        CallResult result;
        {
            FaultDisarm disarm(host);
            fault.arm(host);
            result = call(inputs);
        }
        run.hostCalls = SweptHostCalls(host) - callsBefore;
        ReadHostCalls(host, 0, run.swept, run.unprovided);
        run.raised = Messages(host.raisedErrorRecords(), raisedBefore);
        run.fingerprint = ResultFingerprint(host, result);
        const Vorna::Handle h = result.handle;
        if (h != 0) {
            if (!host.isAlive(h)) {
                if (findings)
                    findings->add(FindingKind::BadResult,
                                  "returned " + hexHandle(h) + ", which is no live object");
            } else if (host.moduleReferences(h) <= 0) {
                if (findings) {
                    findings->add(FindingKind::BadResult,
                                  "returned " + std::string(kindName(*host.kindOf(h))) + " " +
                                      hexHandle(h) + " without a count for the host");
                }
            } else {
                // The host takes over the returned count and lets go of the result.
                host.keep(h);
                host.drop(h);
            }
        }
    }
    if (findings) findings->addLeaks(host, before, functions);
    return run;
}

}  // namespace

// ---- CallInputs -----------------------------------------------------------------------------

CallInputs::CallInputs(Host& host) : fHost(host) {}

CallInputs::~CallInputs() {
    for (Vorna::Handle h : fMade) {
        if (fHost.hostReferences(h) > 0) fHost.drop(h);
    }
}

Vorna::Handle CallInputs::add(Vorna::Handle h) {
    fMade.push_back(h);
    return h;
}

Vorna::Handle CallInputs::image(const ImageSpec& spec) { return add(fHost.createImage(spec)); }

Vorna::Handle CallInputs::image(const ImageSpec& spec, const void* bytes, std::size_t byteCount) {
    return add(fHost.createImage(spec, bytes, byteCount));
}

Vorna::Handle CallInputs::string(const std::string& text) { return add(fHost.makeString(text)); }

Vorna::Handle CallInputs::object(ObjectKind kind) { return add(fHost.makeObject(kind)); }

// ---- Reports ---------------------------------------------------------------------------------

const char* findingKindName(FindingKind kind) {
    switch (kind) {
        case FindingKind::ReferencesLeft: return "references left behind";
        case FindingKind::LocksLeft: return "image left locked";
        case FindingKind::Anomaly: return "counting anomaly";
        case FindingKind::ErrorNotRaised: return "failure not reported";
        case FindingKind::WrongError: return "wrong error reported";
        case FindingKind::StaleNotRetried: return "stale handle not retried";
        case FindingKind::ResultChanged: return "result changed by a stale answer";
        case FindingKind::BadResult: return "bad result handle";
        case FindingKind::Unrepeatable: return "unrepeatable call";
        case FindingKind::NotUnloaded: return "library not unloaded";
    }
    return "?";
}

std::string SweepFinding::toString() const {
    return std::string(findingKindName(kind)) + ": " + function + " " + caseName + ", " + fault +
           ": " + detail;
}

std::map<std::string, SweepReport::FunctionTotals> SweepReport::perFunction() const {
    std::map<std::string, FunctionTotals> totals;
    for (const SweptCallCounts& c : calls) {
        FunctionTotals& t = totals[c.function];
        ++t.calls;
        t.hostCalls += c.hostCalls;
        t.failurePoints += c.failurePoints;
        t.stalePoints += c.stalePoints;
    }
    for (const SweepFinding& f : findings) ++totals[f.function].findings;
    return totals;
}

int SweepReport::faultPoints() const {
    int n = 0;
    for (const SweptCallCounts& c : calls) n += c.failurePoints + c.stalePoints;
    return n;
}

std::vector<std::string> SweepReport::unprovided() const {
    std::vector<std::string> out;
    for (const SweptCallCounts& c : calls) AddOnce(out, c.unprovided);
    return out;
}

bool SweepReport::swept(const std::string& signature) const {
    auto it = hostFunctions.find(signature);
    return it != hostFunctions.end() && it->second.failurePoints > 0 && it->second.stalePoints > 0;
}

void SweepReport::merge(const SweepReport& other) {
    calls.insert(calls.end(), other.calls.begin(), other.calls.end());
    findings.insert(findings.end(), other.findings.begin(), other.findings.end());
    for (const auto& [function, points] : other.hostFunctions) {
        hostFunctions[function].failurePoints += points.failurePoints;
        hostFunctions[function].stalePoints += points.stalePoints;
    }
}

std::string SweepReport::toString() const {
    std::ostringstream out;
    for (const auto& [function, t] : perFunction()) {
        out << function << ": " << t.calls << " swept call" << (t.calls == 1 ? "" : "s") << ", "
            << t.faultPoints() << " fault points (" << t.failurePoints << " failing, "
            << t.stalePoints << " stale), " << t.findings << " finding"
            << (t.findings == 1 ? "" : "s") << "\n";
    }
    if (!hostFunctions.empty()) out << "host functions swept: " << hostFunctions.size() << "\n";
    for (const std::string& signature : unprovided())
        out << "not provided by the stand-in host, not swept: " << signature << "\n";
    if (findings.empty()) out << "no findings\n";
    for (const SweepFinding& f : findings) out << f.toString() << "\n";
    return out.str();
}

std::string ResultFingerprint(const Host& host, const CallResult& result) {
    std::ostringstream out;
    out << "value " << result.value.size() << ":" << result.value << ";";
    const Vorna::Handle h = result.handle;
    if (h == 0) {
        out << "no object";
    } else if (!host.isAlive(h)) {
        out << "dead object";
    } else if (host.isImage(h)) {
        const ImageInfo info = host.image(h);
        out << "image \"" << info.name << "\" " << elementTypeName(info.type);
        for (std::uint32_t s : info.sizes) out << " " << s;
        out << ":" << std::string(info.bytes.begin(), info.bytes.end());
    } else if (host.kindOf(h) == ObjectKind::String) {
        out << "string:" << host.readString(h);
    } else {
        out << kindName(*host.kindOf(h));
    }
    return out.str();
}

// ---- Sweeps -----------------------------------------------------------------------------------

namespace {
void CheckOptions(const SweepOptions& options) {
    if (options.failureStatus == Vorna::kCallSucceeded ||
        options.failureStatus == Vorna::kCallStaleHandle) {
        throw std::invalid_argument("a failing host call answers a status other than 0 and 3");
    }
}
}  // namespace

SweepReport SweepCall(Host& host, const std::string& function, const std::string& caseName,
                      const SweptCall& call, const SweepOptions& options) {
    CheckOptions(options);
    SweepReport report;
    SweptCallCounts counts;
    counts.function = function;
    counts.caseName = caseName;

    RunCall(host, call, PlannedFault{}, options, nullptr, nullptr);  // warm-up: caches fill
    std::map<std::string, int> functions = FunctionHolds(host);
    RunFindings undisturbedFindings(report, function, caseName, "undisturbed");
    const CallRun reference =
        RunCall(host, call, PlannedFault{}, options, &undisturbedFindings, &functions);
    const int n = reference.hostCalls;
    counts.hostCalls = n;
    counts.raisedUndisturbed = static_cast<int>(reference.raised.size());
    if (!reference.raised.empty()) counts.firstRaised = reference.raised.front();
    counts.unprovided = reference.unprovided;

    for (PlannedFault::Kind kind : {PlannedFault::Kind::Failure, PlannedFault::Kind::Stale}) {
        const bool failing = kind == PlannedFault::Kind::Failure;
        if (failing ? !options.failures : !options.staleAnswers) continue;
        for (int k = 1; k <= n; ++k) {
            const PlannedFault fault{kind, static_cast<unsigned>(k), n, options.failureStatus};
            RunFindings findings(report, function, caseName, fault.label());
            const CallRun run = RunCall(host, call, fault, options, &findings, &functions);
            ++(failing ? counts.failurePoints : counts.stalePoints);
            CountPoint(report, reference.swept, k, failing);
            if (run.hostCalls < k) {
                findings.add(FindingKind::Unrepeatable,
                             "the run made " + std::to_string(run.hostCalls) +
                                 " host calls; the undisturbed one made " + std::to_string(n));
                continue;
            }
            if (failing) {
                // One error must reach the host; its text may be the module's own, wrapping
                // the host's.
                if (run.raised.empty()) {
                    findings.add(FindingKind::ErrorNotRaised,
                                 "the host call failed and no error reached the host");
                } else if (run.raised.size() != 1) {
                    findings.add(FindingKind::WrongError,
                                 "expected one error for \"" + fault.message() +
                                     "\", the host received " + Quoted(run.raised));
                }
            } else {
                if (run.raised != reference.raised) {
                    findings.add(FindingKind::StaleNotRetried,
                                 "the host received " + Quoted(run.raised) +
                                     "; undisturbed: " + Quoted(reference.raised));
                } else if (run.fingerprint != reference.fingerprint) {
                    findings.add(FindingKind::ResultChanged,
                                 "the result differs from the undisturbed one");
                }
            }
        }
    }
    report.calls.push_back(counts);
    return report;
}

namespace {

struct LifecycleRun {
    int hostCalls[kEntryCount] = {};
    std::vector<std::string> raised[kEntryCount];
    std::vector<std::string> swept[kEntryCount];
    std::vector<std::string> unprovided[kEntryCount];
    std::vector<std::string> registrations;
    std::vector<std::string> results;
};

LifecycleRun RunLifecycle(Host& host, const std::function<Module()>& load, int faultEntry,
                          const PlannedFault& fault, const SweepOptions& options,
                          RunFindings& findings) {
    if (options.beforeRun) {
        options.beforeRun(faultEntry < 0
                              ? std::string("undisturbed")
                              : std::string(kEntryNames[faultEntry]) + ", " + fault.label());
    }
    host.clearCallLog();
    const LeakSnapshot before = host.snapshot();
    const std::size_t registrationsBefore = host.registrations().size();
    const std::size_t resultsBefore = host.results().size();

    LifecycleRun run;
    Module module = load();
    module.link(host);
    for (int e = 0; e < kEntryCount; ++e) {
        const std::size_t raisedBefore = host.raisedErrorRecords().size();
        const int callsBefore = SweptHostCalls(host);
        const std::size_t logBefore = host.callLog().size();
        {
            FaultDisarm disarm(host);
            if (e == faultEntry) fault.arm(host);
            switch (e) {
                case 0: module.startup(); break;
                case 1: module.run(); break;
                case 2: module.cleanup(); break;
                default: module.shutdown(); break;
            }
        }
        run.hostCalls[e] = SweptHostCalls(host) - callsBefore;
        ReadHostCalls(host, logBefore, run.swept[e], run.unprovided[e]);
        run.raised[e] = Messages(host.raisedErrorRecords(), raisedBefore);
    }
    for (std::size_t i = registrationsBefore; i < host.registrations().size(); ++i) {
        run.registrations.push_back(host.registrations()[i].signature);
    }
    run.results.assign(host.results().begin() + static_cast<std::ptrdiff_t>(resultsBefore),
                       host.results().end());
    if (!module.unload()) findings.add(FindingKind::NotUnloaded, "the library is still loaded");
    findings.addLeaks(host, before, nullptr);
    return run;
}

}  // namespace

SweepReport SweepLifecycle(Host& host, const std::function<Module()>& load,
                           const SweepOptions& options) {
    CheckOptions(options);
    SweepReport report;
    RunFindings undisturbedFindings(report, kLifecycle, "all entries", "undisturbed");
    const LifecycleRun reference =
        RunLifecycle(host, load, -1, PlannedFault{}, options, undisturbedFindings);

    for (int e = 0; e < kEntryCount; ++e) {
        SweptCallCounts counts;
        counts.function = kLifecycle;
        counts.caseName = kEntryNames[e];
        const int n = reference.hostCalls[e];
        counts.hostCalls = n;
        counts.raisedUndisturbed = static_cast<int>(reference.raised[e].size());
        if (!reference.raised[e].empty()) counts.firstRaised = reference.raised[e].front();
        counts.unprovided = reference.unprovided[e];
        for (PlannedFault::Kind kind : {PlannedFault::Kind::Failure, PlannedFault::Kind::Stale}) {
            const bool failing = kind == PlannedFault::Kind::Failure;
            if (failing ? !options.failures : !options.staleAnswers) continue;
            for (int k = 1; k <= n; ++k) {
                const PlannedFault fault{kind, static_cast<unsigned>(k), n, options.failureStatus};
                RunFindings findings(report, kLifecycle, kEntryNames[e], fault.label());
                const LifecycleRun run = RunLifecycle(host, load, e, fault, options, findings);
                ++(failing ? counts.failurePoints : counts.stalePoints);
                CountPoint(report, reference.swept[e], k, failing);
                if (run.hostCalls[e] < k) {
                    findings.add(FindingKind::Unrepeatable,
                                 "the entry made " + std::to_string(run.hostCalls[e]) +
                                     " host calls; undisturbed it made " + std::to_string(n));
                    continue;
                }
                // A hook may carry on past a failed host call (a refused unregistration while
                // tearing down, say), so it raises at most one error, of any text.
                if (failing ? run.raised[e].size() > 1 : run.raised[e] != reference.raised[e]) {
                    const std::vector<std::string>& expected =
                        failing ? std::vector<std::string>{fault.message()} : reference.raised[e];
                    findings.add(failing ? FindingKind::WrongError : FindingKind::StaleNotRetried,
                                 "the host received " + Quoted(run.raised[e]) + "; expected " +
                                     Quoted(expected));
                } else if (!failing && (run.registrations != reference.registrations ||
                                        run.results != reference.results)) {
                    findings.add(FindingKind::ResultChanged,
                                 "the registrations or the results text differ from the "
                                 "undisturbed run");
                }
            }
        }
        report.calls.push_back(counts);
    }
    return report;
}

}  // namespace StandIn
