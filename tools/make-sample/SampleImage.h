// The demo's sample image: a few straight lines of different weights on a zero background, and
// where each line's peak lands in the module's Hough transform of it.
//
// A line is given in normal form: the points (x, y) with (x − cx) cos θ + (y − cy) sin θ = d,
// x the column, y the row, (cx, cy) = (size / 2, size / 2) in whole pixels. A pixel is on the
// line when its centre is less than half a pixel from it, so each line is one pixel wide.
#pragma once

#include <cstdint>
#include <vector>

#include "ImageIO.h"

namespace Tools {

struct SampleLine {
    double angleDegrees = 0;  // θ, in [0, 180)
    double offset = 0;        // d as a fraction of half the image size, in (-1, 1)
    float weight = 1;         // the value of the line's pixels
};

// The lines of the demo image, heaviest first.
std::vector<SampleLine> sampleLines();

// A size × size float image with the lines drawn (values add where lines cross). Throws
// ImageIOError for a size below 8.
Raster makeSampleImage(std::uint32_t size, const std::vector<SampleLine>& lines = sampleLines());

// Where a line's votes concentrate in the Hough transform of a size × size image: the column i
// nearest θ = i × K / cx (K = 1.570796326794895, a little below π/2; cx = size / 2, halved as
// integers), row = trunc(d / √2 + size / 2).
struct HoughBin {
    std::uint32_t column = 0;
    std::uint32_t row = 0;
};
HoughBin expectedHoughPeak(const SampleLine& line, std::uint32_t size);

}  // namespace Tools
