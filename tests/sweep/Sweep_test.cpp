// The fault sweep over the module as the host loads it: both script functions on several inputs
// and the lifecycle entries, on both host generations, with every host call failing in turn and
// answering "stale" in turn; and the sweep catching each deliberate fault of the faulty module.
#include <gtest/gtest.h>

#include <cstring>
#include <iomanip>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FaultSweep.h"
#include "Host.h"
#include "Module.h"

namespace {

using StandIn::ElementType;
using StandIn::FindingKind;
using StandIn::SweepReport;
using Vorna::Handle;

using ImageEntry = Handle (*)(Handle*);
using ShiftEntry = Handle (*)(Handle*, float, float);

constexpr std::uint32_t kNewerHost = 0x03040400;
constexpr std::uint32_t kOlderHost = 0x030403FF;

std::string HostName(std::uint32_t version) {
    std::ostringstream out;
    out << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << version;
    return out.str();
}

struct Input {
    const char* name;
    ElementType type;
    std::uint32_t width;
    std::uint32_t height;
};
const Input kInputs[] = {
    {"float32 8x8", ElementType::Float32, 8, 8},
    {"uint16 5x7", ElementType::UInt16, 5, 7},
    {"float32 1x1", ElementType::Float32, 1, 1},
};

// Small values of mixed sign, as raw bytes of the input's element type.
std::vector<unsigned char> Pixels(const Input& in) {
    const std::size_t count = std::size_t{in.width} * in.height;
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < count; ++i) {
        const int v = static_cast<int>(i * 13 % 17) - 5;
        if (in.type == ElementType::UInt16) {
            const auto u = static_cast<std::uint16_t>(v + 5);
            bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&u),
                         reinterpret_cast<const unsigned char*>(&u) + sizeof u);
        } else {
            const float f = static_cast<float>(v) * 1.25f;
            bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&f),
                         reinterpret_cast<const unsigned char*>(&f) + sizeof f);
        }
    }
    return bytes;
}

// A fresh host with a module loaded, linked and started.
struct Session {
    Session(std::uint32_t version, const char* path)
        : host(version), module(StandIn::Module::load(path)) {
        module.link(host);
        module.startup();
    }
    // Shuts down and unloads; everything the module held must be back.
    void Finish() {
        module.shutdown();
        EXPECT_TRUE(module.unload());
        const StandIn::LeakReport leaks = host.leakReport();
        EXPECT_TRUE(leaks.clean()) << leaks.toString();
    }
    template <class Fn>
    Fn Entry(const char* name) {
        Fn fn = host.entry<Fn>(name);
        EXPECT_NE(nullptr, fn) << name;
        return fn;
    }

    StandIn::Host host;
    StandIn::Module module;
};

StandIn::SweptCall ImageCall(ImageEntry entry, const Input& in) {
    return [entry, in](StandIn::CallInputs& inputs) -> StandIn::CallResult {
        const std::vector<unsigned char> bytes = Pixels(in);
        Handle image =
            inputs.image({in.type, {in.width, in.height}, "input"}, bytes.data(), bytes.size());
        return entry(&image);
    };
}

// "kind @ fault" for every finding, for exact comparisons.
std::multiset<std::string> Findings(const SweepReport& report) {
    std::multiset<std::string> out;
    for (const StandIn::SweepFinding& f : report.findings) {
        out.insert(std::string(StandIn::findingKindName(f.kind)) + " @ " + f.fault);
    }
    return out;
}

std::string Label(int k, int n, const char* how) {
    return "host call " + std::to_string(k) + " of " + std::to_string(n) + " " + how;
}

// ---- The sweep's own checks, on a call played by hand -----------------------------------------

// Plays a module's part by hand through the host's interface objects: asks an image's data type
// `calls` times, resolving the function each time, retrying once after a stale answer and raising
// the pending error when a call fails. The flaws are chosen per test.
struct HandMadeCall {
    int calls = 3;
    bool valueShowsRetries = false;  // flaw: the result says whether a stale answer was retried
    bool raiseTwice = false;         // flaw: a failure is raised twice
    int shortFromRun = -1;           // flaw: from this run on (0 = the first), one call fewer
    const char* thenCall = nullptr;  // a function without parameters called last
    int runs = 0;

