// Test support for executables that are themselves the module: the framework is linked into the
// test binary, and one stand-in host for the whole process links it, as a host would a library.
//
//     TEST_F(LinkedHostTest, Something) {
//         host().define(...);
//         ... exercise framework code ...
//     }   // TearDown: no reference, loan or lock left behind since SetUp
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ExpectThrow.h"
#include "Host.h"
#include "abi/PlugInExports.h"  // the framework's exports, linked into this executable
#include "shell/Boundary.h"

namespace TestSupport {

// The process's host, made, linked and started on first use. Its version can be set once,
// before first use (the framework picks its image-locking variant on first demand).
StandIn::Host& TheHost();
void SetHostVersionForProcess(std::uint32_t version);

// Links and starts the framework with TheHost() again (after a test changed the link).
void RelinkTheHost();

// What the framework holds now that it did not hold at `snapshot`, less the function handles
// that stubs cache until unload.
StandIn::LeakReport LeakedSince(const StandIn::LeakSnapshot& snapshot);

// A fixture that checks that each test gives back everything it took from the host.
class LinkedHostTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    StandIn::Host& host() { return TheHost(); }

  private:
    StandIn::LeakSnapshot fSnapshot;
};

}  // namespace TestSupport
