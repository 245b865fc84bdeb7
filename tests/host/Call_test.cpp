// Resolution and calls of native functions, faults, errors and registrations.
#include <gtest/gtest.h>

#include "HostTestSupport.h"

using namespace StandIn;
using StandInTest::ModuleSide;
using StandInTest::Records;

namespace {

const char* const kTwice = "long Twice( long )";

class Calls : public ::testing::Test {
  protected:
    Calls() {
        host.define(kTwice, [this](NativeCall& c) {
            ++handlerRuns;
            c.setResult(2 * c.int32(0));
        });
    }
    std::int32_t twice(std::int32_t value, std::int32_t* status = nullptr) {
        Records r(2);
        r.set<std::int32_t>(1, value);
        std::int32_t s = module.call(kTwice, r);
        if (status) *status = s;
        return s == 0 ? r.get<std::int32_t>(0) : -1;
    }

    Host host;
    ModuleSide module{host};
    LeakSnapshot base = host.snapshot();
    int handlerRuns = 0;
};

TEST_F(Calls, ResolvedFunctionRunsWithTypedRecords) {
    EXPECT_EQ(twice(21), 42);
    EXPECT_EQ(host.callCount(kTwice), 1);
    EXPECT_EQ(host.resolveCount(kTwice), 1);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Calls, EveryResolutionAnswersANewHandleWithOneCount) {
    Vorna::Handle a = module.resolve(kTwice);
    Vorna::Handle b = module.resolve(kTwice);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(host.moduleReferences(a), 1);
    EXPECT_EQ(host.kindOf(a), ObjectKind::Function);
    module.drop(ObjectKind::Function, a);
    module.drop(ObjectKind::Function, b);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Calls, UnknownSignatureResolvesToZeroAndZeroHandleIsStale) {
    EXPECT_EQ(module.resolve("long Nothing( long )"), 0u);
    EXPECT_EQ(host.unresolvedSignatures(), std::vector<std::string>{"long Nothing( long )"});
    Records r(2);
    EXPECT_EQ(module.call(Vorna::Handle{0}, r), Vorna::kCallStaleHandle);
    EXPECT_NE(module.pendingMessage(), "");
}

TEST_F(Calls, InvalidatedAndDroppedHandlesAnswerStaleUntilReResolved) {
    Vorna::Handle f = module.resolve(kTwice);
    Records r(2);
    EXPECT_EQ(module.call(f, r), 0);
    host.invalidateFunctionHandles(kTwice);
    EXPECT_EQ(module.call(f, r), Vorna::kCallStaleHandle);
    Vorna::Handle fresh = module.resolve(kTwice);
    EXPECT_EQ(module.call(fresh, r), 0);
    module.drop(ObjectKind::Function, fresh);
    EXPECT_EQ(module.call(fresh, r), Vorna::kCallStaleHandle) << "a dead handle is stale";
    module.drop(ObjectKind::Function, f);
    EXPECT_EQ(handlerRuns, 2);
}

TEST_F(Calls, FailureFaultFiresOnTheNthCallOnly) {
    host.injectFault(kTwice, Fault::failure("third call fails", 5).onNthCall(3));
    std::int32_t status = 0;
    EXPECT_EQ(twice(1), 2);
    EXPECT_EQ(twice(2), 4);
    twice(3, &status);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(handlerRuns, 2) << "a faulted call does not run the function";
    EXPECT_EQ(twice(4), 8);
    EXPECT_EQ(host.callCount(kTwice), 4);
}

TEST_F(Calls, FailureFaultCarriesItsMessageAsPendingThrowable) {
    host.injectFault(kTwice, Fault::failure("no doubling today"));
    Vorna::Handle f = module.resolve(kTwice);
    Records r(2);
    EXPECT_EQ(module.call(f, r), 1);
    EXPECT_EQ(module.pendingMessage(), "no doubling today");
    Vorna::HostCallContext* ctx = module.context();
    ctx->table->clearError(ctx);
    EXPECT_EQ(module.pendingMessage(), "");
    module.drop(ObjectKind::Function, f);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Calls, AlwaysFaultKeepsFiringFromItsCallOn) {
    host.injectFault(kTwice, Fault::failure("broken").onNthCall(2).always());
    std::int32_t status = 0;
    EXPECT_EQ(twice(1), 2);
    for (int i = 0; i < 3; ++i) {
        twice(1, &status);
        EXPECT_EQ(status, 1);
    }
    host.clearFaults();
    EXPECT_EQ(twice(1), 2);
}

TEST_F(Calls, StaleFaultAnswersThreeOnceThenWorks) {
    host.injectFault(kTwice, Fault::stale());
    Vorna::Handle f = module.resolve(kTwice);
    Records r(2);
    r.set<std::int32_t>(1, 5);
    EXPECT_EQ(module.call(f, r), Vorna::kCallStaleHandle);
    EXPECT_EQ(module.call(f, r), 0);
    EXPECT_EQ(r.get<std::int32_t>(0), 10);
    module.drop(ObjectKind::Function, f);
}

TEST_F(Calls, GlobalFaultFailsTheKthHostCallWhateverItCalls) {
    host.define("void Nop(  )", [](NativeCall&) {});
    host.failHostCallAt(3, "third host call", 7);
    Records none(0);
    EXPECT_EQ(module.call("void Nop(  )", none), 0);
    EXPECT_EQ(twice(1), 2);
    EXPECT_EQ(module.call("void Nop(  )", none), 7);
    EXPECT_EQ(module.pendingMessage(), "third host call");
    EXPECT_EQ(twice(1), 2);
    EXPECT_EQ(host.hostCallCount(), 4);
}

TEST_F(Calls, HandlerFailuresBecomePendingErrors) {
    host.define("void ViaFail(  )", [](NativeCall& c) { c.fail("failed politely", 6); });
    host.define("void ViaThrow(  )", [](NativeCall&) { throw ScriptError("thrown"); });
    host.define("void ViaStd(  )", [](NativeCall&) { throw std::runtime_error("std"); });
    Records none(0);
    EXPECT_EQ(module.call("void ViaFail(  )", none), 6);
    EXPECT_EQ(module.pendingMessage(), "failed politely");
    EXPECT_EQ(module.call("void ViaThrow(  )", none), 1);
    EXPECT_EQ(module.pendingMessage(), "thrown");
    EXPECT_EQ(module.call("void ViaStd(  )", none), 1);
    EXPECT_NE(module.pendingMessage().find("std"), std::string::npos);
}

TEST_F(Calls, WrongRecordCountFailsAndIsAnAnomaly) {
    Records r(3);
    EXPECT_EQ(module.call(kTwice, r), 1);
    EXPECT_EQ(handlerRuns, 0);
    LeakReport report = host.leakReport(base);
    ASSERT_EQ(report.anomalies.size(), 1u);
    EXPECT_NE(report.anomalies[0].find("3 records"), std::string::npos);
}

TEST_F(Calls, AccessorsRejectReadsWiderThanTheRecord) {
    host.define("void Narrow( short )", [](NativeCall& c) { c.int32(0); });
    Records r(1);
    EXPECT_EQ(module.call("void Narrow( short )", r), 1);
    EXPECT_NE(module.pendingMessage().find("2-byte record"), std::string::npos);
}

TEST_F(Calls, BuiltInFunctionCanBeWrappedAndRestored) {
    const char* valid = "Boolean ImageIsValid( ImageRef )";
    NativeHandler original = host.handlerOf(valid);
    EXPECT_EQ(host.minVersionOf("void *ImageLockData( Image *im, uint32 lock_flags )"),
              0x03040400u);
    host.define(valid, [](NativeCall& c) { c.setResultBoolean(true); });
    Records r(2);
    EXPECT_EQ(module.call(valid, r), 0);
    EXPECT_EQ(r.get<unsigned char>(0), 1);
    host.define(valid, original);
    EXPECT_EQ(module.call(valid, r), 0);
    EXPECT_EQ(r.get<unsigned char>(0), 0);
    EXPECT_THROW(host.handlerOf("void Nothing(  )"), std::out_of_range);
}

TEST_F(Calls, CallLogRecordsSlotsAndSignatures) {
    host.clearCallLog();
    twice(2);
    const std::vector<CallLogEntry>& log = host.callLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].iface, InterfaceKind::Environment);
    EXPECT_EQ(log[0].slot, 8);
    EXPECT_EQ(log[0].detail, kTwice);
    EXPECT_EQ(log[1].iface, InterfaceKind::CallContext);
    EXPECT_EQ(log[1].slot, 12);
    EXPECT_EQ(log[1].detail, kTwice);
    EXPECT_EQ(host.countSlotCalls(InterfaceKind::CallContext, 12), 1);
}

