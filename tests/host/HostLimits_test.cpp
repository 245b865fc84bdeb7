// The stand-in host's limits: the built-in catalogue, the named failure of every catalogue function
// the host does not provide, and what a define or undefine changes about it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "HostTestSupport.h"

using namespace StandIn;
using StandInTest::ModuleSide;
using StandInTest::Records;

namespace {

// Rows no headless host can answer (acquisition, files), left out for good.
const char* const kAcquisition = "void AbortAllAcquisitionDaemons(  )";
const char* const kOpenFile = "PFFileReference OpenFileForReading( string )";
// Rows the host has built in.
const char* const kIsValid = "Boolean ImageIsValid( ImageRef )";
const char* const kLockData = "void *ImageLockData( Image *im, uint32 lock_flags )";

TEST(HostCatalogue, HoldsEveryRowOnceExactlyAsModulesResolveIt) {
    const std::vector<std::string>& rows = Host::catalogue();
    ASSERT_GT(rows.size(), 500u);
    EXPECT_EQ(std::set<std::string>(rows.begin(), rows.end()).size(), rows.size());
    for (const std::string& row : rows) {
        EXPECT_NO_THROW(parseSignature(row)) << row;
        EXPECT_TRUE(Host::inCatalogue(row)) << row;
    }
    // Annotations are not part of a row; the named lock rows are kept as written.
    EXPECT_TRUE(Host::inCatalogue("long GetDataPtr( ImageRef )"));
    EXPECT_TRUE(Host::inCatalogue(kLockData));
    EXPECT_FALSE(Host::inCatalogue("long GetDataPtr( ImageRef )    @address result"));
    EXPECT_FALSE(Host::inCatalogue("void AbortAllAcquisitionDaemons()")) << "exact text only";
    EXPECT_FALSE(Host::inCatalogue("long Twice( long )"));
}

TEST(HostCatalogue, ProvidedAndUnprovidedRowsSplitTheCatalogueInItsOrder) {
    Host host;
    std::vector<std::string> provided = host.providedFunctions();
    std::vector<std::string> unprovided = host.unprovidedFunctions();
    ASSERT_EQ(provided.size() + unprovided.size(), Host::catalogue().size());
    std::size_t p = 0, u = 0;
    for (const std::string& row : Host::catalogue()) {
        const bool inProvided = p < provided.size() && provided[p] == row;
        EXPECT_NE(inProvided, u < unprovided.size() && unprovided[u] == row) << row;
        EXPECT_EQ(inProvided, host.provides(row)) << row;
        ++(inProvided ? p : u);
    }
    for (const std::string& row : provided) EXPECT_TRUE(host.isDefined(row)) << row;
    EXPECT_NE(std::find(provided.begin(), provided.end(), kIsValid), provided.end());
    EXPECT_NE(std::find(unprovided.begin(), unprovided.end(), kOpenFile), unprovided.end());

    host.define(kOpenFile, [](NativeCall& c) { c.setResult(std::int32_t{7}); });
    EXPECT_TRUE(host.provides(kOpenFile));
    EXPECT_EQ(host.providedFunctions().size(), provided.size() + 1);
    EXPECT_FALSE(host.provides("long Twice( long )")) << "outside the catalogue";
}

TEST(HostCatalogue, AFunctionOfALaterGenerationIsMissingAsOnAnOlderHost) {
    Host older(0x030403FF);
    ModuleSide module{older};
    EXPECT_FALSE(older.provides(kLockData));
    EXPECT_TRUE(older.isDefined(kLockData));
    EXPECT_EQ(module.resolve(kLockData), 0u);
    Host newer;
    EXPECT_TRUE(newer.provides(kLockData));
}

class Unprovided : public ::testing::Test {
  protected:
    std::int32_t callAcquisition(Vorna::Handle f) {
        Records none(0);
        return module.call(f, none);
    }

