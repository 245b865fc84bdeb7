// The column walk of the run kernels, written once for every instruction set (HoughRuns.cpp tells
// the technique). A kernel's unit includes this header inside its target region and instantiates
// the walk with its own policy type from its anonymous namespace, so the instantiation is internal
// to that unit and compiled for that unit's instructions only. The policy provides:
//   std::int32_t Starts(const HoughJob&, double a, double v, std::int32_t* starts,
//                       std::int32_t* firstBin)
//       the run starts of the angle with (j - cx) * u = a and sin = v over a dense column, the
//       number of bins, or 0 when the checked path must take the column;
//   void AddRuns(const float* x, const std::int32_t* starts, std::int32_t count, float* bins)
//       the votes of those runs, added to bins[0, count);
//   void SetColumn(double dj)            (j - cx) for the block's angles side by side;
//   bool InRange(double dk, std::int32_t n)
//       whether the bins of every angle of the block for the row with (k - cy) = dk lie in [0, n);
//   void Indices(double dk, std::int32_t* index)
//       index[g] = g * stride + that row's bin of angle first + g, for the 16 angles.
#pragma once

#include <cstdint>

#include "compute/HoughDetail.h"

namespace Vorna::Compute::Detail {

namespace {

template <class Kernel>
inline void WalkRunColumns(const HoughJob& job, const RunBlock& block, const RunScratch& scratch,
                           Kernel& kernel) {
    const auto n = static_cast<std::int32_t>(job.n);
    for (std::uint32_t j = 0; j < job.n; ++j) {
        const ColumnInfo& c = job.columns[j];
        if (c.count == 0) continue;
        const double dj = static_cast<double>(std::int64_t{j} - std::int64_t{job.cx});
        const float* x = job.values + c.valueOffset;
        if (c.dense) {
            // One angle at a time: its runs over the whole column, then their votes.
            for (std::uint32_t g = 0; g < block.count; ++g) {
                float* bins = block.bins + g * block.stride;
                const std::uint32_t angle = block.first + g;
                std::int32_t first = 0;
                const std::int32_t count =
                    kernel.Starts(job, dj * job.u[angle], job.v[angle], scratch.starts, &first);
                if (count == 0)
                    AccumulateChecked(job, angle, 1, block.stride, 1, j, bins);
                else
                    kernel.AddRuns(x, scratch.starts, count, bins + first);
            }
            continue;
        }
        // A sparse column: the block's angles side by side, one scalar add per vote.
        kernel.SetColumn(dj);
        const std::uint32_t* rows = job.rows + c.rowOffset;
        if (!kernel.InRange(job.dk[rows[0]], n) || !kernel.InRange(job.dk[rows[c.count - 1]], n)) {
            AccumulateChecked(job, block.first, block.count, block.stride, 1, j, block.bins);
            continue;
        }
        std::int32_t* index = scratch.index;
        for (std::uint32_t e = 0; e < c.count; ++e) {
            kernel.Indices(job.dk[rows[e]], index);
            const float value = x[e];
#pragma GCC unroll 16
            for (std::uint32_t g = 0; g < kRunBlock; ++g) {
                float* bin = block.bins + index[g];
                *bin = *bin + value;
            }
        }
    }
}

}  // namespace

}  // namespace Vorna::Compute::Detail
