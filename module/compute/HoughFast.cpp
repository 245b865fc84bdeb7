// The fast path of the Hough transform: a column-major working copy of the (padded) input, blocks
// of consecutive angles spread over threads, and a SIMD kernel chosen by CPU. The run kernels
// (HoughRuns.cpp) accumulate into an angle-major copy of the result that is transposed at the
// end; the lanes kernels (HoughKernels.cpp, HoughLanesAvx512.cpp) into a small distance-major
// buffer per thread, the block's angles side by side, copied into the block's columns of the
// result.
//
// Every bin of a square input is in range. For n >= 2 and angle i, theta = i * K / cx lies in
// [0, 2K] with 2K < pi, so v = sin(theta) >= 0 (checked below all the same). Exactly,
// d = (j - cx) u + (k - cy) v and rho = d f + cy with f = 1/sqrt(2):
// - odd n: both offsets lie in [-c, c], c = (n - 1) / 2 = cy, and |u| + |v| <= sqrt(2), so
//   rho lies in [cy - c, cy + c] = [0, n - 1];
// - even n: offsets lie in [-n/2, n/2 - 1] and cy = n/2. The lowest rho is
//   n/2 - (n/2)(|u| + v) f >= 0. The highest is n/2 + ((n/2)(|u| + v) - v) f when u < 0 (j at
//   -n/2), which stays below n by (v + (n/2)(sqrt(2) - |u| - v)) / sqrt(2) >= about 0.49 (the
//   two terms cannot vanish together), and n/2 + (n/2 - 1) sqrt(2) f <= n - 1 when u >= 0.
// The computed rho differs from the exact one by a few roundings of quantities below 2n, far
// less than the margins for any 32-bit n, so rho always lies in (-1, n) and r = trunc(rho) in
// [0, n): no vote of a square input is ever dropped, and idx = r * n + i < n * n.
//
// Monotonicity: for one angle and one column, rho is non-decreasing in the row k. With v >= 0 the
// product (k - cy) * v is non-decreasing in k, and adding a, multiplying by f > 0, adding cy and
// truncating are each monotone when rounded (IEEE rounding preserves order). Consecutive rows
// differ by v f < 1 (plus roundings), so the bin advances by 0 or 1. Hence when the first and last
// stored rows of a column land in [0, n), every row between does, and a kernel only checks those
// two.
//
// Skipping zero pixels is exact. Every bin starts at +0.0 and only ever becomes bin + x. An IEEE
// sum is -0.0 only when both terms are -0.0 (or an exact cancellation, which gives +0.0 in round to
// nearest), so no bin is ever -0.0, and bin + (+0.0) and bin + (-0.0) both return bin bit for bit
// (NaN included). A column therefore stores only its non-zero rows when they are few.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <thread>
#include <type_traits>

#include "compute/Hough.h"
#include "compute/HoughDetail.h"
#include "compute/Parallel.h"

