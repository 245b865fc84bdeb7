// The exports, the environment link and the entry guard, with the framework linked into this
// test executable and driven by the stand-in host.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "LinkedHost.h"
#include "errors/Exceptions.h"
#include "shell/Environment.h"
#include "shell/PlugInMain.h"

using StandIn::InterfaceKind;
using TestSupport::LinkedHostTest;
using TestSupport::RelinkTheHost;
using TestSupport::TheHost;

namespace {

// This executable's main object: each hook runs whatever the test put there.
struct TestMain : Vorna::PlugIn::PlugInMain {
    std::function<void()> onRun, onCleanup, onShutdown;
    void Run() override {
        if (onRun) onRun();
    }
    void Cleanup() override {
        if (onCleanup) onCleanup();
    }
    void Shutdown() override {
        if (onShutdown)
            onShutdown();
        else
            PlugInMain::Shutdown();
    }
};
TestMain sTestMain;

std::int32_t Seven(std::int32_t) { return 7; }

// Bodies registered through AddFunction<>: one that fills its result and then fails, one that
// answers a number, one without a result.
void TakeThenFail(Vorna::ImageRef& result, Vorna::Handle* image) {
    result = *image;
    Vorna::ThrowMessage("failed after taking the image");
}
void PlusOne(std::int32_t& result, std::int32_t x) { result = x + 1; }
int sNoResultCalls = 0;
void NoResult(std::int32_t x) {
    ++sNoResultCalls;
    if (x < 0) throw std::bad_alloc();
}

class ShellTest : public LinkedHostTest {
  protected:
    void TearDown() override {
        sTestMain.onRun = sTestMain.onCleanup = sTestMain.onShutdown = nullptr;
        LinkedHostTest::TearDown();
    }
};

TEST_F(ShellTest, VersionIsTwoAtAnyTime) { EXPECT_EQ(2, QZPlugIn_GetVersion()); }

TEST_F(ShellTest, TheModuleDefinedMainObjectIsTheOneInUse) {
    EXPECT_EQ(&sTestMain, Vorna::PlugIn::GetPlugInMain());
}

TEST_F(ShellTest, LinkCountsTheHeldEnvironmentOnce) {
    StandIn::Host second, third;
    QZPlugIn_Link_2(second.environment());
    EXPECT_EQ(1, second.environmentReferences());
    QZPlugIn_Link_2(second.environment());  // the pointer already held: nothing changes
    EXPECT_EQ(1, second.environmentReferences());
    QZPlugIn_Link_2(third.environment());  // the old one released once, the new one added once
    EXPECT_EQ(0, second.environmentReferences());
    EXPECT_EQ(1, third.environmentReferences());
    EXPECT_EQ(1, TheHost().environmentReferences()) << "linking alone does not install";

    PlugInStartup();  // the link's reference moves to the current environment
    EXPECT_EQ(1, third.environmentReferences());
    EXPECT_EQ(0, TheHost().environmentReferences());
    EXPECT_EQ(third.environment(), Vorna::CurrentEnvironment());
    EXPECT_EQ(1, third.classInterfaceReferences(StandIn::ObjectKind::Image))
        << "every kind fetches its class interface once per environment";
    EXPECT_EQ(0, TheHost().classInterfaceReferences(StandIn::ObjectKind::Image));

    RelinkTheHost();
    EXPECT_EQ(0, third.environmentReferences());
    EXPECT_EQ(0, third.classInterfaceReferences(StandIn::ObjectKind::Image));
    EXPECT_TRUE(third.leakReport().clean()) << third.leakReport().toString();
}

TEST_F(ShellTest, StartupWithoutLinkInstallsTheStandByEnvironmentAndStillRunsStartup) {
    QZPlugIn_Link_2(nullptr);
    PlugInStartup();
    EXPECT_EQ(Vorna::NullHostEnvironment(), Vorna::CurrentEnvironment());
    EXPECT_EQ(0, TheHost().environmentReferences());
    EXPECT_EQ(0, TheHost().classInterfaceReferences(StandIn::ObjectKind::Function));

    // With the stand-by environment every host call fails without a Throwable.
    Vorna::EnvironmentUser user;
    Vorna::Function cache;
    try {
        user.CallScriptFunction(&cache, 0, nullptr, "void Beep(  )");
        ADD_FAILURE() << "a call through the stand-by environment succeeded";
    } catch (const Vorna::PlugIn::qzplugin_exception& e) {
        EXPECT_EQ(0u, e.fThrowable.get());
        EXPECT_STREQ("", e.what());
    }
    RelinkTheHost();
}

TEST_F(ShellTest, ASecondStartupWithoutNewLinkFallsBackToTheProvider) {
    static StandIn::Host* sProvided;
    StandIn::Host provided;
    sProvided = &provided;
    Vorna::SetEnvironmentProvider([] {
        Vorna::HostEnvironment* env = sProvided->environment();
        env->table->addReference(env);  // the provider's answer carries one reference
        return env;
    });
    PlugInStartup();  // the link holder was emptied by the first startup
    Vorna::SetEnvironmentProvider(nullptr);
    EXPECT_EQ(provided.environment(), Vorna::CurrentEnvironment());
    EXPECT_EQ(1, provided.environmentReferences());
    EXPECT_EQ(0, TheHost().environmentReferences());
    RelinkTheHost();
    EXPECT_EQ(0, provided.environmentReferences());
}

TEST_F(ShellTest, GuardClearsTheErrorStateAfterWorkThatReturns) {
    bool ran = false;
    sTestMain.onRun = [&] { ran = true; };
    host().clearCallLog();
    PlugInRun();
    EXPECT_TRUE(ran);
    EXPECT_EQ(1, host().countSlotCalls(InterfaceKind::CallContext, 4));
    EXPECT_EQ(0, host().countSlotCalls(InterfaceKind::CallContext, 8));
    EXPECT_EQ(0, host().openCallContexts());
}

TEST_F(ShellTest, GuardRaisesAStandardExceptionsTextInTheHost) {
    sTestMain.onCleanup = [] { throw std::length_error("vector too long"); };
    host().clearCallLog();
    PlugInCleanup();
    ASSERT_EQ(1u, host().raisedErrors().size());
    EXPECT_EQ("vector too long", host().raisedErrors()[0]);
    EXPECT_EQ(28802, host().raisedErrorRecords()[0].code);
    EXPECT_EQ(0, host().countSlotCalls(InterfaceKind::CallContext, 4));
}

TEST_F(ShellTest, GuardRaisesTheModulesOwnErrorWithItsCode) {
    sTestMain.onRun = [] { Vorna::ThrowErrorMessage("Out of range."); };
    PlugInRun();
    ASSERT_EQ(1u, host().raisedErrorRecords().size());
    EXPECT_EQ(28803, host().raisedErrorRecords()[0].code);
    EXPECT_EQ("Out of range.", host().raisedErrorRecords()[0].message);
}

TEST_F(ShellTest, GuardHandsTheHostBackItsOwnThrowable) {
    host().define("void Fails(  )", [](StandIn::NativeCall& c) { c.fail("the host said no"); });
    sTestMain.onRun = [] {
        Vorna::EnvironmentUser user;
        static Vorna::Function sCache;
        user.CallScriptFunction(&sCache, 0, nullptr, "void Fails(  )");
    };
    PlugInRun();
    ASSERT_EQ(1u, host().raisedErrorRecords().size());
    EXPECT_EQ("the host said no", host().raisedErrorRecords()[0].message);
    EXPECT_EQ(0, host().raisedErrorRecords()[0].code) << "the host's Throwable, not a new one";
}

TEST_F(ShellTest, GuardReportsANonStandardExceptionAsAnUnspecifiedError) {
    sTestMain.onRun = [] { throw 42; };
    host().clearCallLog();
    PlugInRun();
    ASSERT_EQ(1u, host().raisedErrorRecords().size());
    EXPECT_EQ(28803, host().raisedErrorRecords()[0].code);
    EXPECT_EQ(StandIn::kUnspecifiedErrorText, host().raisedErrors()[0]);
    EXPECT_EQ(1, host().countSlotCalls(InterfaceKind::CallContext, 5));
}

TEST_F(ShellTest, GuardRaisesAnExhaustedAllocationAsOutOfMemory) {
    for (void (*exhaust)() :
         {+[] { throw std::bad_alloc(); }, +[] { throw std::bad_array_new_length(); }}) {
        host().clearRaisedErrors();
        sTestMain.onRun = exhaust;
        PlugInRun();
        ASSERT_EQ(1u, host().raisedErrorRecords().size());
        EXPECT_EQ(Vorna::kErrorOutOfMemory, host().raisedErrorRecords()[0].code);
        EXPECT_EQ("Error 28810 (14) has occurred.", host().raisedErrors()[0]);
    }
}

TEST_F(ShellTest, RegisteredBodiesRunInTheGuardAndHandTheirResultToTheHost) {
    sTestMain.AddFunction<&TakeThenFail>("RealImagePtr TakeThenFail(ImageRef *)");
    sTestMain.AddFunction<&PlusOne>("long PlusOne( long )");
    sTestMain.AddFunction<&NoResult>("void NoResult( long )");

    Vorna::Handle image = host().makeObject(StandIn::ObjectKind::Image);
    auto takeThenFail = host().entry<Vorna::ImageFunctionEntry>("TakeThenFail");
    EXPECT_EQ(image, takeThenFail(&image)) << "the result made before the failure";
    EXPECT_EQ(1, host().moduleReferences(image)) << "one count, now the host's";
    host().keep(image);
    ASSERT_EQ(1u, host().raisedErrors().size());
    EXPECT_EQ("failed after taking the image", host().raisedErrors()[0]);

    EXPECT_EQ(42, host().entry<std::int32_t(QZ_CALL*)(std::int32_t)>("PlusOne")(41));

    auto noResult = host().entry<void(QZ_CALL*)(std::int32_t)>("NoResult");
    host().clearRaisedErrors();
    noResult(1);
    noResult(-1);
    EXPECT_EQ(2, sNoResultCalls);
    ASSERT_EQ(1u, host().raisedErrorRecords().size());
    EXPECT_EQ(Vorna::kErrorOutOfMemory, host().raisedErrorRecords()[0].code);

    PlugInShutdown();  // the default hook withdraws the three
    host().drop(image);
    host().drop(image);
}

TEST_F(ShellTest, GuardWithoutCallContextRunsNothingAndReportsNothing) {
    bool ran = false;
    sTestMain.onRun = [&] { ran = true; };
    host().setRefuseCallContexts(true);
    PlugInRun();
    host().setRefuseCallContexts(false);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(host().raisedErrors().empty());
}

TEST_F(ShellTest, ShutdownWithdrawsRegistrationsLastRegisteredFirst) {
    auto entry = reinterpret_cast<void*>(&Seven);
    sTestMain.AddFunction("long First( long )", entry);
    sTestMain.AddFunction("long Second( long )", entry);
    EXPECT_EQ(entry, host().registrationEntry("Second"));
    PlugInShutdown();  // the default hook withdraws everything
    auto withdrawn = host().withdrawals();
    ASSERT_GE(withdrawn.size(), 2u);
    EXPECT_EQ("Second", withdrawn[withdrawn.size() - 2]);
    EXPECT_EQ("First", withdrawn.back());
    EXPECT_EQ(nullptr, host().registrationEntry("First"));
}

TEST_F(ShellTest, ListenersAreNeverEnrolledTwice) {
    static int sCalls;
    static Vorna::EnvironmentListener sNode{nullptr, [](Vorna::HostEnvironment*) { ++sCalls; }};
    Vorna::AddEnvironmentListener(sNode);
    Vorna::AddEnvironmentListener(sNode);
    sCalls = 0;
    RelinkTheHost();
    EXPECT_EQ(1, sCalls);
}

}  // namespace
