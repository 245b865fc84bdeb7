// Shared by the catalogue tests: the framework's catalogue as a list, the mapping between the two
// sides' object kinds, and a fixture whose host answers every catalogue row generically.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GenericFunctions.h"
#include "LinkedHost.h"
#include "hostcall/References.h"
#include "hostcall/Stubs.h"

namespace CatalogueTest {

// Both sides number the kinds from the same table, in the order of their class records.
inline StandIn::ObjectKind HostKind(Vorna::ObjectKind kind) {
    static_assert(Vorna::kObjectKindCount == static_cast<int>(StandIn::kObjectKindCount));
    return static_cast<StandIn::ObjectKind>(static_cast<int>(kind));
}

inline std::vector<std::string> CatalogueSignatures() {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < Vorna::QZ::kCatalogueSize; ++i)
        out.emplace_back(Vorna::QZ::kCatalogue[i].signature);
    return out;
}

// The slot-12 calls in the host's log that reached `signature`, as their function handles.
inline std::vector<Vorna::Handle> CallHandles(const StandIn::Host& host,
                                              const std::string& signature) {
    std::vector<Vorna::Handle> out;
    for (const StandIn::CallLogEntry& e : host.callLog())
        if (e.iface == StandIn::InterfaceKind::CallContext && e.slot == 12 && e.detail == signature)
            out.push_back(e.handle);
    return out;
}

// A linked host whose functions under every catalogue row answer generically, the host's real
// ones included; after the test the host has the functions it had before.
class GenericHostTest : public TestSupport::LinkedHostTest {
  protected:
    void SetUp() override {
        LinkedHostTest::SetUp();
        for (const std::string& signature : CatalogueSignatures()) {
            if (host().isDefined(signature))
                fReal.push_back(
                    {signature, host().handlerOf(signature), host().minVersionOf(signature)});
        }
        StandIn::GenericOptions replace;
        replace.replaceDefined = true;
        fLog = StandIn::defineGenericFunctions(host(), CatalogueSignatures(), replace);
    }
    void TearDown() override {
        for (const std::string& signature : fLog->defined()) host().undefine(signature);
        for (const Real& real : fReal) host().define(real.signature, real.handler, real.minVersion);
        LinkedHostTest::TearDown();
    }

    const StandIn::GenericLog& log() const { return *fLog; }
    const StandIn::GenericCall& lastCall() const { return fLog->lastCall(); }

  private:
    struct Real {
        std::string signature;
        StandIn::NativeHandler handler;
        std::uint32_t minVersion;
    };
    std::vector<Real> fReal;
    std::shared_ptr<StandIn::GenericLog> fLog;
};

}  // namespace CatalogueTest
