// Inputs and comparisons shared by the Hough transform's tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "compute/Hough.h"

namespace Vorna::Compute::Testing {

// ---- Inputs ---------------------------------------------------------------------------------

// A small deterministic generator (SplitMix64), so that inputs are the same on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : fState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (fState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }

  private:
    std::uint64_t fState;
};

inline float FromBits(std::uint32_t bits) {
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

inline std::uint32_t Bits(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Values that exercise every corner of single-precision addition. `specials` is the chance that a
// non-zero pixel is one of the awkward values rather than an ordinary one.
inline float Pixel(Random& random, double specials) {
    if (random.Unit() >= specials) return static_cast<float>(random.Unit() * 200.0 - 100.0);
    switch (random.Below(9)) {
        case 0: return -0.0f;
        case 1: return std::numeric_limits<float>::infinity();
        case 2: return -std::numeric_limits<float>::infinity();
        case 3: return FromBits(1 + random.Below(0x7FFFFF));                  // +subnormal
        case 4: return FromBits(0x80000000u | (1 + random.Below(0x7FFFFF)));  // -subnormal
        case 5: return 3e38f;  // a few of these in one bin overflow to infinity
        case 6: return -3e38f;
        case 7: return FromBits(0x7FC00000u | random.Below(0x400000));  // NaN with a payload
        default: return static_cast<float>(random.Below(7)) - 3.0f;     // small integers, +0.0 too
    }
}

// A square image in which each pixel is non-zero with probability `density`.
inline std::vector<float> Image(std::uint32_t n, std::uint64_t seed, double density,
                                double specials) {
    Random random(seed);
    std::vector<float> image(std::size_t{n} * n, 0.0f);
    for (float& x : image)
        if (random.Unit() < density) x = Pixel(random, specials);
    return image;
}

// ---- Comparisons ----------------------------------------------------------------------------

// Equal bits, except that any NaN matches any NaN (payloads may differ).
inline ::testing::AssertionResult SameResult(const std::vector<float>& expected,
                                             const std::vector<float>& actual, std::uint32_t n) {
    if (expected.size() != actual.size()) return ::testing::AssertionFailure() << "sizes differ";
    std::size_t mismatches = 0;
    std::size_t first = 0;
    for (std::size_t e = 0; e < expected.size(); ++e) {
        if (std::isnan(expected[e]) && std::isnan(actual[e])) continue;
        if (Bits(expected[e]) != Bits(actual[e]) && mismatches++ == 0) first = e;
    }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << mismatches << " elements differ; first at row " << first / n << ", angle "
           << first % n << ": expected " << expected[first] << " (0x" << std::hex
           << Bits(expected[first]) << "), got " << actual[first] << " (0x" << Bits(actual[first])
           << ")";
}

inline std::vector<float> Reference(const std::vector<float>& image, std::uint32_t n) {
    std::vector<float> out(std::size_t{n} * n, 12345.0f);  // the reference clears it first
    HoughReference(image.data(), n, out.data());
    return out;
}

inline std::vector<float> Fast(const std::vector<float>& image, std::uint32_t n, HoughKernel kernel,
                               unsigned threads) {
    std::vector<float> out(std::size_t{n} * n, 12345.0f);  // every element must be written
    HoughOptions options;
    options.kernel = kernel;
    options.threads = threads;
    HoughFast(image.data(), n, out.data(), options);
    return out;
}

// FNV-1a over the result's bits, every NaN counted as the same value.
inline std::uint64_t Checksum(const std::vector<float>& values) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (float x : values) {
        const std::uint32_t bits = std::isnan(x) ? 0x7FC00000u : Bits(x);
        for (int byte = 0; byte < 4; ++byte) {
            hash ^= (bits >> (8 * byte)) & 0xFF;
            hash *= 0x100000001B3ull;
        }
    }
    return hash;
}

}  // namespace Vorna::Compute::Testing