    StandIn::CallResult operator()(StandIn::CallInputs& in) {
        constexpr char kSignature[] = "uint32 ImageGetDataType( ImageRef )";
        Vorna::HostEnvironment* env = in.host().environment();
        auto classOf = [env](StandIn::ObjectKind kind) {
            return env->table->classInterface(env, 0, StandIn::typeKey(kind));
        };
        Vorna::HostClassInterface* functions = classOf(StandIn::ObjectKind::Function);
        Vorna::HostClassInterface* throwables = classOf(StandIn::ObjectKind::Throwable);
        Vorna::HostCallContext* context = env->table->newCallContext(env);
        auto callOnce = [&](Vorna::ScriptArgRecord* records, const char* signature) {
            const Handle f = env->table->findScriptFunction(env, 0, signature);
            const std::int32_t status =
                context->table->call(context, f, signature == kSignature ? 2 : 0, records);
            functions->table->releaseObjectReference(functions, f);
            return status;
        };
        const Handle image = in.image({ElementType::Float32, {2, 2}, "input"});
        int retries = 0;
        const int n = calls - (shortFromRun >= 0 && runs++ >= shortFromRun ? 1 : 0);
        auto raise = [&] {
            const Handle t = context->table->pendingThrowable(context);
            context->table->raise(context, t);
            if (raiseTwice) context->table->raise(context, t);
            throwables->table->releaseObjectReference(throwables, t);
        };
        bool failed = false;
        for (int i = 0; i < n && !failed; ++i) {
            Vorna::ScriptArgRecord records[2] = {};
            std::memcpy(records[1].bytes, &image, sizeof image);
            std::int32_t status = callOnce(records, kSignature);
            if (status == Vorna::kCallStaleHandle) {
                context->table->clearError(context);
                status = callOnce(records, kSignature);
                ++retries;
            }
            failed = status != Vorna::kCallSucceeded;
            if (failed) raise();
        }
        if (thenCall && !failed) {
            std::int32_t status = callOnce(nullptr, thenCall);
            if (status == Vorna::kCallStaleHandle) {
                context->table->clearError(context);
                status = callOnce(nullptr, thenCall);
            }
            if (status != Vorna::kCallSucceeded) raise();
        }
        context->table->release(context);
        functions->table->release(functions);
        throwables->table->release(throwables);
        StandIn::CallResult result;
        if (valueShowsRetries) result.value = std::to_string(retries);
        return result;
    }
};

TEST(SweepChecks, AWellBehavedCallHasNoFindings) {
    StandIn::Host host;
    const SweepReport report = StandIn::SweepCall(host, "HandMade", "good", HandMadeCall{});
    EXPECT_TRUE(report.clean()) << report.toString();
    ASSERT_EQ(1u, report.calls.size());
    EXPECT_EQ(3, report.calls[0].hostCalls);
    EXPECT_EQ(6, report.faultPoints());
}

TEST(SweepChecks, EachFlawIsFoundWhereItShows) {
    StandIn::Host host;
    HandMadeCall changing;
    changing.valueShowsRetries = true;
    EXPECT_EQ(
        (std::multiset<std::string>{"result changed by a stale answer @ " + Label(1, 3, "stale"),
                                    "result changed by a stale answer @ " + Label(2, 3, "stale"),
                                    "result changed by a stale answer @ " + Label(3, 3, "stale")}),
        Findings(StandIn::SweepCall(host, "HandMade", "changing", changing)));

    HandMadeCall twice;
    twice.raiseTwice = true;
    EXPECT_EQ((std::multiset<std::string>{"wrong error reported @ " + Label(1, 3, "failing"),
                                          "wrong error reported @ " + Label(2, 3, "failing"),
                                          "wrong error reported @ " + Label(3, 3, "failing")}),
              Findings(StandIn::SweepCall(host, "HandMade", "twice", twice)));

    HandMadeCall shrinking;
    shrinking.shortFromRun = 2;  // the warm-up and the undisturbed run make all three calls
    EXPECT_EQ((std::multiset<std::string>{"unrepeatable call @ " + Label(3, 3, "failing"),
                                          "unrepeatable call @ " + Label(3, 3, "stale")}),
              Findings(StandIn::SweepCall(host, "HandMade", "shrinking", shrinking)));

    EXPECT_EQ(0, host.activeImageLocks());
    StandIn::SweepOptions options;
    options.failureStatus = Vorna::kCallStaleHandle;
    EXPECT_THROW(StandIn::SweepCall(host, "HandMade", "bad options", HandMadeCall{}, options),
                 std::invalid_argument);
}

