// The AVX-512 run kernel (F, BW and VL). The technique and why it gives the reference's bits are
// explained in HoughRuns.cpp; this file is its 16-lane form:
// - bins of a dense column: 16 rows per step, their bins compared with the row before, and the
//   rows where the bin changes compressed into the list of run starts;
// - votes: 16 consecutive bins per vector, the q-th row of every run added in step q with one
//   masked add, the rows taken from a 32-row window by one two-source permute when the 16 runs lie
//   within 32 rows, gathered otherwise; one load and one store per 16 bins;
// - sparse columns: the block's 16 angles side by side, one scalar add per vote.
// Only functions compiled for these instructions are in the target region below; everything they
// call is inline in it, so no code the CPU may lack leaks into other units.
#include <cstdint>

#include "compute/HoughDetail.h"

#if defined(VORNA_HOUGH_RUN_KERNELS)

// GCC 12's AVX-512 intrinsics start many results from an undefined vector and then overwrite
// every element, which -Wmaybe-uninitialized reports inside the header.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx2,avx,popcnt")

namespace Vorna::Compute::Detail {

namespace {

inline __m256i Truncate(__m512d x) { return _mm512_cvttpd_epi32(x); }

inline __m512i Join(__m256i low, __m256i high) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

inline std::int32_t Largest(__m512i x) {
    x = _mm512_max_epi32(x, _mm512_shuffle_i32x4(x, x, 0x4E));
    x = _mm512_max_epi32(x, _mm512_shuffle_i32x4(x, x, 0xB1));
    x = _mm512_max_epi32(x, _mm512_shuffle_epi32(x, _MM_PERM_BADC));
    x = _mm512_max_epi32(x, _mm512_shuffle_epi32(x, _MM_PERM_CDAB));
    return _mm_cvtsi128_si32(_mm512_castsi512_si128(x));
}

struct Line {
    __m512d a;  // (j - cx) * u
    __m512d v;
    __m512d f;
    __m512d cy;
};

// The bins of 8 rows whose (k - cy) are dk[0..7], for one angle.
inline __m256i Bins8(const Line& l, const double* dk) {
    const __m512d b = _mm512_loadu_pd(dk);
    const __m512d rho =
        _mm512_add_pd(_mm512_mul_pd(_mm512_add_pd(l.a, _mm512_mul_pd(b, l.v)), l.f), l.cy);
    return Truncate(rho);
}

// Run starts of one angle over a dense column: starts[t] is the first row of bin firstBin + t.
// Answers the number of bins, or 0 when a bin lies outside [0, n) or advances by more than one
// (neither happens for a square input; the caller then takes the checked path).
inline std::int32_t DenseStarts(const HoughJob& job, const Line& l, std::int32_t* starts,
                                std::int32_t* firstBin) {
    const auto n = static_cast<std::int32_t>(job.n);
    const std::int32_t first = _mm_cvtsi128_si32(_mm256_castsi256_si128(Bins8(l, job.dk)));
    const std::int32_t last = _mm_cvtsi128_si32(_mm256_castsi256_si128(Bins8(l, job.dk + n - 1)));
    if (first < 0 || last >= n || last < first) return 0;

    const __m512i iota = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m512i previous = _mm512_set1_epi32(first - 1);  // so that row 0 starts a bin
    std::int32_t count = 0;
    for (std::int32_t k = 0; k < n; k += 16) {
        // Rows past n repeat row n - 1's distance, so they start no bin.
        const __m512i bins = Join(Bins8(l, job.dk + k), Bins8(l, job.dk + k + 8));
        const __m512i before = _mm512_alignr_epi32(bins, previous, 15);
        const __mmask16 change = _mm512_cmpneq_epi32_mask(bins, before);
        const __m512i rows = _mm512_add_epi32(iota, _mm512_set1_epi32(k));
        _mm512_storeu_si512(starts + count, _mm512_maskz_compress_epi32(change, rows));
        count += __builtin_popcount(change);
        previous = bins;
    }
    if (count != last - first + 1) return 0;
    for (std::int32_t t = count; t <= count + 16; ++t) starts[t] = n;
    *firstBin = first;
    return count;
}

// Adds the runs of one angle and dense column to its bins, 16 bins per step.
inline void AddRuns(const float* x, const std::int32_t* starts, std::int32_t count, float* bins) {
    const __m512i one = _mm512_set1_epi32(1);
    for (std::int32_t m = 0; m < count; m += 16, bins += 16) {
        const __m512i start = _mm512_loadu_si512(starts + m);
        const __m512i length = _mm512_sub_epi32(_mm512_loadu_si512(starts + m + 1), start);
        const std::int32_t from = starts[m];
        __m512 sum = _mm512_loadu_ps(bins);
        __m512i step = _mm512_setzero_si512();
        const std::int32_t span = starts[m + 16] - from;
        // Runs of one or two rows (slopes above one half) need no horizontal maximum.
        const bool atMostTwo = _mm512_cmpgt_epi32_mask(length, _mm512_set1_epi32(2)) == 0;
        const std::int32_t longest = atMostTwo ? 2 : Largest(length);
        if (span <= 32) {
            // All 16 runs lie in rows [from, from + 32): one permute per step.
            const __m512 low = _mm512_loadu_ps(x + from);
            const __m512 high = _mm512_loadu_ps(x + from + 16);
            __m512i at = _mm512_sub_epi32(start, _mm512_set1_epi32(from));
            auto add = [&] {
                const __mmask16 on = _mm512_cmpgt_epi32_mask(length, step);
                sum = _mm512_mask_add_ps(sum, on, sum, _mm512_permutex2var_ps(low, at, high));
                at = _mm512_add_epi32(at, one);
                step = _mm512_add_epi32(step, one);
            };
            if (atMostTwo) {
                // Runs of one or two rows (slopes above one half): no loop to mispredict.
                add();
                add();
            } else {
                for (std::int32_t q = 0; q < longest; ++q) add();
            }
        } else if (span <= 64) {
            // Within rows [from, from + 64): two permutes and a blend on bit 5 of the index.
            const __m512 w0 = _mm512_loadu_ps(x + from);
            const __m512 w1 = _mm512_loadu_ps(x + from + 16);
            const __m512 w2 = _mm512_loadu_ps(x + from + 32);
            const __m512 w3 = _mm512_loadu_ps(x + from + 48);
            const __m512i upper = _mm512_set1_epi32(32);
            __m512i at = _mm512_sub_epi32(start, _mm512_set1_epi32(from));
            for (std::int32_t q = 0; q < longest; ++q) {
                const __mmask16 on = _mm512_cmpgt_epi32_mask(length, step);
                const __mmask16 high = _mm512_test_epi32_mask(at, upper);
                const __m512 row = _mm512_mask_blend_ps(high, _mm512_permutex2var_ps(w0, at, w1),
                                                        _mm512_permutex2var_ps(w2, at, w3));
                sum = _mm512_mask_add_ps(sum, on, sum, row);
                at = _mm512_add_epi32(at, one);
                step = _mm512_add_epi32(step, one);
            }
        } else {
            __m512i at = start;
            for (std::int32_t q = 0; q < longest; ++q) {
                const __mmask16 on = _mm512_cmpgt_epi32_mask(length, step);
                const __m512 row = _mm512_mask_i32gather_ps(_mm512_setzero_ps(), on, at, x, 4);
                sum = _mm512_mask_add_ps(sum, on, sum, row);
                at = _mm512_add_epi32(at, one);
                step = _mm512_add_epi32(step, one);
            }
        }
        _mm512_storeu_ps(bins, sum);
    }
}

// The bins of the block's 16 angles for one row, as indices into the block's bins.
struct Lanes {
    __m512d a[2];
    __m512d v[2];
    __m512i offset;  // g * stride
    __m512d f;
    __m512d cy;
};

inline __m512i LaneBins(const Lanes& l, double dk) {
    const __m512d b = _mm512_set1_pd(dk);
    __m256i half[2];
    for (int h = 0; h < 2; ++h) {
        const __m512d rho = _mm512_add_pd(
            _mm512_mul_pd(_mm512_add_pd(l.a[h], _mm512_mul_pd(b, l.v[h])), l.f), l.cy);
        half[h] = Truncate(rho);
    }
    return Join(half[0], half[1]);
}

inline bool LanesInRange(const Lanes& l, double dk, std::int32_t n) {
    const __m512i r = LaneBins(l, dk);
    const __mmask16 below = _mm512_cmplt_epi32_mask(r, _mm512_setzero_si512());
    const __mmask16 above = _mm512_cmpge_epi32_mask(r, _mm512_set1_epi32(n));
    return (below | above) == 0;
}

}  // namespace

void AccumulateRunsAvx512(const HoughJob& job, const RunBlock& block, const RunScratch& scratch) {
    const auto n = static_cast<std::int32_t>(job.n);
    Lanes lanes;
    __m512d u[2];
    for (int h = 0; h < 2; ++h) {
        u[h] = _mm512_loadu_pd(job.u + block.first + 8 * h);
        lanes.v[h] = _mm512_loadu_pd(job.v + block.first + 8 * h);
    }
    lanes.offset =
        _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                           _mm512_set1_epi32(static_cast<std::int32_t>(block.stride)));
    lanes.f = _mm512_set1_pd(job.f);
    lanes.cy = _mm512_set1_pd(job.cy);
    Line line;
    line.f = lanes.f;
    line.cy = lanes.cy;

