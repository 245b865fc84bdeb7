// The fault sweep over a plug-in that uses the stand-in host's object model end to end: a shown
// image with a region drawn on it, a dialog, a calibrated and tagged result image, strings, a
// document, a window and the results window. Every host function it calls fails in turn and
// answers stale in turn, on both host generations, and nothing is left behind.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "FaultSweep.h"
#include "Host.h"
#include "Module.h"

namespace {

using StandIn::ElementType;
using StandIn::SweepReport;
using Vorna::Handle;

using RegionEntry = Handle(QZ_CALL*)(Handle*, const char*);

class ObjectModelSweep : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ObjectModelSweep, EveryHostFunctionOfTheModelPlugInIsSweptAndNothingIsLeft) {
    StandIn::Host host(GetParam());
    StandIn::DialogAnswers answers;
    answers.byPrompt["Invert the region?"] = StandIn::parseDialogAnswer("ok=true");
    answers.echo = false;
    host.setDialogAnswers(answers);
    // Results text is the module's output: kept by the host, checked below.
    StandIn::Module module = StandIn::Module::load(MODEL_PLUGIN_PATH);
    module.link(host);
    module.startup();
    auto region = host.entry<RegionEntry>("RegionReport");
    ASSERT_NE(nullptr, region);

    std::vector<float> pixels(12 * 9);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<float>(i % 7) - 2.5f;
    const SweepReport report = StandIn::SweepCall(
        host, "RegionReport", "float32 12x9, region 3x4 at (2, 1)",
        [&](StandIn::CallInputs& in) -> StandIn::CallResult {
            Handle image = in.image({ElementType::Float32, {12, 9}, "input"}, pixels);
            const Handle display = host.showImage(image);
            StandIn::RoiSpec drawn;
            drawn.shape = StandIn::RoiShape::Rectangle;
            drawn.points = {{2, 1}, {5, 5}};
            const Handle roi = host.makeRoi(drawn);
            host.addRoi(display, roi);
            host.drop(roi);
            return region(&image, "Test");
        });
    EXPECT_TRUE(report.clean()) << report.toString();
    EXPECT_TRUE(report.unprovided().empty()) << report.toString();

    // The functions a plug-in of this kind needs, each failed and answered stale.
    for (const char* function :
         {"ImageDisplay ImageGetImageDisplay( ImageRef, long )",
          "ROI ImageDisplayGetROI( ImageDisplay, long )",
          "void ROIGetRectangle( ROI, float *, float *, float *, float * )",
          "Boolean GetBoolean( string, Boolean, Boolean * )",
          "RealImagePtr RealImage( string, long, long, long )",
          "qz_string StringAppend( qz_string *, qz_string )",
          "void ImageSetDimensionCalibration( ImageRef, long, float, float, qz_string, long )",
          "TagGroup ImageGetTagGroup( ImageRef )",
          "TagGroup TagGroupCreateNewLabeledList( TagGroup, string )",
          "Boolean TagGroupGetTagAsLong( TagGroup, string, long * )",
          "ImageDocument ImageGetOrCreateImageDocument( ImageRef )",
          "Window ImageDocumentShow( ImageDocument )", "qz_string WindowGetTitle( Window )",
          "void Result( qz_string )"})
        EXPECT_TRUE(report.swept(function)) << function;
    for (const auto& [function, points] : report.hostFunctions) {
        EXPECT_TRUE(host.provides(function)) << function;
        EXPECT_TRUE(report.swept(function)) << function;
    }
    EXPECT_NE(std::string::npos,
              host.resultsText().find("RegionReport: Test region, 3 x 4 at (2, 1), mean "))
        << host.resultsText();
    std::cout << "object-model fault points on host " << std::hex << GetParam() << std::dec << ": "
              << report.faultPoints() << " over " << report.hostFunctions.size()
              << " host functions\n";

    module.shutdown();
    EXPECT_TRUE(module.unload());
    EXPECT_TRUE(host.leakReport().clean()) << host.leakReport().toString();
}

INSTANTIATE_TEST_SUITE_P(BothHostGenerations, ObjectModelSweep,
                         ::testing::Values(0x03040400u, 0x030403FFu),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return info.param == 0x03040400u ? std::string("newer")
                                                              : std::string("older");
                         });

}  // namespace
