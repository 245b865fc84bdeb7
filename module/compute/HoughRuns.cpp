// The run kernels' driver. Angles are taken in blocks of kRunBlock; each block accumulates into its
// own stretch of an angle-major copy of the result (every angle's bins contiguous), and when every
// block is done the copy is transposed into the distance-major result.
//
// The run technique. For one angle and one dense column, the bin r(k) of row k is non-decreasing
// in k and advances by 0 or 1 from row to row (HoughFast.cpp). The rows that land in one bin are
// therefore one run of consecutive rows, and consecutive runs fill consecutive bins. A kernel
// 1. computes r(k) for every row of the column, in SIMD doubles with exactly the reference's
//    operations (as the lanes kernels do, see HoughKernels.cpp), and keeps only the rows where r
//    changes: starts[t] is the first row of bin r(0) + t; it checks that r(0) and r(n - 1) lie in
//    [0, n) and that the number of runs is r(n - 1) - r(0) + 1 (each step at most 1), or else
//    leaves the column to the checked per-vote path;
// 2. then takes the bins in groups of consecutive bins, one SIMD lane each: a lane starts from its
//    bin's value, and in step q adds the q-th row of its run, while q is below the run's length.
//    Each lane performs sum = sum + x for the rows of its run, in ascending row order, starting
//    from the bin as the previous columns left it: exactly the reference's sequence of
//    single-precision additions for that bin and column. The group is stored once.
// Groups are disjoint, bins of different angles never meet, and columns are taken in ascending
// order, so every bin sees the reference's additions in the reference's order. A masked-off lane
// either keeps its value (AVX-512 masked add) or adds +0.0 (AVX2), which returns the bin bit for
// bit because no bin is ever -0.0. Sparse columns (few non-zero rows, so runs of one vote) are
// taken for the block's angles side by side, one scalar add per vote, as in the lanes kernels.
//
// Memory: the angle-major copy (about n by n + 32 floats, 16 angles a block) and per thread one
// list of run starts (n + 64 words): with the working copy, at most about twice the input plus the
// result. Nothing is allocated while votes are added.
//
// Threads never write one cache line together: each block's stretch starts on a 64-byte boundary
// and spans whole lines; the transpose splits the result into pieces that start on 64-byte
// boundaries of the result itself.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "compute/HoughDetail.h"
#include "compute/Parallel.h"

namespace Vorna::Compute::Detail {

namespace {

template <class T>
std::unique_ptr<T[]> AllocateArray(std::uint64_t count) {
    if (count > std::numeric_limits<std::ptrdiff_t>::max() / sizeof(T)) throw std::bad_alloc();
    return std::unique_ptr<T[]>(new T[static_cast<std::size_t>(count == 0 ? 1 : count)]);
}

// The first element at or after `p` that lies on a 64-byte boundary.
template <class T>
T* Aligned64(T* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (address + 63) & ~std::uintptr_t{63};
    return p + (aligned - address) / sizeof(T);
}

// out[r * n + i] = bins[i * stride + r] for the result elements [from, to), a band of 16 rows and
// 16 angles at a time, so that both sides are read and written a cache line at a time.
void Transpose(const float* bins, std::size_t stride, std::uint32_t n, float* out, std::size_t from,
               std::size_t to) {
    if (from >= to) return;
    const std::size_t firstRow = from / n;
    const std::size_t lastRow = (to - 1) / n;
    for (std::size_t band = firstRow; band <= lastRow; band += 16) {
        const std::size_t bandEnd = std::min(band + 16, lastRow + 1);
        for (std::size_t tile = 0; tile < n; tile += 16) {
            const std::size_t tileEnd = std::min<std::size_t>(tile + 16, n);
            for (std::size_t r = band; r < bandEnd; ++r) {
                const std::size_t rowStart = r * n;
                const std::size_t lo = std::max(tile, from > rowStart ? from - rowStart : 0);
                const std::size_t hi = std::min(tileEnd, to - rowStart);
                float* row = out + rowStart;
                for (std::size_t i = lo; i < hi; ++i) row[i] = bins[i * stride + r];
            }
        }
    }
}

}  // namespace

#if !defined(VORNA_HOUGH_RUN_KERNELS)
// This build has no run kernels and never chooses them (kRunKernelsBuilt is false); the checked
// per-vote path keeps their entries defined.
void AccumulateRunsAvx2(const HoughJob& job, const RunBlock& block, const RunScratch&) {
    for (std::uint32_t j = 0; j < job.n; ++j)
        if (job.columns[j].count != 0)
            AccumulateChecked(job, block.first, block.count, block.stride, 1, j, block.bins);
}

void AccumulateRunsAvx512(const HoughJob& job, const RunBlock& block, const RunScratch& scratch) {
    AccumulateRunsAvx2(job, block, scratch);
}
#endif

void AccumulateWithRuns(const HoughJob& job, bool wide, unsigned threads, float* out) {
    const std::uint32_t n = job.n;
    const std::uint32_t blocks = (n + kRunBlock - 1) / kRunBlock;
    const std::size_t stride = (std::size_t{n} + 15 + 15) / 16 * 16;
    // Bin indices within a block, g * stride + r, are 32-bit.
    if (std::uint64_t{kRunBlock} * stride > std::uint64_t{std::numeric_limits<std::int32_t>::max()})
        throw std::bad_alloc();
    const std::size_t perBlock = kRunBlock * stride;
    std::unique_ptr<float[]> binStore = AllocateArray<float>(std::uint64_t{blocks} * perBlock + 16);
    float* bins = Aligned64(binStore.get());

    threads = std::max(1u, std::min<unsigned>(threads, blocks));
    // Per thread: 16 words of bin indices, then the run starts; a multiple of 16 words.
    const std::size_t perThread = (std::size_t{n} + kRunScratchPad + 16 + 15) / 16 * 16;
    std::unique_ptr<std::int32_t[]> scratchStore =
        AllocateArray<std::int32_t>(std::uint64_t{threads} * perThread + 16);
    std::int32_t* scratch = Aligned64(scratchStore.get());

    RunBlocks(blocks, threads, [&](std::uint32_t b, unsigned thread) {
        RunBlock block;
        block.bins = bins + b * perBlock;
        block.stride = stride;
        block.first = b * kRunBlock;
        block.count = std::min(kRunBlock, n - block.first);
        std::fill(block.bins, block.bins + perBlock, 0.0f);
        RunScratch own;
        own.index = scratch + thread * perThread;  // 64-byte aligned: perThread is a multiple of 16
        own.starts = own.index + 16;
        if (wide)
            AccumulateRunsAvx512(job, block, own);
        else
            AccumulateRunsAvx2(job, block, own);
    });

    // Pieces of the result that begin on 64-byte boundaries of `out`, a few per thread.
    const std::size_t total = std::size_t{n} * n;
    const std::size_t skew = static_cast<std::size_t>(Aligned64(out) - out);  // 0 to 15 floats
    const std::uint32_t pieces =
        std::max<std::uint32_t>(1, std::min<std::size_t>(threads * 4, total / 4096));
    auto boundary = [&](std::uint32_t p) -> std::size_t {
        if (p == 0) return 0;
        if (p >= pieces) return total;
        const std::size_t at = total / pieces * p / 16 * 16 + skew;
        return std::min(at, total);
    };
    RunBlocks(pieces, threads, [&](std::uint32_t p, unsigned) {
        Transpose(bins, stride, n, out, boundary(p), boundary(p + 1));
    });
}

}  // namespace Vorna::Compute::Detail