namespace Vorna::Compute {

using Detail::ColumnInfo;
using Detail::HoughJob;

namespace {

// Allocates count elements, uninitialised, reporting sizes beyond the address space as
// std::bad_alloc like any other allocation failure.
template <class T>
std::unique_ptr<T[]> Allocate(std::uint64_t count) {
    if (count > std::numeric_limits<std::ptrdiff_t>::max() / sizeof(T)) throw std::bad_alloc();
    return std::unique_ptr<T[]>(new T[static_cast<std::size_t>(count == 0 ? 1 : count)]);
}

// The working copy: every column of the m x m square, a dense column (more than half non-zero) as
// all its rows, a sparse one as its non-zero rows with their row numbers. Either way a column takes
// at most two words per non-zero pixel, so the copy never exceeds twice the input's pixel count.
struct WorkingCopy {
    std::unique_ptr<ColumnInfo[]> columns;
    std::unique_ptr<float[]> values;
    std::unique_ptr<std::uint32_t[]> rows;
    std::uint64_t denseNonZero = 0;  // non-zero pixels in dense columns
    std::uint64_t sparseNonZero = 0;
    bool anyVotes = false;
};

// Built on `threads` threads, each taking one stripe of consecutive source columns (a multiple of
// 16 wide): a column's count and values are written by one thread only, and with one thread the
// rows are read whole, as a row-major image is best read. Each row is read in groups of kGroup
// pixels, and a group whose bits are all zero is passed over whole (sparse images are mostly such
// groups): its pixels are all +0 or -0, whatever the type, so each converts to a float zero and
// neither counts nor is stored. A group with any other bit set, or with a dense column, goes pixel
// by pixel as before; a double too small for a float, say, is tested there.
constexpr std::uint32_t kGroup = 16;

template <class T>
bool GroupIsZero(const T* pixels) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8,
                  "pixels are read as 8-, 16-, 32- or 64-bit words");
    using Word = std::conditional_t<
        sizeof(T) == 1, std::uint8_t,
        std::conditional_t<sizeof(T) == 2, std::uint16_t,
                           std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    // Every bit but a floating-point sign.
    constexpr Word magnitude =
        std::numeric_limits<Word>::max() >> (std::is_floating_point_v<T> ? 1 : 0);
    Word any = 0;
    for (std::uint32_t p = 0; p < kGroup; ++p) {
        Word word;
        std::memcpy(&word, pixels + p, sizeof word);
        any |= word;
    }
    return (any & magnitude) == 0;
}