TEST(SweepChecks, FunctionsTheHostDoesNotProvideAreNamedAndNotSwept) {
    StandIn::Host host;
    HandMadeCall limited;
    limited.thenCall = "void AbortAllAcquisitionDaemons(  )";
    ASSERT_FALSE(host.provides(limited.thenCall));
    const SweepReport report = StandIn::SweepCall(host, "HandMade", "limited", limited);
    EXPECT_TRUE(report.clean()) << report.toString();
    ASSERT_EQ(1u, report.calls.size());
    EXPECT_EQ(3, report.calls[0].hostCalls) << "the unprovided call is no fault point";
    EXPECT_EQ(6, report.faultPoints());
    EXPECT_EQ(std::vector<std::string>{limited.thenCall}, report.calls[0].unprovided);
    EXPECT_EQ(std::vector<std::string>{limited.thenCall}, report.unprovided());
    EXPECT_EQ(1, report.calls[0].raisedUndisturbed);
    EXPECT_EQ(StandIn::notProvidedMessage(limited.thenCall), report.calls[0].firstRaised);
    ASSERT_EQ(1u, report.hostFunctions.size()) << report.toString();
    const StandIn::HostFunctionPoints& points =
        report.hostFunctions.at("uint32 ImageGetDataType( ImageRef )");
    EXPECT_EQ(3, points.failurePoints);
    EXPECT_EQ(3, points.stalePoints);
    EXPECT_NE(std::string::npos,
              report.toString().find("host functions swept: 1\nnot provided by the stand-in host, "
                                     "not swept: void AbortAllAcquisitionDaemons(  )\n"))
        << report.toString();

    // What a test defines is swept like the host's own functions.
    host.define(limited.thenCall, [](StandIn::NativeCall&) {});
    const SweepReport defined = StandIn::SweepCall(host, "HandMade", "defined", limited);
    EXPECT_TRUE(defined.clean()) << defined.toString();
    EXPECT_EQ(4, defined.calls[0].hostCalls);
    EXPECT_TRUE(defined.unprovided().empty());
    EXPECT_EQ(1, defined.hostFunctions.at(limited.thenCall).failurePoints);
    EXPECT_TRUE(defined.swept(limited.thenCall));
    EXPECT_FALSE(report.swept(limited.thenCall));
}

// ---- The module --------------------------------------------------------------------------------

class ModuleSweep : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ModuleSweep, BothFunctionsOnEveryInputLeaveNothingBehind) {
    SweepReport total;
    for (const Input& in : kInputs) {
        Session s(GetParam(), MODULE_PATH);
        auto hough = s.Entry<ImageEntry>("HoughTransform");
        auto shift = s.Entry<ShiftEntry>("shiftImage");
        ASSERT_TRUE(hough && shift);
        total.merge(StandIn::SweepCall(s.host, "HoughTransform", in.name, ImageCall(hough, in)));
        for (auto [dx, dy] : {std::pair{3.0f, -2.0f}, {-1.5f, 100.0f}}) {
            const std::string name =
                std::string(in.name) + " by " + std::to_string(dx) + ", " + std::to_string(dy);
            total.merge(StandIn::SweepCall(
                s.host, "shiftImage", name, [&, dx = dx, dy = dy](StandIn::CallInputs& inputs) {
                    const std::vector<unsigned char> bytes = Pixels(in);
                    Handle image = inputs.image({in.type, {in.width, in.height}, "input"},
                                                bytes.data(), bytes.size());
                    return StandIn::CallResult(shift(&image, dx, dy));
                }));
        }
        s.Finish();
    }
    EXPECT_TRUE(total.clean()) << total.toString();
    for (const auto& [function, t] : total.perFunction()) {
        // Every call reads sizes, creates, locks, notifies and unlocks: a sweep that saw fewer
        // host calls did not reach the module's bodies.
        EXPECT_GE(t.hostCalls, t.calls * 8) << function;
        EXPECT_EQ(t.failurePoints, t.hostCalls) << function;
        EXPECT_EQ(t.stalePoints, t.hostCalls) << function;
        EXPECT_EQ(0, t.findings) << function;
    }
    for (const StandIn::SweptCallCounts& c : total.calls) {
        EXPECT_EQ(0, c.raisedUndisturbed)
            << c.function << " " << c.caseName << ": " << c.firstRaised;
    }
    // Every host function the module uses is one the host provides, and each failed and
    // answered stale at every call of it.
    EXPECT_TRUE(total.unprovided().empty());
    const StandIn::Host host(GetParam());
    EXPECT_GE(total.hostFunctions.size(), 5u);
    for (const auto& [function, points] : total.hostFunctions) {
        EXPECT_TRUE(host.provides(function)) << function;
        EXPECT_TRUE(total.swept(function)) << function;
        EXPECT_EQ(points.failurePoints, points.stalePoints) << function;
    }
    std::cout << "fault points swept on host " << HostName(GetParam()) << ":\n" << total.toString();
    RecordProperty("fault_points", total.faultPoints());
}

TEST_P(ModuleSweep, LifecycleEntriesLeaveNothingBehind) {
    StandIn::Host host(GetParam());
    const SweepReport report =
        StandIn::SweepLifecycle(host, [] { return StandIn::Module::load(MODULE_PATH); });
    EXPECT_TRUE(report.clean()) << report.toString();
    ASSERT_EQ(4u, report.calls.size());
    // The module's hooks register through the environment and make no script-function calls.
    EXPECT_EQ(0, report.faultPoints());
    std::cout << "lifecycle fault points on host " << HostName(GetParam()) << ": "
              << report.faultPoints() << "\n";
}

