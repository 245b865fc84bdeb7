// The reference Hough loop and the arithmetic it shares with the fast path.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "compute/Hough.h"
#include "compute/HoughDetail.h"

namespace Vorna::Compute {

namespace Detail {

void AngleCosSin(std::uint32_t i, std::uint32_t cx, double* u, double* v) {
    const double theta = (static_cast<double>(i) * kHoughAngleConstant) / static_cast<double>(cx);
    *u = std::cos(theta);
    *v = std::sin(theta);
}

void AccumulateChecked(const HoughJob& job, std::uint32_t first, std::uint32_t count,
                       std::size_t angleStride, std::size_t distanceStride, std::uint32_t column,
                       float* bins) {
    const ColumnInfo& c = job.columns[column];
    const float* values = job.values + c.valueOffset;
    const std::uint32_t* rows = c.dense ? nullptr : job.rows + c.rowOffset;
    const double dj = static_cast<double>(std::int64_t{column} - std::int64_t{job.cx});
    const std::uint32_t last = std::min(first + count, job.n);
    for (std::uint32_t i = first; i < last; ++i) {
        const double a = dj * job.u[i];
        const double v = job.v[i];
        float* lane = bins + (i - first) * angleStride;
        for (std::uint32_t e = 0; e < c.count; ++e) {
            const std::uint32_t k = rows ? rows[e] : e;
            const double rho = (a + job.dk[k] * v) * job.f + job.cy;
            const std::int32_t r = TruncateLow32(rho);
            // r * n + i lies in [0, n*n) exactly when r lies in [0, n), since 0 <= i < n.
            if (r >= 0 && static_cast<std::uint32_t>(r) < job.n) {
                float& bin = lane[std::size_t(r) * distanceStride];
                bin = bin + values[e];
            }
        }
    }
}

}  // namespace Detail

double HoughDistanceFactor(std::uint32_t n) {
    const double h = static_cast<double>(n);
    return h / (std::sqrt(2.0) * h);
}

void HoughReference(const float* in, std::uint32_t n, float* out) {
    if (n == 0) return;
    const std::size_t total = std::size_t{n} * n;
    std::fill(out, out + total, 0.0f);
    if (n == 1) {
        out[0] = out[0] + in[0];
        return;
    }
    const std::uint32_t cx = n / 2;
    const std::uint32_t cy = n / 2;
    const double f = HoughDistanceFactor(n);
    const double cyd = static_cast<double>(cy);
    // idx = r * n + i is a 32-bit quantity. Up to kLargestNarrowSide it is formed with 32-bit
    // wrap-around exactly as defined; beyond, n * n itself no longer fits and 64 bits are used.
    // Both agree whenever r lies in [-1, n], and for a square input r always lies in [0, n)
    // (see the range argument in HoughFast.cpp), so the choice never shows in a result.
    const bool narrow = n <= Detail::kLargestNarrowSide;
    const std::int64_t bound = static_cast<std::int64_t>(total);
    for (std::uint32_t i = 0; i < n; ++i) {
        double u;
        double v;
        Detail::AngleCosSin(i, cx, &u, &v);
        for (std::uint32_t j = 0; j < n; ++j) {
            const double dj = static_cast<double>(std::int64_t{j} - std::int64_t{cx});
            for (std::uint32_t k = 0; k < n; ++k) {
                const double dk = static_cast<double>(std::int64_t{k} - std::int64_t{cy});
                const double rho = (dj * u + dk * v) * f + cyd;
                const std::int32_t r = Detail::TruncateLow32(rho);
                std::int64_t idx;
                if (narrow)
                    idx = static_cast<std::int32_t>(static_cast<std::uint32_t>(r) * n + i);
                else
                    idx = std::int64_t{r} * n + i;
                if (idx >= 0 && idx < bound) {
                    const std::size_t at = static_cast<std::size_t>(idx);
                    out[at] = out[at] + in[std::size_t{k} * n + j];
                }
            }
        }
    }
}

void PadToSquare(const float* in, std::uint32_t width, std::uint32_t height,
                 std::vector<float>& square) {
    const std::uint32_t m = std::max(width, height);
    square.assign(std::size_t{m} * m, 0.0f);
    const std::uint32_t left = (m - width) / 2;
    const std::uint32_t top = (m - height) / 2;
    for (std::uint32_t row = 0; row < height; ++row)
        if (width != 0)
            std::memcpy(&square[(std::size_t{top} + row) * m + left], in + std::size_t{row} * width,
                        std::size_t{width} * sizeof(float));
}

}  // namespace Vorna::Compute