template <class T>
WorkingCopy BuildWorkingCopy(const T* in, std::uint32_t width, std::uint32_t height,
                             std::uint32_t n, unsigned threads) {
    const std::uint32_t left = (n - width) / 2;
    const std::uint32_t top = (n - height) / 2;
    WorkingCopy copy;
    copy.columns = Allocate<ColumnInfo>(n);
    std::unique_ptr<std::uint32_t[]> counts = Allocate<std::uint32_t>(n);
    std::fill(counts.get(), counts.get() + n, 0u);
    const std::uint32_t stripe = std::max(16u, (width / std::max(1u, threads) + 15) / 16 * 16);
    const std::uint32_t stripes = (width + stripe - 1) / stripe;

    Detail::RunBlocks(stripes, threads, [&](std::uint32_t part, unsigned) {
        const std::uint32_t from = part * stripe;
        const std::uint32_t to = std::min(width, from + stripe);
        std::uint32_t* count = counts.get() + left;
        for (std::uint32_t sk = 0; sk < height; ++sk) {
            const T* src = in + std::size_t{sk} * width;
            for (std::uint32_t group = from; group < to; group += kGroup) {
                const std::uint32_t end = std::min(to, group + kGroup);
                if (end - group == kGroup && GroupIsZero(src + group)) continue;
                for (std::uint32_t sj = group; sj < end; ++sj)
                    count[sj] += static_cast<float>(src[sj]) != 0.0f ? 1u : 0u;
            }
        }
    });

    std::uint64_t valueTotal = 0;
    std::uint64_t rowTotal = 0;
    for (std::uint32_t j = 0; j < n; ++j) {
        ColumnInfo& c = copy.columns[j];
        c.valueOffset = static_cast<std::size_t>(valueTotal);
        c.rowOffset = static_cast<std::size_t>(rowTotal);
        c.dense = std::uint64_t{counts[j]} * 2 > n ? 1u : 0u;
        c.count = c.dense ? n : counts[j];
        valueTotal += c.count;
        if (!c.dense) rowTotal += c.count;
        (c.dense ? copy.denseNonZero : copy.sparseNonZero) += counts[j];
    }
    copy.anyVotes = copy.denseNonZero + copy.sparseNonZero != 0;
    if (!copy.anyVotes) return copy;
    // Padding after the last column, so that the run kernels' 64-row windows stay in the array.
    copy.values = Allocate<float>(valueTotal + Detail::kValuePad);
    std::fill(copy.values.get() + valueTotal, copy.values.get() + valueTotal + Detail::kValuePad,
              0.0f);
    copy.rows = Allocate<std::uint32_t>(rowTotal);
    // Groups of source columns that hold a dense column, whose zeros are stored too.
    const std::uint32_t groups = (width + kGroup - 1) / kGroup;
    std::unique_ptr<bool[]> denseGroup = Allocate<bool>(groups);
    std::fill(denseGroup.get(), denseGroup.get() + groups, false);
    for (std::uint32_t sj = 0; sj < width; ++sj)
        if (copy.columns[left + sj].dense) denseGroup[sj / kGroup] = true;

    // Dense columns: zeros in the padding rows, every source row below. Sparse columns: the
    // non-zero rows in ascending order; counts[] now counts what has been stored.
    Detail::RunBlocks(stripes, threads, [&](std::uint32_t part, unsigned) {
        const std::uint32_t from = part * stripe;
        const std::uint32_t to = std::min(width, from + stripe);
        const ColumnInfo* columns = copy.columns.get() + left;
        float* values = copy.values.get();
        std::uint32_t* rows = copy.rows.get();
        std::uint32_t* stored = counts.get() + left;
        for (std::uint32_t sj = from; sj < to; ++sj) {
            stored[sj] = 0;
            const ColumnInfo& c = columns[sj];
            if (!c.dense) continue;
            float* column = values + c.valueOffset;
            std::fill(column, column + top, 0.0f);
            std::fill(column + top + height, column + n, 0.0f);
        }
        for (std::uint32_t sk = 0; sk < height; ++sk) {
            const T* src = in + std::size_t{sk} * width;
            const std::uint32_t k = top + sk;
            for (std::uint32_t group = from; group < to; group += kGroup) {
                const std::uint32_t end = std::min(to, group + kGroup);
                if (end - group == kGroup && !denseGroup[group / kGroup] &&
                    GroupIsZero(src + group))
                    continue;
                for (std::uint32_t sj = group; sj < end; ++sj) {
                    const float x = static_cast<float>(src[sj]);
                    const ColumnInfo& c = columns[sj];
                    if (c.dense) {
                        values[c.valueOffset + k] = x;
                    } else if (x != 0.0f) {
                        values[c.valueOffset + stored[sj]] = x;
                        rows[c.rowOffset + stored[sj]] = k;
                        ++stored[sj];
                    }
                }
            }
        }
    });
    return copy;
}

}  // namespace

bool HoughKernelSupported(HoughKernel kernel) {
    switch (kernel) {
        case HoughKernel::Lanes: return Detail::WideKernelBuilt() && Detail::Cpu().avx2;
        case HoughKernel::Lanes512: return Detail::Lanes512KernelBuilt() && Detail::Cpu().avx512;
        case HoughKernel::Avx2: return Detail::kRunKernelsBuilt && Detail::Cpu().avx2;
        case HoughKernel::Avx512: return Detail::kRunKernelsBuilt && Detail::Cpu().avx512;
        default: return true;
    }
}

HoughKernel HoughKernelChosen(HoughKernel kernel) {
    switch (kernel) {
        case HoughKernel::Auto:
        case HoughKernel::Avx512:
            if (HoughKernelSupported(HoughKernel::Avx512)) return HoughKernel::Avx512;
            [[fallthrough]];
        case HoughKernel::Avx2:
            return HoughKernelSupported(HoughKernel::Avx2) ? HoughKernel::Avx2
                                                           : HoughKernel::Baseline;
        case HoughKernel::Lanes512:
            if (HoughKernelSupported(HoughKernel::Lanes512)) return HoughKernel::Lanes512;
            [[fallthrough]];
        case HoughKernel::Lanes:
            return HoughKernelSupported(HoughKernel::Lanes) ? HoughKernel::Lanes
                                                            : HoughKernel::Baseline;
        default: return kernel;
    }
}

