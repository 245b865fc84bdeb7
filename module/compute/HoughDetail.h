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

// Rows of padding after the last row's (k - cy), equal to it, so that SIMD loads may run past the
// last row without changing its bin; and floats of padding (zeros) after the working copy's values,
// for 64-row windows.
inline constexpr std::uint32_t kDistancePad = 16;
inline constexpr std::uint32_t kValuePad = 64;

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
    const double* dk;  // (k - cy) as a double, per row k; kDistancePad more repeat the last
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

// Adds the votes of one column for the angles [first, first + count), with the straightforward
// per-vote arithmetic and range test: the vote of angle first + g for distance r goes to
// bins[g * angleStride + r * distanceStride].
void AccumulateChecked(const HoughJob& job, std::uint32_t first, std::uint32_t count,
                       std::size_t angleStride, std::size_t distanceStride, std::uint32_t column,
                       float* bins);

// The lanes kernels: every column for the block [first, first + kBaselineBlock) or
// [first, first + kWideBlock). They fall back to AccumulateChecked for a column whose first or
// last bin is out of range.
void AccumulateBlockBaseline(const HoughJob& job, std::uint32_t first, float* bins);
void AccumulateBlockWide(const HoughJob& job, std::uint32_t first, float* bins);
bool WideKernelBuilt();  // false when this build has no AVX2 lanes kernel

// The AVX-512 lanes kernel: the same block, bins and order as AccumulateBlockWide, each pixel's
// votes gathered, added and scattered (HoughLanesAvx512.cpp).
void AccumulateBlockLanes512(const HoughJob& job, std::uint32_t first, float* bins);
bool Lanes512KernelBuilt();  // false when this build has no AVX-512 code

// What this CPU (and this build) can run, detected once with cpuid and xgetbv.
struct CpuSupport {
    bool avx2;           // AVX2 and POPCNT, with the YMM state enabled by the operating system
    bool avx512;         // AVX-512 F, BW and VL, with the ZMM state enabled, and the above
    char features[160];  // the list HoughCpuFeatures returns
};
const CpuSupport& Cpu();

// The run kernels accumulate a block of kRunBlock consecutive angles into an angle-major buffer:
// the vote of angle first + g for distance r goes to bins[g * stride + r]. Every angle of the
// block has its own stride floats, stride >= n + 31 and a multiple of 16, so that a 16-float access
// starting at any distance of the angle stays within the angle's own bins, and so that blocks begin
// on 64-byte boundaries (no cache line is shared by two blocks).
inline constexpr std::uint32_t kRunBlock = 16;

struct RunBlock {
    float* bins;  // angle `first`'s bins
    std::size_t stride;
    std::uint32_t first;
    std::uint32_t count;  // angles of the block below n; the others have u = v = 0
};

// Per-thread buffers of a run kernel.
inline constexpr std::uint32_t kRunScratchPad = 64;
struct RunScratch {
    std::int32_t* starts;  // n + kRunScratchPad: the first row of each bin of one angle and column
    std::int32_t* index;   // kRunBlock, 64-byte aligned: bin indices of one row for the block
};

// The run kernels are built for x86-64 only (32-bit builds run the baseline).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(VORNA_HOUGH_PLAIN_CXX)
#define VORNA_HOUGH_RUN_KERNELS 1
inline constexpr bool kRunKernelsBuilt = true;
#else
inline constexpr bool kRunKernelsBuilt = false;
#endif

// Accumulates every angle of the fast path with a run kernel (Avx2 or Avx512 when `wide`) on up
// to `threads` threads and writes the result, distance-major, to out.
void AccumulateWithRuns(const HoughJob& job, bool wide, unsigned threads, float* out);

void AccumulateRunsAvx2(const HoughJob& job, const RunBlock& block, const RunScratch& scratch);
void AccumulateRunsAvx512(const HoughJob& job, const RunBlock& block, const RunScratch& scratch);

}  // namespace Vorna::Compute::Detail