class Errors : public Calls {};

TEST_F(Errors, ThrowableTextsFollowTheCode) {
    Vorna::HostCallContext* ctx = module.context();
    const char* text = "Too many dimensions.";
    Vorna::Handle copied =
        ctx->table->newThrowable(ctx, kErrorTextCopied, reinterpret_cast<Vorna::ErrorDatum>(text));
    Vorna::Handle unspecified = ctx->table->newThrowable(ctx, kErrorText, 0);
    Vorna::Handle memory = ctx->table->newThrowable(ctx, kErrorOutOfMemory, 14);
    EXPECT_EQ(host.throwableMessage(copied), "Too many dimensions.");
    EXPECT_EQ(host.throwableMessage(unspecified), kUnspecifiedErrorText);
    std::string other = host.throwableMessage(memory);
    EXPECT_NE(other.find("28810"), std::string::npos) << other;
    EXPECT_NE(other.find("14"), std::string::npos) << other;

    Vorna::Handle message = ctx->table->throwableMessage(ctx, copied);
    EXPECT_EQ(host.readString(message), "Too many dimensions.");
    module.drop(ObjectKind::String, message);
    for (Vorna::Handle t : {copied, unspecified, memory}) module.drop(ObjectKind::Throwable, t);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Errors, RaisedErrorsAreRecordedInOrderWithoutKeepingCounts) {
    Vorna::HostCallContext* ctx = module.context();
    const char* text = "first";
    Vorna::Handle t =
        ctx->table->newThrowable(ctx, kErrorText, reinterpret_cast<Vorna::ErrorDatum>(text));
    ctx->table->raise(ctx, t);
    module.drop(ObjectKind::Throwable, t);
    ctx->table->raise(ctx, 0);
    EXPECT_EQ(host.raisedErrors(), (std::vector<std::string>{"first", ""}));
    EXPECT_EQ(host.raisedErrorRecords()[0].code, kErrorText);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();

    ctx->table->raise(ctx, t);  // dead by now
    EXPECT_EQ(host.leakReport(base).anomalies.size(), 1u);
}