    for (std::uint32_t j = 0; j < job.n; ++j) {
        const ColumnInfo& c = job.columns[j];
        if (c.count == 0) continue;
        const double dj = static_cast<double>(std::int64_t{j} - std::int64_t{job.cx});
        const float* x = job.values + c.valueOffset;
        if (c.dense) {
            for (std::uint32_t g = 0; g < block.count; ++g) {
                float* bins = block.bins + g * block.stride;
                line.a = _mm512_set1_pd(dj * job.u[block.first + g]);
                line.v = _mm512_set1_pd(job.v[block.first + g]);
                std::int32_t first = 0;
                const std::int32_t count = DenseStarts(job, line, scratch.starts, &first);
                if (count == 0)
                    AccumulateChecked(job, block.first + g, 1, block.stride, 1, j, bins);
                else
                    AddRuns(x, scratch.starts, count, bins + first);
            }
            continue;
        }
        const __m512d vdj = _mm512_set1_pd(dj);
        for (int h = 0; h < 2; ++h) lanes.a[h] = _mm512_mul_pd(vdj, u[h]);
        const std::uint32_t* rows = job.rows + c.rowOffset;
        if (!LanesInRange(lanes, job.dk[rows[0]], n) ||
            !LanesInRange(lanes, job.dk[rows[c.count - 1]], n)) {
            AccumulateChecked(job, block.first, block.count, block.stride, 1, j, block.bins);
            continue;
        }
        std::int32_t* index = scratch.index;
        for (std::uint32_t e = 0; e < c.count; ++e) {
            _mm512_store_si512(index,
                               _mm512_add_epi32(LaneBins(lanes, job.dk[rows[e]]), lanes.offset));
            const float value = x[e];
#pragma GCC unroll 16
            for (std::uint32_t g = 0; g < kRunBlock; ++g) {
                float* bin = block.bins + index[g];
                *bin = *bin + value;
            }
        }
    }
}

}  // namespace Vorna::Compute::Detail

#pragma GCC pop_options

#else

namespace Vorna::Compute::Detail {

// Never chosen: kRunKernelsBuilt is false on this build.
void AccumulateRunsAvx512(const HoughJob& job, const RunBlock& block, const RunScratch&) {
    for (std::uint32_t j = 0; j < job.n; ++j)
        if (job.columns[j].count != 0)
            AccumulateChecked(job, block.first, block.count, block.stride, 1, j, block.bins);
}

}  // namespace Vorna::Compute::Detail

#endif
