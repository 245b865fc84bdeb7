// The straight-line Hough transform of a square float image, in two versions that give the same
// bits: a reference that is the plain triple loop, and a fast path (column-major working copy,
// blocks of angles on several threads, SIMD distances, each bin's run of rows summed in a register)
// used by the module.
//
// For a square input of side n, with cx = cy = n / 2 (unsigned halving):
//   for each angle i (column of the result), theta = (i * K) / cx, u = cos theta, v = sin theta;
//   for each input column j and, innermost, each row k:
//     rho = ((j - cx) * u + (k - cy) * v) * f + cy      (doubles, in exactly this order)
//     r   = rho truncated toward zero (low 32 bits of the 64-bit truncation)
//     out[r * n + i] = out[r * n + i] + in[k * n + j]   (single precision), when 0 <= r*n+i < n*n
// with K = kHoughAngleConstant and f = HoughDistanceFactor(n). The output starts at +0.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vorna::Compute {

// The angle step numerator: a little below pi/2 (bit pattern 0x3FF921FB54442D11).
inline constexpr double kHoughAngleConstant = 1.570796326794895;

// n / (sqrt(2) * n), evaluated in that order for every call: 1/sqrt(2) within one ulp, depending
// slightly on n.
double HoughDistanceFactor(std::uint32_t n);

// Which inner kernel the fast path runs.
// - Auto: the fastest this CPU runs (AVX-512, then AVX2, then Baseline).
// - Avx2, Avx512: the run kernels (AVX2; AVX-512 F/BW/VL). An image whose non-zero pixels lie
//   mostly in sparse columns takes the lanes kernel of the same instruction set instead (Lanes,
//   Lanes512), with Auto too: its runs are one vote long.
// - Baseline: the portable lanes kernel (SSE2, or plain C++ without it), which 32-bit builds use.
// - Lanes (also spelled Wide): the AVX2 lanes kernel, the fast path's default before the run
//   kernels; kept so that old and new can be compared in one run.
// - Lanes512: the AVX-512 lanes kernel (F/BW/VL): per pixel, the block's 16 votes as one gather,
//   add and scatter.
// - RangeCheckFallback: the straightforward per-vote arithmetic for every column, as used when a
//   column's range check fails.
// A kernel the CPU (or the build) lacks is never executed: the fastest supported kernel below it
// runs instead (Avx512 -> Avx2 -> Baseline, Lanes512 -> Lanes -> Baseline); HoughKernelChosen tells
// which.
enum class HoughKernel {
    Auto,
    Baseline,
    Lanes,
    RangeCheckFallback,
    Avx2,
    Avx512,
    Lanes512,
    Wide = Lanes
};

struct HoughOptions {
    unsigned threads = 0;  // 0: one per hardware thread
    HoughKernel kernel = HoughKernel::Auto;
};

// True when this CPU and build can run the kernel (Auto, Baseline and RangeCheckFallback always).
bool HoughKernelSupported(HoughKernel kernel);

// The kernel that a request for `kernel` runs on this CPU: never Auto, never an unsupported one.
HoughKernel HoughKernelChosen(HoughKernel kernel);

// A short name: "baseline", "lanes", "lanes512", "avx2", "avx512", "range-check", "auto".
const char* HoughKernelName(HoughKernel kernel);

// The instruction-set features of this CPU that the kernels care about, as a space-separated list
// ("sse2 avx avx2 avx512f avx512bw avx512vl ..."), the operating system's support included.
const char* HoughCpuFeatures();

// True when this CPU runs the AVX2 lanes kernel.
bool HoughWideKernelAvailable();

// The plain loop over a square n x n float image; out receives n * n floats. n = 1 is defined as
// the single vote out[0] = +0.0f + in[0] (what the loop gives on x86, where theta = 0/0 sends every
// vote to element 0), without evaluating 0/0.
void HoughReference(const float* in, std::uint32_t n, float* out);

// Same bits as HoughReference for every input, faster. Needs a working copy of at most twice the
// input's pixel count in 4-byte words (less for sparse images); the run kernels add an angle-major
// copy of the result (n + 15 angles by about n + 32 distances) and a few n-sized buffers per
// thread, the lanes kernels n * 16 floats per thread. Throws std::bad_alloc when they cannot be
// had, and rethrows a worker thread's exception.
void HoughFast(const float* in, std::uint32_t n, float* out, const HoughOptions& options = {});

// A width x height image placed in the m x m square, m = max(width, height), at column offset
// (m - width) / 2 and row offset (m - height) / 2, zeros elsewhere. Rows are width elements apart.
void PadToSquare(const float* in, std::uint32_t width, std::uint32_t height,
                 std::vector<float>& square);

// The module's entry: the transform of a width x height image, padded to its m x m square as
// PadToSquare does and with every element converted to float by value, straight into the fast
// path's working copy (no padded copy is made). out receives m * m floats. Instantiated for float,
// double and the 8-, 16- and 32-bit integers.
template <class T>
void HoughTransform(const T* in, std::uint32_t width, std::uint32_t height, float* out,
                    const HoughOptions& options = {});

extern template void HoughTransform<float>(const float*, std::uint32_t, std::uint32_t, float*,
                                           const HoughOptions&);
extern template void HoughTransform<double>(const double*, std::uint32_t, std::uint32_t, float*,
                                            const HoughOptions&);
extern template void HoughTransform<std::int8_t>(const std::int8_t*, std::uint32_t, std::uint32_t,
                                                 float*, const HoughOptions&);
extern template void HoughTransform<std::uint8_t>(const std::uint8_t*, std::uint32_t, std::uint32_t,
                                                  float*, const HoughOptions&);
extern template void HoughTransform<std::int16_t>(const std::int16_t*, std::uint32_t, std::uint32_t,
                                                  float*, const HoughOptions&);
extern template void HoughTransform<std::uint16_t>(const std::uint16_t*, std::uint32_t,
                                                   std::uint32_t, float*, const HoughOptions&);
extern template void HoughTransform<std::int32_t>(const std::int32_t*, std::uint32_t, std::uint32_t,
                                                  float*, const HoughOptions&);
extern template void HoughTransform<std::uint32_t>(const std::uint32_t*, std::uint32_t,
                                                   std::uint32_t, float*, const HoughOptions&);

}  // namespace Vorna::Compute