TEST_F(Errors, PendingErrorIsCountedAndGoesWithItsContext) {
    host.injectFault(kTwice, Fault::failure("pending"));
    Vorna::HostEnvironment* env = host.environment();
    Vorna::HostCallContext* ctx = env->table->newCallContext(env);
    Vorna::Handle f = module.resolve(kTwice);
    Records r(2);
    EXPECT_EQ(ctx->table->call(ctx, f, r.count(), r.data()), 1);
    Vorna::Handle t = ctx->table->pendingThrowable(ctx);
    EXPECT_EQ(host.referenceCount(t), 2);
    module.drop(ObjectKind::Throwable, t);
    ctx->table->release(ctx);
    EXPECT_FALSE(host.isAlive(t));
    module.drop(ObjectKind::Function, f);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

class Registrations : public Calls {
  protected:
    static Vorna::Handle entryA(Vorna::Handle* h) { return *h; }
    static Vorna::Handle entryB(Vorna::Handle* h, float, float) { return *h; }
    Vorna::Handle add(const char* signature, void* entry) {
        Vorna::HostEnvironment* env = host.environment();
        return env->table->addScriptFunction(env, 0, 0, signature, 3, entry);
    }
    void remove(Vorna::Handle f) {
        Vorna::HostEnvironment* env = host.environment();
        env->table->removeScriptFunction(env, f);
    }
};

TEST_F(Registrations, AreKeptInOrderAndWithdrawnInOrder) {
    Vorna::Handle shift =
        add("RealImagePtr shiftImage(ImageRef *,float,float)", reinterpret_cast<void*>(&entryB));
    Vorna::Handle hough =
        add("RealImagePtr HoughTransform(ImageRef *)", reinterpret_cast<void*>(&entryA));
    ASSERT_EQ(host.registrations().size(), 2u);
    EXPECT_EQ(host.registrations()[0].name, "shiftImage");
    EXPECT_EQ(host.registrations()[1].name, "HoughTransform");
    EXPECT_EQ(host.entry<Vorna::ImageFunctionEntry>("HoughTransform"), &entryA);
    EXPECT_EQ(host.moduleReferences(hough), 1);
    EXPECT_EQ(host.hostReferences(hough), 1);

    remove(hough);
    remove(shift);
    EXPECT_EQ(host.withdrawals(), (std::vector<std::string>{"HoughTransform", "shiftImage"}));
    EXPECT_EQ(host.registrationEntry("HoughTransform"), nullptr);
    EXPECT_TRUE(host.isAlive(hough)) << "the module still holds its count";
    EXPECT_EQ(host.leakReport(base).objects.size(), 2u);
    module.drop(ObjectKind::Function, hough);
    module.drop(ObjectKind::Function, shift);
    EXPECT_FALSE(host.isAlive(hough));
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Registrations, APersonsSpacingIsAcceptedAndTheTextKeptAsRegistered) {
    const char* const text = "RealImagePtr shiftImage( ImageRef*, float,float )";
    Vorna::Handle f = add(text, reinterpret_cast<void*>(&entryB));
    ASSERT_NE(f, 0u);
    ASSERT_EQ(host.registrations().size(), 1u);
    EXPECT_EQ(host.registrations()[0].signature, text);
    EXPECT_EQ(host.registrations()[0].name, "shiftImage");
    EXPECT_EQ(host.registrationEntry("shiftImage"), reinterpret_cast<void*>(&entryB));
    EXPECT_TRUE(host.leakReport(base).anomalies.empty());
    remove(f);
    module.drop(ObjectKind::Function, f);
}

TEST_F(Registrations, RegistrationStaysAliveWhileRegisteredEvenWithoutModuleCount) {
    Vorna::Handle f =
        add("RealImagePtr HoughTransform(ImageRef *)", reinterpret_cast<void*>(&entryA));
    module.drop(ObjectKind::Function, f);
    EXPECT_TRUE(host.isAlive(f));
    EXPECT_TRUE(host.leakReport(base).clean());
    remove(f);
    EXPECT_FALSE(host.isAlive(f));
}

TEST_F(Registrations, BadRegistrationsAndWithdrawalsAreAnomalies) {
    Vorna::HostEnvironment* env = host.environment();
    EXPECT_EQ(add("RealImagePtr HoughTransform(ImageRef x)", reinterpret_cast<void*>(&entryA)), 0u);
    Vorna::Handle f = env->table->addScriptFunction(env, 0, 0, "RealImagePtr f(ImageRef *)", 2,
                                                    reinterpret_cast<void*>(&entryA));
    remove(f);
    remove(f);
    remove(12345);
    LeakReport report = host.leakReport(base);
    EXPECT_EQ(report.anomalies.size(), 4u) << report.toString();
    module.drop(ObjectKind::Function, f);
}

TEST_F(Calls, ResultAndShowAlertAreRecorded) {
    Vorna::Handle a = host.makeString("Hello, ");
    Vorna::Handle b = host.makeString("world\n");
    for (Vorna::Handle s : {a, b}) {
        Records r(1);
        r.set<Vorna::Handle>(0, s);
        EXPECT_EQ(module.call("void Result( qz_string )", r), 0);
    }
    EXPECT_EQ(host.results(), (std::vector<std::string>{"Hello, ", "world\n"}));
    EXPECT_EQ(host.resultsText(), "Hello, world\n");

    Records alert(2);
    const char* text = "careful";
    alert.set<const char*>(0, text).set<std::int32_t>(1, 2);
    EXPECT_EQ(module.call("void ShowAlert( string, long )", alert), 0);
    ASSERT_EQ(host.alerts().size(), 1u);
    EXPECT_EQ(host.alerts()[0].text, "careful");
    EXPECT_EQ(host.alerts()[0].kind, 2);
    host.drop(a);
    host.drop(b);
}

}  // namespace