const char* HoughKernelName(HoughKernel kernel) {
    switch (kernel) {
        case HoughKernel::Auto: return "auto";
        case HoughKernel::Baseline: return "baseline";
        case HoughKernel::Lanes: return "lanes";
        case HoughKernel::Lanes512: return "lanes512";
        case HoughKernel::RangeCheckFallback: return "range-check";
        case HoughKernel::Avx2: return "avx2";
        case HoughKernel::Avx512: return "avx512";
    }
    return "?";
}

const char* HoughCpuFeatures() { return Detail::Cpu().features; }

bool HoughWideKernelAvailable() { return HoughKernelSupported(HoughKernel::Lanes); }

template <class T>
void HoughTransform(const T* in, std::uint32_t width, std::uint32_t height, float* out,
                    const HoughOptions& options) {
    const std::uint32_t n = std::max(width, height);
    if (n == 0) return;
    const std::size_t total = std::size_t{n} * n;
    if (width == 0 || height == 0) {
        std::fill(out, out + total, 0.0f);
        return;
    }
    if (n == 1) {
        out[0] = 0.0f + static_cast<float>(in[0]);
        return;
    }

    // Bin indices within a block, r * 16 + g, are 32-bit; no result this large could be allocated.
    if (std::uint64_t{n} * Detail::kWideBlock >
        std::uint64_t{std::numeric_limits<std::int32_t>::max()})
        throw std::bad_alloc();

    unsigned threads = options.threads;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    WorkingCopy copy = BuildWorkingCopy(in, width, height, n, threads);
    if (!copy.anyVotes) {
        std::fill(out, out + total, 0.0f);
        return;
    }

    HoughKernel kernel = HoughKernelChosen(options.kernel);
    // The run kernels add the votes of sparse columns one by one into angle-major bins, where the
    // lanes kernels' distance-major bins keep the block's votes of one row in fewer cache lines:
    // an image whose non-zero pixels lie mostly in sparse columns goes to the lanes kernel of the
    // same instruction set.
    if ((kernel == HoughKernel::Avx2 || kernel == HoughKernel::Avx512) &&
        copy.denseNonZero < copy.sparseNonZero)
        kernel = HoughKernelChosen(kernel == HoughKernel::Avx512 ? HoughKernel::Lanes512
                                                                 : HoughKernel::Lanes);
    const std::uint32_t block =
        kernel == HoughKernel::Baseline ? Detail::kBaselineBlock : Detail::kWideBlock;
    const std::uint32_t blocks = (n + block - 1) / block;
    const std::uint32_t angles =
        (n + Detail::kWideBlock - 1) / Detail::kWideBlock * Detail::kWideBlock;

    std::unique_ptr<double[]> u = Allocate<double>(angles);
    std::unique_ptr<double[]> v = Allocate<double>(angles);
    std::unique_ptr<double[]> dk = Allocate<double>(std::uint64_t{n} + Detail::kDistancePad);

    HoughJob job;
    job.n = n;
    job.cx = n / 2;
    job.f = HoughDistanceFactor(n);
    job.cy = static_cast<double>(n / 2);
    bool monotone = true;
    for (std::uint32_t i = 0; i < angles; ++i) {
        u[i] = 0.0;
        v[i] = 0.0;
        if (i < n) Detail::AngleCosSin(i, job.cx, &u[i], &v[i]);
        monotone = monotone && v[i] >= 0.0;
    }
    // Bins only grow down a column when v >= 0; should a sine ever come out negative, every
    // column takes the per-vote checks.
    if (!monotone) kernel = HoughKernel::RangeCheckFallback;
    for (std::uint32_t k = 0; k < n; ++k)
        dk[k] = static_cast<double>(std::int64_t{k} - std::int64_t{n / 2});
    std::fill(dk.get() + n, dk.get() + n + Detail::kDistancePad, dk[n - 1]);
    job.u = u.get();
    job.v = v.get();
    job.dk = dk.get();
    job.columns = copy.columns.get();
    job.values = copy.values.get();
    job.rows = copy.rows.get();

    if (kernel == HoughKernel::Avx2 || kernel == HoughKernel::Avx512) {
        Detail::AccumulateWithRuns(job, kernel == HoughKernel::Avx512, threads, out);
        return;
    }
    // The lanes kernels: each block accumulates into a buffer of its thread, distance-major, and
    // copies it into its columns of the result.
    threads = std::min<unsigned>(threads, blocks);
    const std::size_t binsPerBlock = std::size_t{n} * block;
    std::unique_ptr<float[]> bins = Allocate<float>(std::uint64_t{threads} * binsPerBlock);

    // Blocks taken one after another by different threads would write neighbouring stretches of
    // every result row at once, sharing the cache line between them: the blocks are handed out in
    // the order b = c * stride mod blocks, stride about half the blocks and coprime to their
    // number (so every block comes once), which keeps the blocks in work far apart.
    std::uint32_t stride = blocks / 2 + 1;
    while (std::gcd(stride, blocks) != 1) ++stride;
    Detail::RunBlocks(blocks, threads, [&](std::uint32_t c, unsigned thread) {
        const auto b = static_cast<std::uint32_t>(std::uint64_t{c} * stride % blocks);
        const std::uint32_t first = b * block;
        float* own = bins.get() + thread * binsPerBlock;
        std::fill(own, own + binsPerBlock, 0.0f);
        switch (kernel) {
            case HoughKernel::Lanes: Detail::AccumulateBlockWide(job, first, own); break;
            case HoughKernel::Lanes512: Detail::AccumulateBlockLanes512(job, first, own); break;
            case HoughKernel::Baseline: Detail::AccumulateBlockBaseline(job, first, own); break;
            default:
                for (std::uint32_t j = 0; j < n; ++j)
                    if (job.columns[j].count != 0)
                        Detail::AccumulateChecked(job, first, block, 1, block, j, own);
                break;
        }
        // Row r of the bins is the block's stretch of row r of the result.
        const std::uint32_t width = std::min(block, n - first);
        float* to = out + first;
        const float* from = own;
        if (width == Detail::kWideBlock) {
            for (std::uint32_t r = 0; r < n; ++r, to += n, from += block)
                std::memcpy(to, from, Detail::kWideBlock * sizeof(float));
        } else {
            for (std::uint32_t r = 0; r < n; ++r, to += n, from += block)
                std::memcpy(to, from, width * sizeof(float));
        }
    });
}

