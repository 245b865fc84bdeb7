// Fault sweeps: one call from the host into a module, repeated with each host call it makes
// failing in turn, then with each host call answering "stale handle" in turn, and checked for what
// a module owes its host whatever happens.
//
// A swept call is a function that performs one script-function call on a Host whose module is
// linked and started: it makes its inputs through CallInputs, calls the module's entry and returns
// what the entry returned. The sweep
//   1. runs it once to warm up (handle caches fill) and once more undisturbed, counting the host
//      calls (call-context slot 12) it makes: n;
//   2. for k = 1..n runs it with the k-th host call failing (a status other than 0 and 3, a
//      pending Throwable with a message naming k) and checks that exactly one error reached the
//      host, carrying that message;
//   3. for k = 1..n runs it with the k-th host call answering 3 (stale) once and checks that no
//      error reached the host and the result is bit-identical to the undisturbed one.
// After every run the caller's share of a returned object is taken over and given back (Host::keep
// and Host::drop), the inputs are given back, and then every count must balance against a snapshot
// taken before the run, no image may stay locked and no counting anomaly may have occurred. The
// one growth allowed is a module-wide cache of function handles: per signature the module may hold
// one Function handle it did not hold before (a cache filled on a path seen for the first time),
// and a cache replaced after a stale answer holds a new handle in place of the old one.
//
//     StandIn::SweepReport report = StandIn::SweepCall(host, "HoughTransform", "float32 8x8",
//         [&](StandIn::CallInputs& in) {
//             Vorna::Handle image = in.image({StandIn::ElementType::Float32, {8, 8}, "in"},
//             pixels); return hough(&image);
//         });
//     EXPECT_TRUE(report.clean()) << report.toString();
//
// The lifecycle sweep does the same for PlugInStartup, PlugInRun, PlugInCleanup and
// PlugInShutdown, each run on a module loaded afresh, linked, taken through all four entries and
// unloaded; everything must balance after the unload.
//
// Host calls of a catalogue function that the stand-in host does not provide (Host.h) are the
// host's limit, not fault points: they fail whatever the sweep does, are not counted in n and have
// no fault injected; the report names the functions instead (SweptCallCounts::unprovided). Every
// other host call is swept whatever function it reaches, and the report adds the fault points up
// per host function (SweepReport::hostFunctions), so a test can see each function it expects
// failing and answering stale.
//
// Both kinds of fault go through the host's failHostCallAt: a stale answer is status 3 with the
// handle itself still good, so that the module's second resolution and retry succeed. The sweep
// clears the host's call log before every run (it would otherwise grow with every run). Hosts
// keep a record of every object they ever made, so a long series of sweeps is best spread over
// several hosts. SweepCall and SweepLifecycle throw std::invalid_argument for a failure status
// of 0 or 3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Images.h"
#include "ObjectKinds.h"
#include "shell/Boundary.h"

namespace StandIn {

class Host;
class Module;

// Host objects that a swept call makes for itself (input images, strings, other objects). Each
// carries one host count, which is given back when the run is over, so every run starts from the
// same state.
class CallInputs {
  public:
    explicit CallInputs(Host& host);
    ~CallInputs();
    CallInputs(const CallInputs&) = delete;
    CallInputs& operator=(const CallInputs&) = delete;

    Host& host() { return fHost; }
    Vorna::Handle image(const ImageSpec& spec);  // zero-filled
    Vorna::Handle image(const ImageSpec& spec, const void* bytes, std::size_t byteCount);
    template <typename T>
    Vorna::Handle image(const ImageSpec& spec, const std::vector<T>& values) {
        return image(spec, values.data(), values.size() * sizeof(T));
    }
    Vorna::Handle string(const std::string& text);
    Vorna::Handle object(ObjectKind kind);

  private:
    Vorna::Handle add(Vorna::Handle h);

    Host& fHost;
    std::vector<Vorna::Handle> fMade;
};

// What one call gave back: an object handle carrying one count for the host (0 for none) and the
// bytes of a plain result value, if any. Runs are compared on both.
struct CallResult {
    Vorna::Handle handle = 0;
    std::string value;

