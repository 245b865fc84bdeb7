// Loading modules by path and linked in, and driving their exports.
#include <gtest/gtest.h>

#include "Host.h"
#include "Module.h"

using namespace StandIn;

namespace {

TEST(ModuleLoading, SharedLibraryLifecycleEndsWithTheLibraryGoneAndNothingLeaked) {
    Host host;
    Module module = Module::load(STANDIN_TRIVIAL_MODULE);
    EXPECT_TRUE(module.isLibrary());
    EXPECT_EQ(module.version(), 2);

    module.link(host);
    EXPECT_EQ(host.environmentReferences(), 1);
    module.startup();
    ASSERT_EQ(host.registrations().size(), 1u);
    EXPECT_EQ(host.registrations()[0].name, "trivialSame");

    Vorna::Handle image = host.createImage(ImageSpec{ElementType::Float32, {2, 2}, "in"});
    auto same = host.entry<Vorna::ImageFunctionEntry>("trivialSame");
    ASSERT_NE(same, nullptr);
    Vorna::Handle result = same(&image);
    EXPECT_EQ(result, image);
    EXPECT_EQ(host.moduleReferences(image), 1);
    host.keep(result);

    module.run();
    ASSERT_EQ(host.alerts().size(), 1u);
    EXPECT_EQ(host.alerts()[0].text, "trivial module running");
    EXPECT_EQ(host.alerts()[0].kind, 7);

    module.cleanup();
    module.shutdown();
    EXPECT_EQ(host.withdrawals(), std::vector<std::string>{"trivialSame"});

    EXPECT_TRUE(module.unload()) << "the library must leave the process";
    EXPECT_EQ(host.environmentReferences(), 0) << "its static destructor released the environment";
    EXPECT_THROW(module.startup(), std::logic_error);
    host.drop(result);
    host.drop(image);
    EXPECT_TRUE(host.leakReport().clean()) << host.leakReport().toString();
}

TEST(ModuleLoading, MissingExportsAreAllNamed) {
    try {
        Module::load(STANDIN_INCOMPLETE_MODULE);
        FAIL() << "loading should fail";
    } catch (const ModuleLoadError& e) {
        std::string what = e.what();
        for (const char* name :
             {"QZPlugIn_Link_2", "PlugInRun", "PlugInShutdown", "PlugInCleanup"}) {
            EXPECT_NE(what.find(name), std::string::npos) << what;
        }
        EXPECT_EQ(what.find("PlugInStartup"), std::string::npos) << what;
    }
}

TEST(ModuleLoading, UnloadableLibraryIsALoadError) {
    EXPECT_THROW(Module::load("/nonexistent/module.so"), ModuleLoadError);
}

// A module "linked in": its exports are plain functions of this executable.
namespace linked {
std::vector<std::string> calls;
Vorna::HostEnvironment* environment = nullptr;
std::int32_t getVersion() { return 2; }
void link(Vorna::HostEnvironment* env) {
    environment = env;
    calls.push_back("link");
}
void startup() { calls.push_back("startup"); }
void run() { calls.push_back("run"); }
void shutdown() { calls.push_back("shutdown"); }
void cleanup() { calls.push_back("cleanup"); }
}  // namespace linked

TEST(ModuleLoading, LinkedInModuleIsDrivenThroughTheGivenExports) {
    Host host;
    ModuleExports x{linked::getVersion, linked::link,     linked::startup,
                    linked::run,        linked::shutdown, linked::cleanup};
    Module module = Module::linkedIn(x);
    EXPECT_FALSE(module.isLibrary());
    module.link(host);
    module.startup();
    module.run();
    module.cleanup();
    module.shutdown();
    EXPECT_EQ(linked::environment, host.environment());
    EXPECT_EQ(linked::calls,
              (std::vector<std::string>{"link", "startup", "run", "cleanup", "shutdown"}));
    EXPECT_TRUE(module.unload());

    x.cleanup = nullptr;
    EXPECT_THROW(Module::linkedIn(x), ModuleLoadError);
}

}  // namespace
