#include "LinkedHost.h"

#include <algorithm>
#include <memory>

namespace TestSupport {
namespace {

std::uint32_t sVersion = StandIn::kDefaultHostVersion;

// Owns the process's host. Before the host goes away at exit, the framework is relinked to its
// stand-by environment, so that nothing the framework releases later reaches a dead host.
struct HostHolder {
    HostHolder() : host(std::make_unique<StandIn::Host>(sVersion)) {
        QZPlugIn_Link_2(host->environment());
        PlugInStartup();
    }
    ~HostHolder() {
        QZPlugIn_Link_2(nullptr);
        PlugInStartup();
    }
    std::unique_ptr<StandIn::Host> host;
};

}  // namespace

StandIn::Host& TheHost() {
    static HostHolder holder;
    return *holder.host;
}

void SetHostVersionForProcess(std::uint32_t version) { sVersion = version; }

void RelinkTheHost() {
    QZPlugIn_Link_2(TheHost().environment());
    PlugInStartup();
}

void LinkedHostTest::SetUp() {
    TheHost().clearFaults();
    TheHost().clearRaisedErrors();
    fSnapshot = TheHost().snapshot();
}

StandIn::LeakReport LeakedSince(const StandIn::LeakSnapshot& snapshot) {
    StandIn::Host& host = TheHost();
    StandIn::LeakReport report = host.leakReport(snapshot);
    // A stub keeps the function handle it resolved until the module unloads: that is a cache,
    // not a leak. Registrations are functions too, and they are checked.
    auto isCache = [&host](const StandIn::LeakReport::HeldObject& held) {
        if (held.kind != StandIn::ObjectKind::Function) return false;
        for (const auto& registration : host.registrations())
            if (registration.function == held.handle && !registration.withdrawn) return false;
        return true;
    };
    report.objects.erase(std::remove_if(report.objects.begin(), report.objects.end(), isCache),
                         report.objects.end());
    return report;
}

void LinkedHostTest::TearDown() {
    StandIn::LeakReport report = LeakedSince(fSnapshot);
    EXPECT_TRUE(report.clean()) << report.toString();
    TheHost().clearFaults();
}

}  // namespace TestSupport
