// What the module must answer, written from the algorithms and independent of the module's own
// code: the transform and the shift of a float image, and the comparison of two float images.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace BadInput {

// A double as the nearest float, the way the hardware rounds (beyond the float range: infinity).
inline float NearestFloat(double d) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    if (std::fabs(d) >= 0x1.ffffffp+127) return d > 0 ? kInfinity : -kInfinity;
    return static_cast<float>(d);
}

// The transform of a w x h image placed in the middle of its max(w, h) square, written from the
// algorithm: angles outermost, then columns, then rows, single-precision sums starting at +0.
// Zero pixels are skipped, which changes no sum (a sum that starts at +0 never becomes -0, and
// adding zero to anything else leaves it as it is), so very wide or tall images stay cheap.
inline std::vector<float> ReferenceHough(const std::vector<float>& in, std::uint32_t w,
                                         std::uint32_t h) {
    const std::uint32_t n = std::max(w, h);
    const std::uint32_t left = (n - w) / 2, top = (n - h) / 2;
    std::vector<float> out(std::size_t{n} * n, 0.0f);
    if (n == 1) {
        out[0] = out[0] + in[0];
        return out;
    }
    struct Vote {
        std::uint32_t j, k;
        float value;
    };
    std::vector<Vote> votes;  // in column order, rows ascending within a column
    for (std::uint32_t c = 0; c < w; ++c)
        for (std::uint32_t r = 0; r < h; ++r)
            if (in[std::size_t{r} * w + c] != 0.0f || std::isnan(in[std::size_t{r} * w + c]))
                votes.push_back({c + left, r + top, in[std::size_t{r} * w + c]});
    const std::uint32_t cx = n / 2, cy = n / 2;
    const double f = static_cast<double>(n) / (std::sqrt(2.0) * static_cast<double>(n));
    for (std::uint32_t i = 0; i < n; ++i) {
        const double theta = (i * 1.570796326794895) / cx;
        const double u = std::cos(theta), v = std::sin(theta);
        for (const Vote& vote : votes) {
            const double rho = ((static_cast<double>(static_cast<std::int64_t>(vote.j) - cx) * u +
                                 static_cast<double>(static_cast<std::int64_t>(vote.k) - cy) * v) *
                                f) +
                               cy;
            const auto r = static_cast<std::int32_t>(static_cast<std::int64_t>(rho));
            const std::int64_t idx = std::int64_t{r} * n + i;
            if (idx >= 0 && idx < std::int64_t{n} * n)
                out[static_cast<std::size_t>(idx)] =
                    out[static_cast<std::size_t>(idx)] + vote.value;
        }
    }
    return out;
}

// trunc(offset) modulo size, exactly, in [0, size).
inline std::int64_t ReducedOffset(float offset, std::uint32_t size) {
    double r = std::fmod(std::trunc(static_cast<double>(offset)), static_cast<double>(size));
    if (r < 0) r += size;
    return static_cast<std::int64_t>(r);
}

inline std::vector<float> ReferenceShift(const std::vector<float>& in, std::uint32_t w,
                                         std::uint32_t h, float dx, float dy) {
    const std::int64_t tx = ReducedOffset(dx, w), ty = ReducedOffset(dy, h);
    std::vector<float> out(in.size());
    for (std::int64_t j = 0; j < h; ++j)
        for (std::int64_t i = 0; i < w; ++i)
            out[static_cast<std::size_t>((i + tx) % w + (j + ty) % h * w)] =
                in[static_cast<std::size_t>(i + j * w)];
    return out;
}

// Same bits, except that any two not-a-numbers match (sums may carry either operand's payload).
inline ::testing::AssertionResult SameValues(const std::vector<float>& expected,
                                             const std::vector<float>& got) {
    if (expected.size() != got.size())
        return ::testing::AssertionFailure()
               << got.size() << " elements, expected " << expected.size();
    for (std::size_t i = 0; i < got.size(); ++i) {
        const bool same = (std::isnan(expected[i]) && std::isnan(got[i])) ||
                          std::memcmp(&expected[i], &got[i], sizeof(float)) == 0;
        if (!same)
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << got[i] << ", expected " << expected[i];
    }
    return ::testing::AssertionSuccess();
}

}  // namespace BadInput