void HoughFast(const float* in, std::uint32_t n, float* out, const HoughOptions& options) {
    HoughTransform<float>(in, n, n, out, options);
}

template void HoughTransform<float>(const float*, std::uint32_t, std::uint32_t, float*,
                                    const HoughOptions&);
template void HoughTransform<double>(const double*, std::uint32_t, std::uint32_t, float*,
                                     const HoughOptions&);
template void HoughTransform<std::int8_t>(const std::int8_t*, std::uint32_t, std::uint32_t, float*,
                                          const HoughOptions&);
template void HoughTransform<std::uint8_t>(const std::uint8_t*, std::uint32_t, std::uint32_t,
                                           float*, const HoughOptions&);
template void HoughTransform<std::int16_t>(const std::int16_t*, std::uint32_t, std::uint32_t,
                                           float*, const HoughOptions&);
template void HoughTransform<std::uint16_t>(const std::uint16_t*, std::uint32_t, std::uint32_t,
                                            float*, const HoughOptions&);
template void HoughTransform<std::int32_t>(const std::int32_t*, std::uint32_t, std::uint32_t,
                                           float*, const HoughOptions&);
template void HoughTransform<std::uint32_t>(const std::uint32_t*, std::uint32_t, std::uint32_t,
                                            float*, const HoughOptions&);

}  // namespace Vorna::Compute
