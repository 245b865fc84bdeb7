// Test support for tests of the real module: a fresh stand-in host of a chosen version with the
// module loaded by path, linked and started, and its two script functions at hand.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Host.h"
#include "Module.h"

namespace TestSupport {

using HoughEntry = Vorna::ImageFunctionEntry;
using ShiftEntry = Vorna::ImageShiftEntry;

struct LoadedModule {
    // Loads `path` into a new host of `version`, links and starts it. Fails the test (fatally) when
    // a script function is missing.
    void Start(const char* path, std::uint32_t version = StandIn::kDefaultHostVersion) {
        host = std::make_unique<StandIn::Host>(version);
        module = std::make_unique<StandIn::Module>(StandIn::Module::load(path));
        module->link(*host);
        module->startup();
        hough = host->entry<HoughEntry>("HoughTransform");
        shift = host->entry<ShiftEntry>("shiftImage");
        ASSERT_NE(nullptr, hough);
        ASSERT_NE(nullptr, shift);
    }

    std::unique_ptr<StandIn::Host> host;
    std::unique_ptr<StandIn::Module> module;
    HoughEntry hough = nullptr;
    ShiftEntry shift = nullptr;
};

}  // namespace TestSupport
