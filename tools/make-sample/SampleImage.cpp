// Drawing the sample lines.
#include "SampleImage.h"

#include <cmath>

namespace Tools {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The transform's angle constant.
constexpr double kAngleStep = 1.570796326794895;

}  // namespace

std::vector<SampleLine> sampleLines() {
    return {
        {30, 0.25, 1.0f},
        {90, 0.55, 0.8f},
        {118, -0.35, 0.6f},
        {155, 0.05, 0.3f},
    };
}

Raster makeSampleImage(std::uint32_t size, const std::vector<SampleLine>& lines) {
    if (size < 8)
        throw ImageIOError("a sample image needs a size of at least 8, not " +
                           std::to_string(size));
    std::vector<float> pixels(static_cast<std::size_t>(size) * size, 0.0f);
    const double centre = size / 2;
    for (const SampleLine& line : lines) {
        const double theta = line.angleDegrees * kPi / 180;
        const double c = std::cos(theta), s = std::sin(theta);
        const double d = line.offset * centre;
        for (std::uint32_t y = 0; y < size; ++y) {
            for (std::uint32_t x = 0; x < size; ++x) {
                const double distance = (x - centre) * c + (y - centre) * s - d;
                if (std::fabs(distance) < 0.5)
                    pixels[static_cast<std::size_t>(y) * size + x] += line.weight;
            }
        }
    }
    return makeRaster(ElementType::Float32, size, size, pixels);
}

HoughBin expectedHoughPeak(const SampleLine& line, std::uint32_t size) {
    const double centre = size / 2;
    const double d = line.offset * centre;
    HoughBin bin;
    // Column i holds the angle i × K / cx, K a little below π/2 and cx = size / 2 halved as
    // integers: for an odd size the step is about π / (size − 1) and the last column is 180°.
    const double theta = line.angleDegrees * kPi / 180;
    bin.column = static_cast<std::uint32_t>(std::lround(theta * (size / 2) / kAngleStep)) % size;
    bin.row = static_cast<std::uint32_t>(std::trunc(d / std::sqrt(2.0) + centre));
    return bin;
}

}  // namespace Tools
