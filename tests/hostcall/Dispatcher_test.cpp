// Calling the host by signature: resolution into the caller's cache, the one retry on a stale
// handle, and every failure as a qzplugin_exception carrying the host's Throwable.
#include <gtest/gtest.h>

#include <string>

#include "LinkedHost.h"
#include "errors/Exceptions.h"
#include "shell/Environment.h"

namespace {

using namespace Vorna;
using StandIn::Fault;
using StandIn::InterfaceKind;
using TestSupport::LinkedHostTest;

constexpr char kSignature[] = "long Answer(  )";

class DispatcherTest : public LinkedHostTest {
  protected:
    void SetUp() override {
        LinkedHostTest::SetUp();
        host().define(kSignature, [](StandIn::NativeCall& c) { c.setResult<std::int32_t>(42); });
        fResolutionsBefore = host().resolveCount(kSignature);
        host().clearCallLog();
    }
    void TearDown() override {
        cache.adopt(0);  // a test's cache is no stub's: give it back
        LinkedHostTest::TearDown();
    }

    std::int32_t Call() {
        ScriptArgRecord records[1];
        user.CallScriptFunction(&cache, 1, records, kSignature);
        std::int32_t value;
        std::memcpy(&value, records[0].bytes, sizeof value);
        return value;
    }
    std::string CallFailure() {
        try {
            Call();
        } catch (const PlugIn::qzplugin_exception& e) {
            return e.fThrowable ? e.what() : "<no Throwable>";
        }
        return "<no exception>";
    }
    int Resolutions() { return host().resolveCount(kSignature) - fResolutionsBefore; }
    int fResolutionsBefore = 0;

    EnvironmentUser user;
    Function cache;
};

TEST_F(DispatcherTest, ResolvesOnceIntoTheCacheThenCallsThroughIt) {
    EXPECT_EQ(42, Call());
    const Handle resolved = cache.get();
    EXPECT_NE(0u, resolved);
    EXPECT_EQ(42, Call());
    EXPECT_EQ(1, Resolutions());
    EXPECT_EQ(resolved, cache.get());
    EXPECT_EQ(1, host().moduleReferences(resolved));
}

TEST_F(DispatcherTest, TheCacheIsFilledEvenWhenTheFirstCallFails) {
    host().injectFault(kSignature, Fault::failure("refused", 5));
    EXPECT_EQ("refused", CallFailure());
    EXPECT_NE(0u, cache.get());
    EXPECT_EQ(1, Resolutions()) << "status 5 is never retried";
    EXPECT_EQ(0, host().countSlotCalls(InterfaceKind::CallContext, 4));
}

TEST_F(DispatcherTest, AStaleHandleIsReplacedWhenTheRetrySucceeds) {
    Call();
    const Handle stale = cache.get();
    host().invalidateFunctionHandles(kSignature);
    host().clearCallLog();
    EXPECT_EQ(42, Call());
    EXPECT_NE(stale, cache.get());
    EXPECT_FALSE(host().isAlive(stale)) << "the old handle was released";
    EXPECT_EQ(1, host().moduleReferences(cache.get())) << "the fresh handle, counted once";
    EXPECT_EQ(1, host().countSlotCalls(InterfaceKind::CallContext, 4)) << "error cleared between";
    EXPECT_EQ(2, host().countSlotCalls(InterfaceKind::CallContext, 12));
}

TEST_F(DispatcherTest, AFirstCallAnsweringStaleResolvesAgainWithinTheSameCall) {
    host().injectFault(kSignature, Fault::stale());
    EXPECT_EQ(42, Call());
    EXPECT_EQ(2, Resolutions());
}

TEST_F(DispatcherTest, StaleTwiceFailsAndKeepsTheOldCache) {
    Call();
    const Handle cached = cache.get();
    host().injectFault(kSignature, Fault::stale().always());
    EXPECT_NE("<no exception>", CallFailure());
    EXPECT_EQ(cached, cache.get());
    EXPECT_EQ(2, Resolutions()) << "exactly one retry";
}

TEST_F(DispatcherTest, StaleWithNothingToResolveMakesNoRetry) {
    Call();
    host().undefine(kSignature);  // the cached handle goes stale and nothing resolves any more
    host().clearCallLog();
    CallFailure();
    EXPECT_EQ(1, host().countSlotCalls(InterfaceKind::CallContext, 12));
    EXPECT_EQ(0, host().countSlotCalls(InterfaceKind::CallContext, 4));
}

TEST_F(DispatcherTest, AnUnknownSignatureIsCalledWithHandleZeroAndFails) {
    Function unknown;
    ScriptArgRecord records[1];
    EXPECT_THROW(user.CallScriptFunction(&unknown, 1, records, "long NoSuchFunction(  )"),
                 PlugIn::qzplugin_exception);
    EXPECT_EQ(0u, unknown.get());
}

TEST_F(DispatcherTest, WithoutCallContextTheCallFailsWithoutThrowable) {
    host().setRefuseCallContexts(true);
    EXPECT_EQ("<no Throwable>", CallFailure());
    host().setRefuseCallContexts(false);
}

TEST_F(DispatcherTest, FunctionReferencesCanBeCalledDirectly) {
    Call();
    ScriptArgRecord records[1];
    cache.Call(1, records);
    std::int32_t value;
    std::memcpy(&value, records[0].bytes, sizeof value);
    EXPECT_EQ(42, value);
    host().injectFault(kSignature, Fault::failure("direct call refused"));
    EXPECT_THROW_MESSAGE(cache.Call(1, records), PlugIn::qzplugin_exception, "direct call refused");
}

}  // namespace
