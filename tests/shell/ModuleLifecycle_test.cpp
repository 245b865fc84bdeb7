// Modules loaded by path, as the host loads them: start-up, lifecycle hooks, failures reported
// through the entry guard, and unload with every count given back, again and again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Host.h"
#include "Menus.h"
#include "Module.h"

namespace {

using StandIn::InterfaceKind;

struct LifecycleTest : ::testing::Test {
    StandIn::Host host;
    std::vector<std::string> events;
    std::int32_t behaviour = 0;  // what every hook does, see the plug-in

    void SetUp() override {
        host.define("void TestEvent( string )",
                    [this](StandIn::NativeCall& c) { events.push_back(c.text(0)); });
        host.define("long TestBehaviour( string )",
                    [this](StandIn::NativeCall& c) { c.setResult<std::int32_t>(behaviour); });
    }

    void ExpectClean() {
        StandIn::LeakReport report = host.leakReport();
        EXPECT_TRUE(report.clean()) << report.toString();
        EXPECT_EQ(0, host.environmentReferences());
        EXPECT_EQ(0, host.openCallContexts());
    }
};

TEST_F(LifecycleTest, StartsRunsAndUnloadsGivingEverythingBack) {
    StandIn::Module module = StandIn::Module::load(LIFECYCLE_PLUGIN);
    EXPECT_EQ(2, module.version());
    module.link(host);
    EXPECT_EQ(1, host.environmentReferences());
    module.startup();
    EXPECT_EQ(1, host.environmentReferences()) << "the link's reference moved, none was added";
    ASSERT_EQ(2u, host.registrations().size());
    EXPECT_EQ("long Twice( long )", host.registrations()[0].signature);
    EXPECT_EQ("long Thrice( long )", host.registrations()[1].signature);

    auto twice = host.entry<std::int32_t (*)(std::int32_t)>("Twice");
    ASSERT_NE(nullptr, twice);
    EXPECT_EQ(42, twice(21));
    module.run();
    module.cleanup();
    module.shutdown();
    EXPECT_EQ((std::vector<std::string>{"Startup", "Twice", "Run", "Cleanup", "Shutdown"}), events);
    EXPECT_TRUE(host.raisedErrors().empty());
    EXPECT_TRUE(host.withdrawals().empty()) << "the module's Shutdown keeps its registrations";

    EXPECT_TRUE(module.unload()) << "the library must really leave the process";
    EXPECT_EQ((std::vector<std::string>{"Thrice", "Twice"}), host.withdrawals());
    ExpectClean();
}

TEST_F(LifecycleTest, UnloadGivesBackCachesThenRegistrationsThenInterfacesThenTheEnvironment) {
    StandIn::Module module = StandIn::Module::load(LIFECYCLE_PLUGIN);
    module.link(host);
    module.startup();
    host.clearCallLog();
    ASSERT_TRUE(module.unload());

    const auto& log = host.callLog();
    auto first = [&](InterfaceKind iface, int slot) {
        return std::find_if(log.begin(), log.end(),
                            [&](const auto& e) { return e.iface == iface && e.slot == slot; }) -
               log.begin();
    };
    auto last = [&](InterfaceKind iface, int slot) {
        auto it = std::find_if(log.rbegin(), log.rend(),
                               [&](const auto& e) { return e.iface == iface && e.slot == slot; });
        return log.rend() - it - 1;
    };
    const auto firstWithdrawal = first(InterfaceKind::Environment, 7);
    const auto firstCacheRelease = first(InterfaceKind::ClassInterface, 7);
    const auto firstClassRelease = first(InterfaceKind::ClassInterface, 1);
    ASSERT_LT(firstWithdrawal, static_cast<long>(log.size()));
    EXPECT_LT(firstCacheRelease, firstWithdrawal) << "stub caches go first";
    EXPECT_LT(last(InterfaceKind::Environment, 7), firstClassRelease);
    EXPECT_EQ(static_cast<long>(log.size()) - 1, last(InterfaceKind::Environment, 1))
        << "the environment is released last";
    ExpectClean();
}

TEST_F(LifecycleTest, LoadsAgainInTheSameProcess) {
    for (int round = 0; round < 3; ++round) {
        StandIn::Module module = StandIn::Module::load(LIFECYCLE_PLUGIN);
        module.link(host);
        module.startup();
        EXPECT_EQ(10, host.entry<std::int32_t (*)(std::int32_t)>("Twice")(5));
        ASSERT_TRUE(module.unload()) << "round " << round;
        ExpectClean();
    }
    EXPECT_EQ(3, std::count(events.begin(), events.end(), "Startup"));
}

TEST_F(LifecycleTest, HookFailuresReachTheHostAndTheEntryReturns) {
    StandIn::Module module = StandIn::Module::load(LIFECYCLE_PLUGIN);
    module.link(host);
    module.startup();
    behaviour = 1;
    module.run();
    behaviour = 2;
    module.cleanup();
    behaviour = 3;
    EXPECT_EQ(0, host.entry<std::int32_t (*)(std::int32_t)>("Twice")(5))
        << "a failed script function answers nothing";
    EXPECT_EQ((std::vector<std::string>{"Run failed", StandIn::kUnspecifiedErrorText,
                                        "The module refused."}),
              host.raisedErrors());
    behaviour = 0;
    ASSERT_TRUE(module.unload());
    ExpectClean();
}

TEST_F(LifecycleTest, StartupWithoutLinkRunsAgainstTheStandByEnvironment) {
    StandIn::Module module = StandIn::Module::load(LIFECYCLE_PLUGIN);
    module.startup();  // every host call fails quietly: the stand-by host raises nothing
    EXPECT_TRUE(host.registrations().empty());
    EXPECT_TRUE(events.empty());
    module.link(host);
    module.startup();
    EXPECT_EQ(2u, host.registrations().size());
    ASSERT_TRUE(module.unload());
    ExpectClean();
}

TEST_F(LifecycleTest, AModuleWithoutMainObjectUsesTheDefaultOne) {
    StandIn::Module module = StandIn::Module::load(DEFAULT_MAIN_PLUGIN);
    module.link(host);
    module.startup();
    module.run();
    module.cleanup();
    module.shutdown();
    EXPECT_TRUE(host.raisedErrors().empty());
    ASSERT_TRUE(module.unload());
    ExpectClean();
}

TEST_F(LifecycleTest, AMenuKeptUntilUnloadIsGivenBackToo) {
    StandIn::Menus menus(host);
    StandIn::Module module = StandIn::Module::load(MENU_PLUGIN);
    module.link(host);
    module.startup();
    EXPECT_EQ(1, menus.count());
    ASSERT_TRUE(module.unload());
    EXPECT_TRUE(menus.menuRegistrations().empty() || !menus.menuRegistrations().back().active);
    ExpectClean();
}

TEST(ModuleLoading, AMissingLibraryIsAClearError) {
    EXPECT_THROW(StandIn::Module::load("/nonexistent/module.so"), StandIn::ModuleLoadError);
}

}  // namespace
