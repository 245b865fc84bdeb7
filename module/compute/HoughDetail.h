// Pieces shared by the reference loop and the fast path of the Hough transform. Everything that
// decides a bit of the result (the angle's cosine and sine, the distance factor, the truncation) is
// computed by the same out-of-line code on both paths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vorna::Compute::Detail {

// u = cos(theta), v = sin(theta) for theta = (i * K) / cx. Not inline, so that the compiler cannot
// evaluate it one way in one path and another way (say, through sincos) in the other.
void AngleCosSin(std::uint32_t i, std::uint32_t cx, double* u, double* v);

// rho truncated toward zero to a 64-bit integer, of which the low 32 bits are kept. Outside the
// 64-bit range, and for NaN, the x86 conversion answers 0x8000000000000000, whose low half is 0.
inline std::int32_t TruncateLow32(double rho) {
    if (rho >= -9223372036854775808.0 && rho < 9223372036854775808.0)
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(rho))));
    return 0;
}

// The largest side for which r * n + i with r in [0, n) stays below 2^31.
inline constexpr std::uint32_t kLargestNarrowSide = 46340;

// One column of the working copy: either every row (dense) or only its non-zero rows, ascending.
struct ColumnInfo {
    std::size_t valueOffset;  // into HoughJob::values
    std::size_t rowOffset;    // into HoughJob::rows (sparse columns only)
    std::uint32_t count;      // values stored: n for a dense column, the non-zeros otherwise
    std::uint32_t dense;
};

// Everything a kernel needs to accumulate one block of angles; all read-only.
struct HoughJob {
    std::uint32_t n;
    std::uint32_t cx;
    double f;
    double cy;
    const double* u;  // per angle, padded with zeros to a whole number of blocks
    const double* v;
    const double* dk;  // (k - cy) as a double, per row k
    const ColumnInfo* columns;
    const float* values;
    const std::uint32_t* rows;
};

// A kernel accumulates a block of `lanes` consecutive angles [first, first + lanes) into its own
// bins, n distance rows of `lanes` floats: the vote of angle first + g for distance r goes to
// bins[r * lanes + g]. The angles at one row share a cache line, which is also the row of the
// result they are copied to.
inline constexpr std::uint32_t kBaselineBlock = 8;
inline constexpr std::uint32_t kWideBlock = 16;

// Adds the votes of one column for the angles [first, first + count) of a block of `lanes`, with
// the straightforward per-vote arithmetic and range test.
void AccumulateChecked(const HoughJob& job, std::uint32_t first, std::uint32_t count,
                       std::uint32_t lanes, std::uint32_t column, float* bins);

// The kernels: every column for the block [first, first + kBaselineBlock) or
// [first, first + kWideBlock). They fall back to AccumulateChecked for a column whose first or
// last bin is out of range.
void AccumulateBlockBaseline(const HoughJob& job, std::uint32_t first, float* bins);
bool WideKernelSupported();
void AccumulateBlockWide(const HoughJob& job, std::uint32_t first, float* bins);

}  // namespace Vorna::Compute::Detail