    Host host;
    ModuleSide module{host};
    LeakSnapshot base = host.snapshot();
};

TEST_F(Unprovided, ResolvesAndEveryCallFailsNamingTheSignature) {
    ASSERT_FALSE(host.provides(kAcquisition));
    Vorna::Handle f = module.resolve(kAcquisition);
    ASSERT_NE(f, 0u);
    EXPECT_EQ(host.kindOf(f), ObjectKind::Function);
    EXPECT_EQ(host.moduleReferences(f), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(callAcquisition(f), 1) << "a failure, not a stale handle";
        EXPECT_EQ(module.pendingMessage(),
                  "The stand-in host does not provide 'void AbortAllAcquisitionDaemons(  )'.");
    }
    EXPECT_EQ(notProvidedMessage(kOpenFile),
              "The stand-in host does not provide 'PFFileReference OpenFileForReading( string )'.");
    EXPECT_EQ(host.unprovidedCallCount(), 3);
    EXPECT_EQ(host.unprovidedCalls(), std::vector<std::string>{kAcquisition});
    EXPECT_EQ(host.callCount(kAcquisition), 3);
    EXPECT_EQ(host.resolveCount(kAcquisition), 1);
    EXPECT_TRUE(host.unresolvedSignatures().empty());
    int logged = 0;
    for (const CallLogEntry& e : host.callLog())
        logged += e.iface == InterfaceKind::CallContext && e.slot == 12 && e.unprovided ? 1 : 0;
    EXPECT_EQ(logged, 3);
    module.drop(ObjectKind::Function, f);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Unprovided, AWrongRecordCountIsStillTheModulesAnomaly) {
    Records two(2);
    EXPECT_EQ(module.call(kAcquisition, two), 1);
    EXPECT_NE(module.pendingMessage().find("Wrong argument count"), std::string::npos);
    EXPECT_EQ(host.leakReport(base).anomalies.size(), 1u);
    EXPECT_EQ(host.unprovidedCallCount(), 1) << "no fault point either";
}

TEST_F(Unprovided, ADefinitionWinsAndAnUndefinedBuiltInFallsBackToTheLimit) {
    Vorna::Handle f = module.resolve(kAcquisition);
    int runs = 0;
    host.define(kAcquisition, [&runs](NativeCall&) { ++runs; });
    EXPECT_EQ(callAcquisition(f), 0) << "the handle answers what is defined now";
    host.undefine(kAcquisition);
    EXPECT_EQ(callAcquisition(f), 1);
    EXPECT_EQ(runs, 1);
    module.drop(ObjectKind::Function, f);

    Records r(2);
    host.undefine(kIsValid);
    EXPECT_FALSE(host.provides(kIsValid));
    EXPECT_EQ(module.call(kIsValid, r), 1);
    EXPECT_EQ(module.pendingMessage(),
              "The stand-in host does not provide 'Boolean ImageIsValid( ImageRef )'.");
}

TEST_F(Unprovided, IsNoPointForInjectedFaults) {
    host.define("void Nop(  )", [](NativeCall&) {});
    host.injectFault(kAcquisition, Fault::stale().always());
    host.failHostCallAt(2, "second host call", 7);
    Records none(0);
    EXPECT_EQ(module.call("void Nop(  )", none), 0);
    EXPECT_EQ(module.call(kAcquisition, none), 1) << "neither fault lands here";
    EXPECT_EQ(module.pendingMessage(), notProvidedMessage(kAcquisition));
    EXPECT_EQ(module.call("void Nop(  )", none), 7);
    EXPECT_EQ(module.pendingMessage(), "second host call");
    EXPECT_EQ(host.hostCallCount(), 3);
    EXPECT_EQ(host.unprovidedCallCount(), 1);
}

TEST_F(Unprovided, ASignatureOutsideTheCatalogueIsStillNotFound) {
    EXPECT_EQ(module.resolve("void AbortAllAcquisitionDaemons()"), 0u);
    EXPECT_EQ(module.resolve("long Twice( long )"), 0u);
    EXPECT_EQ(host.unresolvedSignatures().size(), 2u);
}

}  // namespace
