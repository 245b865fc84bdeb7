// The demo's sample image: thin, distinct lines inside the image, and the peak prediction.
#include "SampleImage.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Tools;

namespace {

std::size_t pixelsOf(const Raster& r) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < r.elementCount(); ++i) n += r.value(i) != 0 ? 1 : 0;
    return n;
}

TEST(SampleImage, EveryLineLiesWellInsideAndIsOnePixelWide) {
    for (std::uint32_t size : {8u, 64u, 97u, 512u}) {
        for (const SampleLine& line : sampleLines()) {
            Raster alone = makeSampleImage(size, {line});
            // A one-pixel band across a square is at most √2 × size long and, for these
            // offsets, at least half the side.
            const std::size_t n = pixelsOf(alone);
            EXPECT_GE(n, size / 2) << size << " " << line.angleDegrees;
            EXPECT_LE(n, static_cast<std::size_t>(std::ceil(std::sqrt(2.0) * size)) + 2) << size;
            for (std::size_t i = 0; i < alone.elementCount(); ++i) {
                const double v = alone.value(i);
                ASSERT_TRUE(v == 0 || v == static_cast<double>(line.weight))
                    << "no pixel drawn twice";
            }
        }
    }
}

TEST(SampleImage, PeakPredictionFollowsTheTransformsBins) {
    // Angle column θ / (K / cx), K just below π/2, cx = n / 2; distance row trunc(d / √2 + n / 2).
    EXPECT_EQ(expectedHoughPeak({0, 0, 1}, 64).column, 0u);
    EXPECT_EQ(expectedHoughPeak({0, 0, 1}, 64).row, 32u);
    EXPECT_EQ(expectedHoughPeak({90, 0.5, 1}, 64).column, 32u);
    EXPECT_EQ(expectedHoughPeak({90, 0.5, 1}, 64).row, 43u);    // 16 / √2 = 11.3
    EXPECT_EQ(expectedHoughPeak({135, -0.5, 1}, 64).row, 20u);  // 32 − 11.3 truncated
    EXPECT_EQ(expectedHoughPeak({179.9, 0, 1}, 64).column, 0u) << "180 degrees is column 0 again";
    // An odd side: cx = 4 for 9, the step is 22.5 degrees and 180 degrees is the last column.
    EXPECT_EQ(expectedHoughPeak({90, 0, 1}, 9).column, 4u);
    EXPECT_EQ(expectedHoughPeak({155, 0, 1}, 9).column, 7u);
    EXPECT_EQ(expectedHoughPeak({179.9, 0, 1}, 9).column, 8u);
    // 155 / (180 / 96) = 82.7: column 83, where a step of 180 / 97 would say 84.
    EXPECT_EQ(expectedHoughPeak({155, 0, 1}, 97).column, 83u);
}

}  // namespace