    CallResult() = default;
    CallResult(Vorna::Handle h)
        : handle(h) {}  // NOLINT: a call may simply return the entry's answer
};

using SweptCall = std::function<CallResult(CallInputs&)>;

enum class FindingKind {
    ReferencesLeft,  // counts on objects or interfaces, or string loans, not given back
    LocksLeft,       // image data left locked
    Anomaly,         // a counting error or misuse the host noticed (foreign handle, double release)
    ErrorNotRaised,  // a host call failed and no error reached the host
    WrongError,      // more than one error for one failing host call
    StaleNotRetried,  // an error reached the host although the stale handle could be resolved again
    ResultChanged,    // a stale answer changed the result
    BadResult,        // a returned handle that is dead or carries no count for the host
    Unrepeatable,     // a run made fewer host calls than the undisturbed one
    NotUnloaded,      // the library stayed in the process after its unload (lifecycle sweep)
};
const char* findingKindName(FindingKind kind);

struct SweepFinding {
    FindingKind kind = FindingKind::ReferencesLeft;
    std::string function;  // the script function, or "lifecycle"
    std::string caseName;  // the input, e.g. "float32 8x8", or the lifecycle entry
    std::string fault;     // "undisturbed", "host call 3 of 9 failing", "host call 3 of 9 stale"
    std::string detail;    // what was found, one finding per line

    std::string toString() const;
};

// One swept call (or one lifecycle entry).
struct SweptCallCounts {
    std::string function;
    std::string caseName;
    int hostCalls = 0;          // host calls of the undisturbed run, the unprovided left out
    int failurePoints = 0;      // runs with one host call failing
    int stalePoints = 0;        // runs with one host call answering stale
    int raisedUndisturbed = 0;  // errors the undisturbed run raised (a refusal, say): informational
    std::string firstRaised;    // the first of them
    // Catalogue functions the stand-in host does not provide that the undisturbed run called, in
    // the order of their first call.
    std::vector<std::string> unprovided;
};

// The fault points injected into the calls of one host function.
struct HostFunctionPoints {
    int failurePoints = 0;
    int stalePoints = 0;
};

struct SweepReport {
    std::vector<SweptCallCounts> calls;
    std::vector<SweepFinding> findings;
    // Per host function (its signature; "(invalid handle)" for a call through a handle that
    // names none): the fault points injected into its calls.
    std::map<std::string, HostFunctionPoints> hostFunctions;

    // Per function: the swept calls of that function added up.
    struct FunctionTotals {
        int calls = 0;
        int hostCalls = 0;
        int failurePoints = 0;
        int stalePoints = 0;
        int findings = 0;
        int faultPoints() const { return failurePoints + stalePoints; }
    };
    std::map<std::string, FunctionTotals> perFunction() const;

    int faultPoints() const;  // failure and stale points of every call
    // The unprovided functions of every call, each once, in order of appearance.
    std::vector<std::string> unprovided() const;
    // Whether calls of the host function both failed and answered stale in some run.
    bool swept(const std::string& signature) const;
    bool clean() const { return findings.empty(); }
    void merge(const SweepReport& other);
    // Per function one line of counts, the number of host functions swept, a line per function
    // the stand-in host does not provide, then every finding; "no findings" when clean.
    std::string toString() const;
};

struct SweepOptions {
    bool failures = true;            // sweep failing host calls
    bool staleAnswers = true;        // sweep stale answers
    std::int32_t failureStatus = 1;  // status of a failing call: anything but 0 and 3
    // Called before every run with its label ("warm-up", "undisturbed", "host call 2 of 9
    // failing", ...; for the lifecycle the entry's name first): a crash can then be placed.
    std::function<void(const std::string& run)> beforeRun;
};

// Sweeps one call. `function` and `caseName` only label the counts and findings.
SweepReport SweepCall(Host& host, const std::string& function, const std::string& caseName,
                      const SweptCall& call, const SweepOptions& options = {});

// Sweeps the four lifecycle entries of the module that `load` loads (afresh on every call; the
// library must not be loaded otherwise). Links it to `host` every time.
SweepReport SweepLifecycle(Host& host, const std::function<Module()>& load,
                           const SweepOptions& options = {});

// A fingerprint of a call's result for bit-for-bit comparison: the value bytes and, for a live
// object, its kind and content (an image's name, type, sizes and bytes; a string's text).
std::string ResultFingerprint(const Host& host, const CallResult& result);

}  // namespace StandIn
