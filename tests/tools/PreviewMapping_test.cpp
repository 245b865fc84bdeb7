// The preview's mappings from values to grey levels: each curve on a small image of known values,
// percentile clipping, the constant and non-finite cases under clipping, and the texts of the
// options that choose them.
#include <gtest/gtest.h>

#include <limits>

#include "ImageIO.h"
#include "ToolsTestSupport.h"

using namespace Tools;
using StandIn::ElementType;

namespace {

std::vector<std::uint8_t> levels(const std::vector<float>& values, const PreviewMapping& mapping) {
    return previewBytes(
        makeRaster(ElementType::Float32, static_cast<std::uint32_t>(values.size()), 1, values),
        mapping);
}

PreviewMapping curve(const char* text, double clipPercent = 0) {
    std::optional<PreviewMapping> m = parsePreviewCurve(text);
    EXPECT_TRUE(m) << text;
    PreviewMapping mapping = m.value_or(PreviewMapping{});
    mapping.clipPercent = clipPercent;
    return mapping;
}

// Quarters of the range 0 to 4, where every curve differs.
const std::vector<float> kQuarters = {0, 1, 2, 3, 4};

TEST(PreviewMapping, EachCurveGivesItsGreyLevels) {
    EXPECT_EQ(levels(kQuarters, curve("linear")),
              (std::vector<std::uint8_t>{0, 64, 128, 191, 255}));
    EXPECT_EQ(levels(kQuarters, curve("gamma=0.5")),
              (std::vector<std::uint8_t>{0, 128, 180, 221, 255}));
    EXPECT_EQ(levels(kQuarters, curve("gamma=2")),
              (std::vector<std::uint8_t>{0, 16, 64, 143, 255}));
    EXPECT_EQ(levels(kQuarters, curve("log")), (std::vector<std::uint8_t>{0, 204, 229, 244, 255}));
    // log=9 is log10(1 + 9t): a ninth of the range is log10(2) of white.
    EXPECT_EQ(levels({0, 1, 9}, curve("log=9")), (std::vector<std::uint8_t>{0, 77, 255}));
    // The default stretch lifts a thousandth of the range to a tenth of white.
    EXPECT_EQ(levels({0, 1, 1000}, curve("log")), (std::vector<std::uint8_t>{0, 26, 255}));
}

TEST(PreviewMapping, CurvesWorkOnTheRangeNotOnTheValues) {
    // The same quarters shifted below zero and scaled: the same levels.
    EXPECT_EQ(levels({-100, -75, -50, -25, 0}, curve("gamma=0.5")),
              levels(kQuarters, curve("gamma=0.5")));
    EXPECT_EQ(levels({-8, -6, -4, -2, 0}, curve("log")), levels(kQuarters, curve("log")));
}

TEST(PreviewMapping, ClippingSaturatesTheSmallestAndLargestPercent) {
    // Ten values, 10 %: one value beyond each end; the range is 1 to 8.
    const std::vector<float> ramp = {9, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(levels(ramp, curve("linear", 10)),
              (std::vector<std::uint8_t>{255, 0, 0, 36, 73, 109, 146, 182, 219, 255}));
    Raster r = makeRaster(ElementType::Float32, 10, 1, ramp);
    EXPECT_EQ(previewRange(r, 10).min, 1);
    EXPECT_EQ(previewRange(r, 10).max, 8);
    // Below one value's share nothing is clipped; 19.9 % is still one value of ten.
    EXPECT_EQ(previewRange(r, 9.99).min, 0);
    EXPECT_EQ(previewRange(r, 9.99).max, 9);
    EXPECT_EQ(previewRange(r, 19.9).max, 8);
    EXPECT_EQ(previewRange(r, 20).max, 7);
    // Just below half: the middle values.
    Raster three = makeRaster<float>(ElementType::Float32, 3, 1, {5, -1, 2});
    EXPECT_EQ(previewRange(three, 49.9).min, 2);
    EXPECT_EQ(previewRange(three, 49.9).max, 2);
}

TEST(PreviewMapping, ClippingCountsOnlyFiniteValues) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // Five finite values and five that are not: 20 % of the five finite ones is one.
    Raster r = makeRaster<float>(ElementType::Float32, 10, 1,
                                 {nan, 0, inf, 10, nan, 20, -inf, 30, nan, 40});
    EXPECT_EQ(previewRange(r, 20).min, 10);
    EXPECT_EQ(previewRange(r, 20).max, 30);
    EXPECT_EQ(previewBytes(r, curve("linear", 20)),
              (std::vector<std::uint8_t>{0, 0, 255, 0, 0, 128, 0, 255, 0, 255}));
    Raster none = makeRaster<float>(ElementType::Float32, 2, 1, {nan, inf});
    EXPECT_EQ(previewBytes(none, curve("log", 10)), (std::vector<std::uint8_t>{0, 255}));
}

TEST(PreviewMapping, ARangeClippedToOneValueSplitsAtIt) {
    // Mostly zero, as a sparse image is: the range closes on zero, which stays black.
    EXPECT_EQ(levels({0, 0, 0, 0, 5, 0, 0, 0, 0, 0}, curve("gamma=0.5", 10)),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 0, 0, 0, 0, 0}));
    // Mostly three: three is mid-grey, below it black, above it white.
    EXPECT_EQ(levels({3, 1, 3, 7, 3}, curve("linear", 20)),
              (std::vector<std::uint8_t>{128, 0, 128, 255, 128}));
}

TEST(PreviewMapping, CurveTextsAreReadStrictlyAndDescribedBack) {
    for (const char* bad :
         {"", "Linear", "gamma", "gamma=", "gamma=0", "gamma=-1", "gamma=inf", "gamma=nan",
          "gamma=0.5x", "gamma= 1", "log=", "log=0", "log=1e999", "sqrt", "linear=1"}) {
        EXPECT_FALSE(parsePreviewCurve(bad)) << bad;
    }
    EXPECT_EQ(describe(curve("linear")), "linear");
    EXPECT_EQ(describe(curve("gamma=0.45")), "gamma 0.45");
    EXPECT_EQ(describe(curve("log")), "log");
    EXPECT_EQ(describe(curve("log=1000")), "log");
    EXPECT_EQ(describe(curve("log=1e4")), "log 10000");
    EXPECT_EQ(describe(curve("gamma=2", 0.5)), "gamma 2, clipping 0.5 %");
}

TEST(PreviewMapping, APreviewPngHoldsTheMappedLevelsPlanesOneBelowTheOther) {
    ToolsTest::ScratchDirectory dir;
    Raster volume = makeRaster<float>(ElementType::Float32, 2, 1, 2, {0, 1, 3, 4});
    const ValueRange range = writePreviewPng(dir.file("v.png"), volume, curve("gamma=0.5"));
    EXPECT_EQ(range.min, 0);
    EXPECT_EQ(range.max, 4);
    Raster back = readPng(dir.file("v.png"));
    EXPECT_EQ(back.width, 2u);
    EXPECT_EQ(back.height, 2u);
    EXPECT_EQ(back.bytes, (std::vector<unsigned char>{0, 128, 221, 255}));
}

}  // namespace