INSTANTIATE_TEST_SUITE_P(BothHostGenerations, ModuleSweep,
                         ::testing::Values(kNewerHost, kOlderHost),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return "host" + HostName(info.param);
                         });

// ---- The faulty module -------------------------------------------------------------------------

class FaultyModuleSweep : public ::testing::TestWithParam<std::uint32_t> {
  protected:
    // Sweeps one of the faulty module's functions on a float32 8x8 input; `n` receives the host
    // calls of the undisturbed run.
    SweepReport Sweep(const char* function, int& n) {
        Session s(GetParam(), FAULTY_MODULE_PATH);
        auto entry = s.Entry<ImageEntry>(function);
        if (!entry) return {};
        const SweepReport report =
            StandIn::SweepCall(s.host, function, "float32 8x8", ImageCall(entry, kInputs[0]));
        n = report.calls.empty() ? 0 : report.calls.front().hostCalls;
        s.module.shutdown();
        s.module.unload();
        return report;
    }
};

TEST_P(FaultyModuleSweep, AReferenceKeptOnEveryCallIsFoundInEveryRun) {
    int n = 0;
    const SweepReport report = Sweep("LeakyCopy", n);
    ASSERT_GT(n, 0);
    EXPECT_EQ(static_cast<std::size_t>(1 + 2 * n), report.findings.size()) << report.toString();
    for (const StandIn::SweepFinding& f : report.findings) {
        EXPECT_EQ(FindingKind::ReferencesLeft, f.kind) << f.toString();
        EXPECT_NE(std::string::npos, f.detail.find("held: Image")) << f.detail;
        EXPECT_NE(std::string::npos, f.detail.find("\"input\"")) << f.detail;
    }
}

TEST_P(FaultyModuleSweep, ALockLeftByAFailingHostCallIsFoundOnlyThere) {
    int n = 0;
    const SweepReport report = Sweep("ForgetsUnlock", n);
    // Host call 1 is the lock itself; every failure after it skips the unlock.
    std::multiset<std::string> expected;
    for (int k = 2; k <= n; ++k) expected.insert("image left locked @ " + Label(k, n, "failing"));
    EXPECT_EQ(expected, Findings(report)) << report.toString();
}

TEST_P(FaultyModuleSweep, ASwallowedFailureIsFoundAtEveryFailingCall) {
    int n = 0;
    const SweepReport report = Sweep("SwallowsFailure", n);
    std::multiset<std::string> expected;
    for (int k = 1; k <= n; ++k)
        expected.insert("failure not reported @ " + Label(k, n, "failing"));
    EXPECT_EQ(expected, Findings(report)) << report.toString();
}

TEST_P(FaultyModuleSweep, ADirectCallWithoutRetryIsFoundAtItsStaleAnswer) {
    int n = 0;
    const SweepReport report = Sweep("NoRetry", n);
    EXPECT_EQ(std::multiset<std::string>{"stale handle not retried @ " + Label(n, n, "stale")},
              Findings(report))
        << report.toString();
}

TEST_P(FaultyModuleSweep, AResultWithoutACountIsFoundWheneverItIsReturned) {
    int n = 0;
    const SweepReport report = Sweep("ReturnsBorrowed", n);
    // Failing runs return nothing; the undisturbed and every stale run return the borrowed input.
    std::multiset<std::string> expected{"bad result handle @ undisturbed"};
    for (int k = 1; k <= n; ++k) expected.insert("bad result handle @ " + Label(k, n, "stale"));
    EXPECT_EQ(expected, Findings(report)) << report.toString();
}

TEST_P(FaultyModuleSweep, ALifecycleLeakOnAFailingHostCallIsFound) {
    StandIn::Host host(GetParam());
    const SweepReport report =
        StandIn::SweepLifecycle(host, [] { return StandIn::Module::load(FAULTY_MODULE_PATH); });
    ASSERT_EQ(1u, report.findings.size()) << report.toString();
    const StandIn::SweepFinding& f = report.findings.front();
    EXPECT_EQ(FindingKind::ReferencesLeft, f.kind);
    EXPECT_EQ("run", f.caseName);
    EXPECT_EQ("host call 1 of 1 failing", f.fault);
    EXPECT_NE(std::string::npos, f.detail.find("Faulty module running.")) << f.detail;
}

INSTANTIATE_TEST_SUITE_P(BothHostGenerations, FaultyModuleSweep,
                         ::testing::Values(kNewerHost, kOlderHost),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return "host" + HostName(info.param);
                         });

}  // namespace
